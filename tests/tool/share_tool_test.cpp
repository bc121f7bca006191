#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "build_config.h"
#include "platform/encodings.h"
#include "support/http_server.h"
#include "support/process.h"
#include "support/tinyproxy.h"

namespace corvenhal {
namespace {

using corvenhal::testing::HttpServer;
using corvenhal::testing::ProcessResult;
using corvenhal::testing::ReceivedRequest;
using corvenhal::testing::Reply;
using corvenhal::testing::RunProcess;

ProcessResult Tool(std::vector<std::string> args, std::string_view input = {}) {
  args.insert(args.begin(), CORVENHAL_TOOL_PATH);
  return RunProcess(args, input);
}

const std::string kAnswer =
    "{\"data\":{\"rsp_body\":{\"RspMsg_body\":{\"note_list\":[{\"html_content\":\"<p>公告</p><p>a&amp;b</p>\"}]}}}}";

TEST(ShareNoteTool, PrintsTheNoteAndOnRequestTheAnswer) {
  if (build::kVerifyTls) GTEST_SKIP() << "the build refuses the stub's self-signed certificate";
  HttpServer server(HttpServer::kHttps);
  server.Route("/webapp/json/weiyunShareNoLogin/WeiyunShareView", Reply::Ok(kAnswer));

  ProcessResult r = Tool({"share-note", "https://share.example/s/Key1", "--origin", server.Origin()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "公告\r\n\r\na&b");
  EXPECT_NE(server.LastRequest().body.find("\\\"share_pwd\\\":\\\"\\\",\\\"share_key\\\":\\\"Key1\\\""),
            std::string::npos);

  r = Tool({"share-note", "--raw-answer", "Key2", "--password", "pw", "--origin", server.Origin()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, kAnswer + "\n----\n公告\r\n\r\na&b");
  EXPECT_NE(server.LastRequest().body.find("\\\"share_pwd\\\":\\\"pw\\\",\\\"share_key\\\":\\\"Key2\\\""),
            std::string::npos);

  r = Tool({"share-note", "Key3", "--origin", server.Origin(), "--raw"});
  EXPECT_EQ(r.out, platform::Utf8ToGbkText("公告\r\n\r\na&b"));
}

TEST(ShareNoteTool, NoServiceIsAnEmptyNoteAndUsageErrors) {
  std::string origin = "https://127.0.0.1:" + std::to_string(corvenhal::testing::FreeLoopbackPort());
  ProcessResult r = Tool({"share-note", "K", "--origin", origin, "--raw-answer"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "\n----\n");

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"share-note"}, {"share-note", "a", "b", "--origin", origin}, {"share-note", "K", "--origin"},
           {"share-note", "K", "--bogus"}, {"html2text", "extra"}}) {
    r = Tool(args);
    EXPECT_EQ(r.exitCode, 2) << args.size();
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(r.err.empty());
  }
}

TEST(HtmlToTextTool, StandardInputAsGbkOrUtf8) {
  ProcessResult r = Tool({"html2text"}, platform::Utf8ToGbkText("<div>第一行</div><div>第二&nbsp;行</div>"));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "第一行\r\n第二 行");

  r = Tool({"html2text", "--utf8"}, "\xEF\xBB\xBF<ul><li>一</li><li>二</li></ul><script>x()</script>");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "一\r\n二");

  r = Tool({"html2text", "--utf8", "--raw"}, "<p>中</p>");
  EXPECT_EQ(r.out, platform::Utf8ToGbkText("中"));

  r = Tool({"html2text"}, "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace corvenhal
