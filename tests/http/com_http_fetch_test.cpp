// ComHttpFetch against real local servers through the built-in request object:
// what the server received, what the call gives back, and the calls it makes
// on the object where the wire cannot show them (timeouts).
#include "http/com_http_fetch.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "build_config.h"
#include "platform/automation.h"
#include "platform/component.h"
#include "platform/encodings.h"
#include "platform/portable/components/winhttp_request.h"
#include "support/http_server.h"
#include "support/tinyproxy.h"

namespace corvenhal::http {
namespace {

using corvenhal::testing::HttpServer;
using corvenhal::testing::ReceivedRequest;
using corvenhal::testing::Reply;
using platform::ComValue;
using platform::InvokeKind;
using platform::InvokeStatus;

const std::string kAccept = "Accept: */*";
const std::string kAcceptLanguage = "Accept-Language: zh-cn";
const std::string kUserAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::string kFormType = "Content-Type: application/x-www-form-urlencoded";
const std::string kKeepAlive = "Connection: Keep-Alive";

// The real request object, with every member call written down on the way
// ("SetTimeouts(5000,5000,5000,5000)", "Option[4]=13056").
class RecordingRequest final : public platform::Component {
 public:
  RecordingRequest() : inner_(platform::NewWinHttpRequestComponent()) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    std::string call = platform::Utf16ToUtf8(member);
    if (kind == InvokeKind::kPropertyPut) {
      call += "[" + Show(args.front()) + "]=" + Show(args.back());
    } else if (kind == InvokeKind::kMethod) {
      call += "(";
      for (size_t i = 0; i < args.size(); ++i) call += (i ? "," : "") + Show(args[i]);
      call += ")";
    }
    InvokeStatus st = inner_->Invoke(member, kind, args, result);
    if (st.ok()) calls.push_back(call);
    return st;
  }

  std::vector<std::string> Named(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls) {
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    }
    return out;
  }

  std::vector<std::string> calls;

 private:
  static std::string Show(const ComValue& v) {
    switch (v.type) {
      case ComValue::Type::kI4: return std::to_string(v.i4);
      case ComValue::Type::kR8: return std::to_string(static_cast<long long>(v.r8));
      case ComValue::Type::kBool: return v.boolean ? "true" : "false";
      case ComValue::Type::kText: return "'" + platform::Utf16ToUtf8(v.text) + "'";
      case ComValue::Type::kBytes: return "bytes[" + std::to_string(v.bytes.size()) + "]";
      default: return "?";
    }
  }

  std::shared_ptr<platform::Component> inner_;
};

class ComFetchTest : public ::testing::Test {
 protected:
  ComFetchTest() {
    for (HttpServer* s : {&http_, &https_}) {
      s->SetFallback([](const ReceivedRequest&) { return Reply::Ok("ok", {"Set-Cookie: sid=abc; Path=/"}); });
    }
  }

  // A request object the test can look into afterwards.
  std::shared_ptr<RecordingRequest> Recorded(ComFetchOptions& o) {
    auto recorder = std::make_shared<RecordingRequest>();
    holder_ = platform::AutomationObject(recorder);
    o.requestObject = &holder_;
    return recorder;
  }

  HttpServer http_{HttpServer::kHttp};
  HttpServer https_{HttpServer::kHttps};
  platform::AutomationObject holder_;
};

TEST_F(ComFetchTest, PostWithCookieAndTwoLinesSendsDefaultsAfterThem) {
  if (build::kVerifyTls) GTEST_SKIP() << "the build refuses the test server's self-signed certificate";
  std::string url = https_.Url("/api/view?x=1");
  Text headers = "Content-Type: application/json\r\nUser-Agent: Agent/1.0";
  Text cookies = "Cookie:name=value";
  Text newCookies = "stale", responseHeaders;
  int status = -1;
  ComFetchOptions o;
  o.method = 1;
  o.body = "{\"a\":1}";
  o.headers = &headers;
  o.cookies = &cookies;
  o.newCookies = &newCookies;
  o.responseHeaders = &responseHeaders;
  o.status = &status;
  EXPECT_EQ(ComHttpFetch(url, o), "ok");

  ReceivedRequest r = https_.LastRequest();
  EXPECT_EQ(r.requestLine, "POST /api/view?x=1 HTTP/1.1");
  EXPECT_EQ(r.headerLines, (std::vector<std::string>{"Cookie: name=value", "Content-Type: application/json",
                                                     "User-Agent: Agent/1.0", kAccept, "Referer: " + url,
                                                     kAcceptLanguage, "Host: " + https_.HostPort(),
                                                     "Content-Length: 7", kKeepAlive}));
  EXPECT_EQ(r.body, "{\"a\":1}");
  // The block as sent, the cookie marker gone, the received cookie merged in.
  EXPECT_EQ(headers, "Content-Type: application/json\r\nUser-Agent: Agent/1.0\r\n" + kAccept + "\r\nReferer: " + url +
                         "\r\n" + kAcceptLanguage);
  EXPECT_EQ(cookies, "sid=abc; name=value");
  EXPECT_EQ(newCookies, cookies);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(responseHeaders, "Set-Cookie: sid=abc; Path=/\r\nContent-Length: 2\r\n\r\n");
}

