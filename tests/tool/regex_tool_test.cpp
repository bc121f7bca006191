#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"

namespace corvenhal {
namespace {

using testing::ProcessResult;
using testing::RunProcess;

ProcessResult Regex(std::vector<std::string> args) {
  args.insert(args.begin(), {CORVENHAL_TOOL_PATH, "regex"});
  return RunProcess(args);
}

TEST(RegexTool, PrintsMatchesAndGroups) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"\\d", "a1b22"}, "count 3\n1: 1\n2: 2\n3: 2\n"},
      {{"z", "abc"}, "count 0\n"},
      {{"(\\w)(\\d)?", "a1 b"}, "count 2\n1: a1\n1.1: a\n1.2: 1\n2: b\n2.1: b\n2.2: \n"},
      {{"--no-global", "\\d", "a1b22"}, "count 1\n1: 1\n"},
      {{"a", "A", "--case-sensitive"}, "count 0\n"},
      {{"a", "A"}, "count 1\n1: A\n"},
      {{"^b", "a\nb"}, "count 1\n1: b\n"},
      {{"^b", "a\nb", "--no-multiline"}, "count 0\n"},
      // Line breaks in a result are written as \r and \n.
      {{"a\\s+b", "a\r\n b"}, "count 1\n1: a\\r\\n b\n"},
      // Text is typed and printed as UTF-8: "#引号" stands for a double quote.
      {{"--quote-marker", "#\xE5\xBC\x95\xE5\x8F\xB7(\\S+)#\xE5\xBC\x95\xE5\x8F\xB7", "\xE4\xB8\xAD \"\xE6\x96\x87\""},
       "count 1\n1: \"\xE6\x96\x87\"\n1.1: \xE6\x96\x87\n"},
      {{"<meta.+?charset=[^\\w]?([-\\w]+)", "<META content=\"text/html; charset=UTF-8\">"},
       "count 1\n1: <META content=\"text/html; charset=UTF-8\n1.1: UTF-8\n"},
  };
  for (const Case& c : cases) {
    ProcessResult r = Regex(c.args);
    EXPECT_EQ(r.exitCode, 0) << c.args[0] << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[0];
  }
}

TEST(RegexTool, FailedSearchAndUsage) {
  ProcessResult failed = Regex({"(", "abc"});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.out, "");

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"a"}, {"a", "b", "c"}, {"a", "b", "--nope"}}) {
    ProcessResult r = Regex(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
  }
}

}  // namespace
}  // namespace corvenhal
