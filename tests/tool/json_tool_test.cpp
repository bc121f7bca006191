#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"

namespace corvenhal {
namespace {

using testing::ProcessResult;
using testing::RunProcess;

ProcessResult Json(std::vector<std::string> args, std::string_view input) {
  args.insert(args.begin(), {CORVENHAL_TOOL_PATH, "json"});
  return RunProcess(args, input);
}

// A manifest as the server sends it; its bytes are GBK ("地图" in one path).
const std::string kManifest =
    "{\r\n\"news\": [\r\n{\"file\": \"/data/\xB5\xD8\xCD\xBC.pak\", \"md5\": \"ABC\"},\r\n"
    "{\"file\": \"/b.pak\", \"md5\": \"DEF\"}\r\n],\r\n\"n\": 1.5, \"o\": {\"k\": null}\r\n}\r\n";

TEST(JsonTool, PrintsOneReadingOfTheDocument) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"news[0].file"}, "/data/\xE5\x9C\xB0\xE5\x9B\xBE.pak"},  // printed as UTF-8
      {{"news[0].file", "--raw"}, "/data/\xB5\xD8\xCD\xBC.pak"},
      {{"news[1]", "--json"}, "{\"file\":\"/b.pak\",\"md5\":\"DEF\"}"},
      {{"news", "--count"}, "2"},
      {{"o", "--count"}, "0"},
      {{"n"}, "1.5"},
      {{"o", "--type"}, "4"},
      {{"o.k", "--type"}, "0"},
      {{"o.k.x", "--type"}, "-1"},
      {{"news[1].md5", "--exists"}, "1"},
      {{"news[2].md5", "--exists"}, "0"},
      {{"missing"}, ""},  // empty, still a success
      {{"o.k", "--json"}, "null"},
  };
  for (const Case& c : cases) {
    ProcessResult r = Json(c.args, kManifest);
    EXPECT_EQ(r.exitCode, 0) << c.args[0] << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[0];
  }
  ProcessResult asIs = Json({"", "--as-is"}, "'a text'");
  EXPECT_EQ(asIs.exitCode, 0);
  EXPECT_EQ(asIs.out, "a text");
}

TEST(JsonTool, ADocumentThatDoesNotReadAndUsageErrors) {
  for (const char* document : {"", "null", "{\"a\": f()}", "'a text'", "{\"a\": 1"}) {
    ProcessResult r = Json({"a"}, document);
    EXPECT_EQ(r.exitCode, 1) << document;
    EXPECT_EQ(r.out, "") << document;
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"a", "b"}, {"a", "--count", "--type"}, {"a", "--json", "--exists"}, {"a", "--nope"}}) {
    ProcessResult r = Json(args, kManifest);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
  }
}

}  // namespace
}  // namespace corvenhal