TEST_F(ComFetchTest, DefaultLinesAndVerbs) {
  struct Case {
    const char* what;
    int method;
    Text headers;
    std::string requestLine;
    std::vector<std::string> lines;  // before Host
  };
  std::string url = http_.Url("/p");
  std::string referer = "Referer: " + url;
  const Case cases[] = {
      {"GET with a type line gets no default type", 0, "content-type: text/plain", "GET /p HTTP/1.1",
       {"Content-Type: text/plain", kAccept, referer, kAcceptLanguage, kUserAgent}},
      {"POST with an empty block gets one", 1, "", "POST /p HTTP/1.1",
       {kAccept, referer, kAcceptLanguage, kUserAgent, kFormType}},
      {"a method outside the table is GET", 9, "", "GET /p HTTP/1.1", {kAccept, referer, kAcceptLanguage, kUserAgent}},
      {"a negative method is GET", -1, "", "GET /p HTTP/1.1", {kAccept, referer, kAcceptLanguage, kUserAgent}},
      {"DELETE", 5, "Accept: text/html\r\nREFERER: r", "DELETE /p HTTP/1.1",
       {"Accept: text/html", "REFERER: r", kAcceptLanguage, kUserAgent}},
  };
  for (const Case& c : cases) {
    Text headers = c.headers;
    ComFetchOptions o;
    o.method = c.method;
    o.headers = &headers;
    ComHttpFetch(url, o);
    ReceivedRequest r = http_.LastRequest();
    EXPECT_EQ(r.requestLine, c.requestLine) << c.what;
    std::vector<std::string> expected = c.lines;
    expected.push_back("Host: " + http_.HostPort());
    expected.push_back(kKeepAlive);
    EXPECT_EQ(r.headerLines, expected) << c.what;
  }
}

TEST_F(ComFetchTest, SwitchesOff) {
  Text headers = "x-one: 1";
  ComFetchOptions o;
  o.headers = &headers;
  o.addDefaultHeaders = false;
  o.normalizeNames = false;
  ComHttpFetch(http_.Url("/p"), o);
  EXPECT_EQ(http_.LastRequest().headerLines,
            (std::vector<std::string>{"x-one: 1", "Host: " + http_.HostPort(), kKeepAlive}));
  EXPECT_EQ(headers, "x-one: 1");
}

TEST_F(ComFetchTest, Timeouts) {
  struct Case {
    long long seconds;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {-1, {}},
      {0, {"SetTimeouts(15000,15000,15000,15000)"}},
      {-2, {"SetTimeouts(15000,15000,15000,15000)"}},
      {5, {"SetTimeouts(5000,5000,5000,5000)"}},
      {10'000'000, {"SetTimeouts(2147483647,2147483647,2147483647,2147483647)"}},
  };
  for (const Case& c : cases) {
    ComFetchOptions o;
    o.timeoutSeconds = c.seconds;
    auto recorder = Recorded(o);
    EXPECT_EQ(ComHttpFetch(http_.Url("/t"), o), "ok") << c.seconds;
    EXPECT_EQ(recorder->Named("SetTimeouts"), c.calls) << c.seconds;
  }
}

TEST_F(ComFetchTest, CallsOnTheObjectInOrder) {
  Text cookies = "a=1";
  ComFetchOptions o;
  o.noRedirect = true;
  o.cookies = &cookies;
  o.addDefaultHeaders = false;
  o.bodyBytes = Bytes("\x00\xFF", 2);
  auto recorder = Recorded(o);
  std::string url = http_.Url("/o");
  ComHttpFetch(url, o);
  EXPECT_EQ(recorder->calls, (std::vector<std::string>{
                                 "SetTimeouts(15000,15000,15000,15000)", "Open('GET','" + url + "',false)",
                                 "Option[6]=0", "Option[4]=13056", "SetRequestHeader('Cookie','a=1')",
                                 "Send(bytes[2])", "ResponseBody", "GetAllResponseHeaders()", "Status"}));
  // The caller's object keeps the request's state.
  platform::AutomationBridge bridge;
  EXPECT_EQ(bridge.GetNumber(holder_, "Status"), 200);
  EXPECT_EQ(http_.LastRequest().body, Bytes("\x00\xFF", 2));
}

