// The built-in "WinHttp.WinHttpRequest.5.1" driven member by member.
#include <gtest/gtest.h>

#include <string>

#include "platform/automation.h"
#include "support/http_server.h"
#include "support/tinyproxy.h"
#include <vector>

namespace corvenhal::platform {
namespace {

using corvenhal::testing::HttpServer;
using corvenhal::testing::ReceivedRequest;
using corvenhal::testing::Reply;

TEST(WinHttpRequest, HeadersInTheOrderSetAndReplacedInPlace) {
  HttpServer server;
  server.Route("/r", Reply::Ok("body", {"X-Answer: 42"}));
  AutomationBridge bridge;
  AutomationObject request;
  ASSERT_TRUE(bridge.Create(request, "winhttp.winhttprequest.5.1"));
  EXPECT_FALSE(bridge.Call(request, "SetRequestHeader", "A", "1"));  // not opened yet
  ASSERT_TRUE(bridge.Call(request, "Open", "POST", server.Url("/r"), false));
  EXPECT_TRUE(bridge.Call(request, "SetRequestHeader", "B", "2"));
  EXPECT_TRUE(bridge.Call(request, "SetRequestHeader", "A", "1"));
  EXPECT_TRUE(bridge.Call(request, "SetRequestHeader", "b", "3"));
  // Nothing a caller passes can start a header line of its own.
  EXPECT_FALSE(bridge.Call(request, "SetRequestHeader", "C", "x\r\nInjected: 1"));
  EXPECT_FALSE(bridge.Call(request, "SetRequestHeader", "C\r\nInjected", "1"));
  EXPECT_FALSE(bridge.Call(request, "SetRequestHeader", "", ""));
  ASSERT_TRUE(bridge.Call(request, "Send", "text"));

  ReceivedRequest r = server.LastRequest();
  EXPECT_EQ(r.headerLines, (std::vector<std::string>{"B: 3", "A: 1", "Host: " + server.HostPort(),
                                                     "Content-Length: 4", "Connection: Keep-Alive"}));
  EXPECT_EQ(bridge.GetVariant(request, "ResponseBody").AsBytes(), "body");
  EXPECT_EQ(bridge.GetNumber(request, "Status"), 200);
  EXPECT_EQ(bridge.GetText(request, "StatusText"), "OK");
  EXPECT_EQ(bridge.CallText(request, "GetAllResponseHeaders"), "X-Answer: 42\r\nContent-Length: 4\r\n\r\n");
  EXPECT_EQ(bridge.CallText(request, "GetResponseHeader", "x-answer"), "42");
}

TEST(WinHttpRequest, FailedSendLeavesEmptyResultsThatReadWithoutFailing) {
  std::string url = "http://127.0.0.1:" + std::to_string(corvenhal::testing::FreeLoopbackPort()) + "/";
  AutomationBridge bridge;
  AutomationObject request;
  ASSERT_TRUE(bridge.Create(request, "WinHttp.WinHttpRequest.5.1"));
  ASSERT_TRUE(bridge.Call(request, "Open", "GET", url, false));
  EXPECT_FALSE(bridge.Call(request, "Send"));
  EXPECT_FALSE(bridge.LastFailure().empty());
  AutomationVariant body = bridge.GetVariant(request, "ResponseBody");
  EXPECT_TRUE(bridge.LastFailure().empty());
  EXPECT_EQ(body.type(), ComValue::Type::kBytes);
  EXPECT_EQ(body.AsBytes(), "");
  EXPECT_EQ(bridge.GetNumber(request, "Status"), 0);
  EXPECT_TRUE(bridge.LastFailure().empty());
  EXPECT_EQ(bridge.CallText(request, "GetAllResponseHeaders"), "");
  EXPECT_FALSE(bridge.Call(request, "Open", "GET", "ftp://127.0.0.1/", false));
}

TEST(WinHttpRequest, RedirectsAndOptions) {
  HttpServer server;
  server.Route("/from", Reply::Redirect(302, "/to"));
  server.Route("/to", Reply::Ok("arrived"));
  AutomationBridge bridge;
  AutomationObject request;
  ASSERT_TRUE(bridge.Create(request, "{2087c2f4-2cef-4953-a8ab-66779b670495}"));
  ASSERT_TRUE(bridge.Call(request, "Open", "GET", server.Url("/from"), false));
  ASSERT_TRUE(bridge.Call(request, "Send"));
  EXPECT_EQ(bridge.GetVariant(request, "ResponseBody").AsBytes(), "arrived");

  EXPECT_TRUE(bridge.GetBoolean(request, "Option", 6));
  ASSERT_TRUE(bridge.PutAt(request, "Option", 6, 0));
  ASSERT_TRUE(bridge.Call(request, "Open", "GET", server.Url("/from"), false));
  ASSERT_TRUE(bridge.Call(request, "Send"));
  EXPECT_EQ(bridge.GetNumber(request, "Status"), 302);  // the setting outlives Open
  EXPECT_FALSE(bridge.PutAt(request, "Option", 99, 0));
}

}  // namespace
}  // namespace corvenhal::platform
