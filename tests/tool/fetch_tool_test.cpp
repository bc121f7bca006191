#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/http_server.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tinyproxy.h"

namespace corvenhal {
namespace {

using testing::HttpServer;
using testing::ProcessResult;
using testing::RunProcess;
using testing::Reply;

ProcessResult Fetch(std::vector<std::string> args) {
  args.insert(args.begin(), {CORVENHAL_TOOL_PATH, "fetch"});
  return RunProcess(args);
}

TEST(FetchTool, PrintsTheResultAndTheOutputsShown) {
  HttpServer server;
  server.Route("/p", Reply::Redirect(302, "/next", {"Set-Cookie: s=2; path=/"}));
  testing::TempDir dir;
  std::string bodyFile = dir.Write("body", std::string("a\0b", 3)).string();

  ProcessResult r = Fetch({server.Url("/p"), "--method", "1", "--body-file", bodyFile, "--cookies", "c=1",
                           "--header", "X-A: 1", "--header", "x-b: 2", "--no-redirect", "--show", "status",
                           "--show", "redirect", "--show", "cookies", "--show", "new-cookies", "--show", "headers",
                           "--show", "body-size"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "moved");
  EXPECT_EQ(r.err,
            "status: 302 Found\n"
            "redirect: /next\n"
            "cookies: s=2; c=1\n"
            "new-cookies: s=2; c=1\n"
            "headers: HTTP/1.1 302 Found\\r\\nLocation: /next\\r\\nSet-Cookie: s=2; path=/\\r\\n"
            "Content-Length: 5\\r\\n\\r\\n\n"
            "body-size: 5\n");
  const testing::ReceivedRequest& sent = server.LastRequest();
  EXPECT_EQ(sent.requestLine, "POST /p HTTP/1.1");
  EXPECT_EQ(sent.headerLines.at(0), "X-A: 1");
  EXPECT_EQ(sent.headerLines.at(1), "X-B: 2");
  EXPECT_EQ(sent.Header("Cookie"), "c=1");
  EXPECT_EQ(sent.body, std::string("a\0b", 3));

  // The headers file goes as its bytes; names are left as they are.
  std::string headersFile = dir.Write("headers", "x-raw:  1\r\n").string();
  server.Route("/t", Reply::Ok("\xE4\xB8\xAD"));  // UTF-8 text, declared nowhere: kept as received
  r = Fetch({server.Url("/t"), "--headers-file", headersFile, "--no-default-headers", "--no-normalize", "--raw"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "\xE4\xB8\xAD");
  EXPECT_EQ(server.LastRequest().headerLines,
            (std::vector<std::string>{"x-raw:  1", "Host: " + server.HostPort(), "Connection: Keep-Alive"}));
}

TEST(FetchTool, FailureTextsExitOne) {
  std::string refused = "http://127.0.0.1:" + std::to_string(testing::FreeLoopbackPort()) + "/";
  ProcessResult r = Fetch({refused, "--show", "status", "--timeout", "2"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "status: 711 \xE5\x8F\x91\xE9\x80\x81\xE8\xAF\xB7\xE6\xB1\x82\xE5\xA4\xB1\xE8\xB4\xA5!\n");

  // An HTTP error status is a response, not a failure.
  HttpServer server;
  r = Fetch({server.Url("/missing")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "not found");
}

TEST(FetchTool, UsageErrors) {
  for (std::vector<std::string> args : {std::vector<std::string>{},
                                        {"http://127.0.0.1/", "--show", "everything"},
                                        {"http://127.0.0.1/", "--method", "post"},
                                        {"http://127.0.0.1/", "http://127.0.0.1/x"}}) {
    EXPECT_EQ(Fetch(args).exitCode, 2);
  }
}

}  // namespace
}  // namespace corvenhal