TEST_F(ComFetchTest, ProxyAuthorisation) {
  // The test server stands in for a plain HTTP proxy: it answers itself.
  HttpServer proxy;
  proxy.SetFallback([](const ReceivedRequest&) { return Reply::Ok("from proxy"); });
  struct Case {
    const char* what;
    bool useProxy;
    Text user;
    int mode;
    std::optional<std::string> authorisation;
  };
  const Case cases[] = {
      {"proxy and user", true, "user", 1, "Basic dXNlcjpwYXNz"},
      {"proxy without user", true, "", 1, std::nullopt},
      {"user without proxy", false, "user", 1, std::nullopt},
      {"mode 2", true, "user", 2, std::nullopt},
      {"mode 0", true, "user", 0, std::nullopt},
  };
  for (const Case& c : cases) {
    ComFetchOptions o;
    if (c.useProxy) o.proxy = proxy.HostPort();
    o.proxyUser = c.user;
    o.proxyPassword = "pass";
    o.proxyAuthMode = c.mode;
    std::string url = http_.Url("/via");
    Bytes body = ComHttpFetch(url, o);
    ReceivedRequest r = c.useProxy ? proxy.LastRequest() : http_.LastRequest();
    EXPECT_EQ(body, c.useProxy ? "from proxy" : "ok") << c.what;
    EXPECT_EQ(r.requestLine, c.useProxy ? "GET " + url + " HTTP/1.1" : "GET /via HTTP/1.1") << c.what;
    EXPECT_EQ(r.Header("Proxy-Authorization"), c.authorisation) << c.what;
  }
  // An empty password still makes the header.
  ComFetchOptions o;
  o.proxy = proxy.HostPort();
  o.proxyUser = "user";
  ComHttpFetch(http_.Url("/via"), o);
  EXPECT_EQ(proxy.LastRequest().Header("Proxy-Authorization"), "Basic dXNlcjo=");
}

TEST_F(ComFetchTest, ProxyCredentialsGoToTheProxyNotThroughTheTunnel) {
  if (build::kVerifyTls) GTEST_SKIP() << "the build refuses the test server's self-signed certificate";
  corvenhal::testing::TinyProxy proxy("user", "secret");
  if (!proxy.Running()) GTEST_SKIP() << "tinyproxy is not available";
  int status = 0;
  ComFetchOptions o;
  o.proxy = proxy.HostPort();
  o.proxyUser = "user";
  o.proxyPassword = "secret";
  o.status = &status;
  EXPECT_EQ(ComHttpFetch(https_.Url("/tunnel"), o), "ok");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(https_.LastRequest().Header("Proxy-Authorization"), std::nullopt);

  // Without credentials the proxy refuses, and its answer is the response.
  o.proxyAuthMode = 2;
  ComHttpFetch(https_.Url("/tunnel"), o);
  EXPECT_EQ(status, 407);
}

TEST_F(ComFetchTest, CookiesSuppliedEmptyAgainstNotSupplied) {
  Text cookies, newCookies;
  ComFetchOptions o;
  o.cookies = &cookies;
  o.newCookies = &newCookies;
  ComHttpFetch(http_.Url("/c"), o);
  EXPECT_EQ(http_.LastRequest().Lines("Cookie"), std::vector<std::string>{"Cookie:"});
  EXPECT_EQ(cookies, "sid=abc");
  EXPECT_EQ(newCookies, "sid=abc");

  ComFetchOptions none;
  newCookies.clear();
  none.newCookies = &newCookies;
  ComHttpFetch(http_.Url("/c"), none);
  EXPECT_TRUE(http_.LastRequest().Lines("Cookie").empty());
  EXPECT_EQ(newCookies, "sid=abc");

  // Every marker goes, whatever its case; with merging off the text stays.
  cookies = "cookie:a=1; COOKIE:b=2";
  o.mergeCookies = false;
  ComHttpFetch(http_.Url("/c"), o);
  EXPECT_EQ(http_.LastRequest().Header("Cookie"), "a=1; b=2");
  EXPECT_EQ(cookies, "a=1; b=2");
  EXPECT_EQ(newCookies, "sid=abc");
}

TEST_F(ComFetchTest, ConnectionLine) {
  struct Case {
    const char* what;
    Text headers;
    bool addDefaults;
    std::vector<std::string> lines;
  };
  std::string host = "Host: " + http_.HostPort();
  const Case cases[] = {
      {"skipped among several lines", "X-A: 1\r\nconnection: keep-alive", false, {"X-A: 1", host, kKeepAlive}},
      {"sent as the only line", "Connection: keep-alive", false, {"Connection: keep-alive", host}},
      {"another value is sent", "X-A: 1\r\nConnection: close", false, {"X-A: 1", "Connection: close", host}},
  };
  for (const Case& c : cases) {
    Text headers = c.headers;
    ComFetchOptions o;
    o.headers = &headers;
    o.addDefaultHeaders = c.addDefaults;
    ComHttpFetch(http_.Url("/k"), o);
    EXPECT_EQ(http_.LastRequest().headerLines, c.lines) << c.what;
  }
  // The skipped line stays in the block handed back.
  Text headers = "Connection: keep-alive\r\nX-A: 1";
  ComFetchOptions o;
  o.headers = &headers;
  ComHttpFetch(http_.Url("/k"), o);
  EXPECT_TRUE(text::Contains(headers, "Connection: keep-alive\r\nX-A: 1\r\nAccept: */*"));
  EXPECT_TRUE(http_.LastRequest().Lines("Connection") == std::vector<std::string>{kKeepAlive});
}

TEST_F(ComFetchTest, BodiesAndStatus) {
  http_.Route("/missing", Reply::Response(404, "Not Found", "gone"));
  int status = 0;
  ComFetchOptions o;
  o.method = 3;
  o.body = platform::Utf8ToGbkText("公告");
  o.status = &status;
  EXPECT_EQ(ComHttpFetch(http_.Url("/missing"), o), "gone");
  EXPECT_EQ(status, 404);
  EXPECT_EQ(http_.LastRequest().requestLine, "PUT /missing HTTP/1.1");
  EXPECT_EQ(http_.LastRequest().body, "公告");  // a text body goes out as UTF-8
}

TEST_F(ComFetchTest, FailedRequestsGiveEmptyResults) {
  HttpServer silent;
  silent.SetFallback([](const ReceivedRequest&) { return Reply().Pause(10000); });
  std::string refused = "http://127.0.0.1:" + std::to_string(corvenhal::testing::FreeLoopbackPort()) + "/x";
  for (const std::string& url : {refused, silent.Url("/x")}) {
    Text cookies = "a=1", newCookies = "stale", responseHeaders = "stale";
    int status = -1;
    ComFetchOptions o;
    o.timeoutSeconds = 1;
    o.cookies = &cookies;
    o.newCookies = &newCookies;
    o.responseHeaders = &responseHeaders;
    o.status = &status;
    EXPECT_EQ(ComHttpFetch(url, o), "") << url;
    EXPECT_EQ(status, 0) << url;
    EXPECT_EQ(responseHeaders, "") << url;
    EXPECT_EQ(newCookies, "a=1") << url;  // merging leaves the cookies sent
  }
}

TEST_F(ComFetchTest, NoRequestObjectWritesNoOutput) {
  platform::RegisterComponent(platform::kWinHttpRequestProgId, "", [] { return nullptr; });
  Text headers = "X: 1";
  int status = -1;
  ComFetchOptions o;
  o.headers = &headers;
  o.status = &status;
  long depth = platform::ComInitializeDepth();
  Bytes body = ComHttpFetch(http_.Url("/n"), o);
  platform::RegisterComponent(platform::kWinHttpRequestProgId, platform::kWinHttpRequestClsid,
                              platform::NewWinHttpRequestComponent);
  EXPECT_EQ(body, "");
  EXPECT_EQ(headers, "X: 1");
  EXPECT_EQ(status, -1);
  EXPECT_EQ(http_.RequestCount(), 0u);
  EXPECT_EQ(platform::ComInitializeDepth(), depth);
}

TEST(HeaderLineParts, NameAndValue) {
  struct Case {
    Text line, name, value;
  };
  const Case cases[] = {
      {"Name: value", "Name", "value"},
      {"  Name  :  value  ", "Name", "value"},
      {"a:b:c", "a", "b:c"},
      {"no colon", "", ""},
      {":v", "", "v"},
      {"n:", "n", ""},
      {"\xA1\xA1N\xA1\xA1:\tv", "N", "\tv"},  // full-width spaces trimmed, tabs kept
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HeaderLineName(c.line), c.name) << c.line;
    EXPECT_EQ(HeaderLineValue(c.line), c.value) << c.line;
  }
}

TEST(EncodeBase64, Rfc4648VectorsWithoutLineBreaks) {
  const std::pair<Bytes, Text> cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                          {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                          {"foobar", "Zm9vYmFy"}, {Bytes("\x00\xFF\xFE", 3), "AP/+"}};
  for (const auto& [bytes, encoded] : cases) EXPECT_EQ(EncodeBase64(bytes), encoded) << bytes;
  Text long64 = EncodeBase64(Bytes(300, 'x'));
  EXPECT_EQ(long64.size(), 400u);
  EXPECT_EQ(long64.find_first_of("\r\n"), Text::npos);
}

}  // namespace
}  // namespace corvenhal::http
