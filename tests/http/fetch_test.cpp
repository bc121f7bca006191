// WinHttpFetch against real local servers: what the server received, what the
// call gives back, and how each failure is reported.
#include "http/winhttp_fetch.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "build_config.h"
#include "platform/automation.h"
#include "http/scripted_transport.h"
#include "platform/encodings.h"
#include "platform/headless/headless_window_system.h"
#include "platform/services.h"
#include "support/http_server.h"
#include "support/tinyproxy.h"

namespace corvenhal::http {
namespace {

using corvenhal::testing::HttpServer;
using corvenhal::testing::ReceivedRequest;
using corvenhal::testing::Reply;
namespace failure = fetch_failure;

Text Gbk(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

const std::string kUserAgent = "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const std::string kAccept = "Accept: text/html, application/xhtml+xml, */*";
const std::string kAcceptEncoding = "Accept-Encoding: gbk, GB2312";
const std::string kAcceptLanguage = "Accept-Language: zh-cn";
const std::string kContentType = "Content-Type: application/x-www-form-urlencoded";
const std::string kCacheControl = "Cache-Control: no-cache";
const std::string kKeepAlive = "Connection: Keep-Alive";

class FetchTest : public ::testing::Test {
 protected:
  FetchTest() {
    for (HttpServer* s : {&http_, &https_}) s->SetFallback([](const ReceivedRequest&) { return Reply::Ok("ok"); });
  }

  std::string HostLine(const HttpServer& s) const { return "Host: " + s.HostPort(); }
  std::vector<std::string> DefaultLines(const HttpServer& s) const {
    return {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl, HostLine(s), kKeepAlive};
  }

  HttpServer http_{HttpServer::kHttp};
  HttpServer https_{HttpServer::kHttps};
};

TEST_F(FetchTest, UrlAloneSendsTheDefaultRequestAndGivesTheBody) {
  for (HttpServer* s : {&http_, &https_}) {
    s->Route("/update/Vers.txt", Reply::Ok("1.0.3"));
    Text result = WinHttpFetch(s->Url("/update/Vers.txt"));
    if (s->Secure() && build::kVerifyTls) {
      // A self-signed certificate is refused when the build verifies them.
      EXPECT_EQ(result, "");
      continue;
    }
    EXPECT_EQ(result, "1.0.3");
    ReceivedRequest r = s->LastRequest();
    EXPECT_EQ(r.requestLine, "GET /update/Vers.txt HTTP/1.1");
    EXPECT_EQ(r.headerLines, DefaultLines(*s));
    EXPECT_EQ(r.body, "");

    Text status = "keep";
    FetchOptions o;
    o.statusText = &status;
    WinHttpFetch(s->Url("/update/Vers.txt"), o);
    EXPECT_EQ(status, "200 OK");
  }
}

TEST_F(FetchTest, RequestAsTheServerReceivesIt) {
  struct Case {
    const char* what;
    std::string target;
    std::function<void(FetchOptions&)> set;
    std::string requestLine;
    std::vector<std::string> lines;  // "@host" and "@length" stand for the Host and Content-Length lines
    std::string body;
  };
  const std::vector<std::string> defaults = {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl,
                                             "@host", kKeepAlive};
  auto with = [](std::vector<std::string> front, std::vector<std::string> back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
  };
  const std::vector<Case> cases = {
      {"POST adds the form Content-Type", "/form", [](FetchOptions& o) { o.method = 1; o.body = "a=1&b=2"; },
       "POST /form HTTP/1.1",
       {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kContentType, kCacheControl, "@host",
        "Content-Length: 7", kKeepAlive},
       "a=1&b=2"},
      {"PUT gets no Content-Type", "/put", [](FetchOptions& o) { o.method = 3; o.body = "x"; }, "PUT /put HTTP/1.1",
       {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl, "@host", "Content-Length: 1",
        kKeepAlive},
       "x"},
      {"method 8 is GET", "/m", [](FetchOptions& o) { o.method = 8; }, "GET /m HTTP/1.1", defaults, ""},
      {"method -1 is GET", "/m", [](FetchOptions& o) { o.method = -1; }, "GET /m HTTP/1.1", defaults, ""},
      {"method 5 is DELETE", "/m", [](FetchOptions& o) { o.method = 5; }, "DELETE /m HTTP/1.1", defaults, ""},
      {"accept: text/plain replaces the default Accept", "/h", [](FetchOptions& o) { o.headers = "accept: text/plain"; },
       "GET /h HTTP/1.1",
       {"Accept: text/plain", kUserAgent, kAcceptEncoding, kAcceptLanguage, kCacheControl, "@host", kKeepAlive}, ""},
      {"Accept:text/plain does not", "/h", [](FetchOptions& o) { o.headers = "Accept:text/plain"; }, "GET /h HTTP/1.1",
       with({"Accept:text/plain"}, defaults), ""},
      {"cookies become a Cookie line", "/c", [](FetchOptions& o) { static Text c = "a=1"; o.cookies = &c; },
       "GET /c HTTP/1.1",
       {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl, "Cookie: a=1", "@host", kKeepAlive}, ""},
      {"cookies holding Cookie: go as they are", "/c",
       [](FetchOptions& o) { static Text c = "Cookie: a=1"; o.cookies = &c; }, "GET /c HTTP/1.1",
       {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl, "Cookie: a=1", "@host", kKeepAlive}, ""},
      {"a Cookie line among the headers wins", "/c",
       [](FetchOptions& o) {
         static Text c = "a=1";
         o.cookies = &c;
         o.headers = "Cookie: z=9";
       },
       "GET /c HTTP/1.1", with({"Cookie: z=9"}, defaults), ""},
      {"Connection: keep-alive leaves the transport's own line", "/k",
       [](FetchOptions& o) { o.headers = "Connection: keep-alive\r\nX-A: 1"; }, "GET /k HTTP/1.1",
       with({"X-A: 1"}, defaults), ""},
      {"a header with an empty value is sent", "/e", [](FetchOptions& o) { o.headers = "X-Empty:\r\nx-b: 2"; },
       "GET /e HTTP/1.1", with({"X-Empty:", "X-B: 2"}, defaults), ""},
      {"GBK header values go as their bytes", "/g", [](FetchOptions& o) { o.headers = Gbk("X-Name: 中文"); },
       "GET /g HTTP/1.1", with({Gbk("X-Name: 中文")}, defaults), ""},
      {"no default lines, names as given", "/n",
       [](FetchOptions& o) {
         o.addDefaultHeaders = false;
         o.normalizeNames = false;
         o.headers = "x-raw: 1";
       },
       "GET /n HTTP/1.1", {"x-raw: 1", "@host", kKeepAlive}, ""},
      {"an empty header block", "/n", [](FetchOptions& o) { o.addDefaultHeaders = false; }, "GET /n HTTP/1.1",
       {"@host", kKeepAlive}, ""},
      {"bodyBytes win over body, zero bytes and all", "/b",
       [](FetchOptions& o) {
         o.method = 1;
         o.body = "ignored";
         o.bodyBytes = std::string("a\0b", 3);
       },
       "POST /b HTTP/1.1",
       {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kContentType, kCacheControl, "@host",
        "Content-Length: 3", kKeepAlive},
       std::string("a\0b", 3)},
      {"a text body ends at its zero byte", "/b",
       [](FetchOptions& o) {
         o.method = 3;
         o.body = std::string("ab\0cd", 5);
       },
       "PUT /b HTTP/1.1",
       {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kCacheControl, "@host", "Content-Length: 2",
        kKeepAlive},
       "ab"},
      {"a large body goes without Expect", "/big",
       [](FetchOptions& o) {
         o.method = 1;
         o.body = std::string(2u << 20, 'z');
       },
       "POST /big HTTP/1.1",
       {kUserAgent, kAccept, kAcceptEncoding, kAcceptLanguage, kContentType, kCacheControl, "@host",
        "Content-Length: 2097152", kKeepAlive},
       std::string(2u << 20, 'z')},
      {"a query without a path requests / alone", "?x=1", [](FetchOptions&) {}, "GET / HTTP/1.1", defaults, ""},
      {"a path keeps its query", "/p?x=1", [](FetchOptions&) {}, "GET /p?x=1 HTTP/1.1", defaults, ""},
      {"the target is sent exactly", "/a/../b/./c%41?q=%zz&r=a+b", [](FetchOptions&) {},
       "GET /a/../b/./c%41?q=%zz&r=a+b HTTP/1.1", defaults, ""},
      {"server credentials", "/auth",
       [](FetchOptions& o) {
         o.user = "user";
         o.password = "pa:ss";
       },
       "GET /auth HTTP/1.1", with(defaults, {"Authorization: Basic dXNlcjpwYTpzcw=="}), ""},
      {"a user without a password sends none", "/auth", [](FetchOptions& o) { o.user = "user"; },
       "GET /auth HTTP/1.1", defaults, ""},
  };
  for (const Case& c : cases) {
    FetchOptions o;
    c.set(o);
    Text status;
    o.statusText = &status;
    EXPECT_EQ(WinHttpFetch(http_.Url(c.target), o), "ok") << c.what;
    EXPECT_EQ(status, "200 OK") << c.what;
    ReceivedRequest r = http_.LastRequest();
    std::vector<std::string> lines;
    for (const std::string& line : c.lines) {
      lines.push_back(line == "@host" ? HostLine(http_) : line);
    }
    EXPECT_EQ(r.requestLine, c.requestLine) << c.what;
    EXPECT_EQ(r.headerLines, lines) << c.what;
    EXPECT_EQ(r.body, c.body) << c.what;
  }

  // HEAD: no body goes out, and none is read back.
  FetchOptions head;
  head.method = 2;
  head.body = "x";
  Text status;
  head.statusText = &status;
  EXPECT_EQ(WinHttpFetch(http_.Url("/head"), head), "");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(http_.LastRequest().requestLine, "HEAD /head HTTP/1.1");
  EXPECT_EQ(http_.LastRequest().headerLines, DefaultLines(http_));
}

TEST_F(FetchTest, ResponseOutputs) {
  const std::string setCookies = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"
                                 "Content-Length: 4\r\n\r\nbody";
  http_.Route("/c", Reply().Write(setCookies));

  {
    SCOPED_TRACE("no cookies sent");
    Text cookies, newCookies = "old=1", headers, status, redirect = "keep";
    Bytes body;
    FetchOptions o;
    o.cookies = &cookies;
    o.newCookies = &newCookies;
    o.responseHeaders = &headers;
    o.statusText = &status;
    o.redirectUrl = &redirect;
    o.responseBody = &body;
    EXPECT_EQ(WinHttpFetch(http_.Url("/c"), o), "body");
    EXPECT_EQ(newCookies, "a=1; b=2");
    EXPECT_EQ(cookies, "");
    EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nContent-Length: 4\r\n\r\n");
    EXPECT_EQ(status, "200 OK");
    EXPECT_EQ(redirect, "keep");
    EXPECT_EQ(body, "body");
    EXPECT_TRUE(http_.LastRequest().Lines("Cookie").empty());
  }
  {
    SCOPED_TRACE("merged into the cookies sent");
    Text cookies = "a=0; c=3", newCookies;
    FetchOptions o;
    o.cookies = &cookies;
    o.newCookies = &newCookies;
    WinHttpFetch(http_.Url("/c"), o);
    EXPECT_EQ(newCookies, "a=1; b=2; c=3");
    EXPECT_EQ(cookies, "a=1; b=2; c=3");
    EXPECT_EQ(http_.LastRequest().Header("Cookie"), "a=0; c=3");
  }
  {
    SCOPED_TRACE("merging off");
    Text cookies = "a=0; c=3", newCookies;
    FetchOptions o;
    o.cookies = &cookies;
    o.newCookies = &newCookies;
    o.mergeCookies = false;
    WinHttpFetch(http_.Url("/c"), o);
    EXPECT_EQ(newCookies, "a=1; b=2");
    EXPECT_EQ(cookies, "a=0; c=3");
  }
}

TEST_F(FetchTest, ResponseShapes) {
  std::string large;
  for (int i = 0; large.size() < (5u << 20); ++i) large += std::to_string(i) + ",";
  struct Case {
    const char* what;
    Reply reply;
    std::string result, status, headers;
  };
  const std::vector<Case> cases = {
      {"an error status still gives its body", Reply::Response(404, "Not Found", "gone"), "gone", "404 Not Found",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\n"},
      {"interim answer and bare LF lines",
       Reply().Write("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\nX-A: 1\nContent-Length: 2\n\nhi"), "hi", "200 OK",
       "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n"},
      {"a body ended by closing", Reply().Write("HTTP/1.0 200 OK\r\nX-B: 2\r\n\r\nabc").Close(), "abc", "200 OK",
       "HTTP/1.0 200 OK\r\nX-B: 2\r\n\r\n"},
      {"a chunked body and its trailer",
       Reply().Write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\nX-T: 1\r\n\r\n"),
       "abcde", "200 OK", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"},
      {"a zero byte ends the text", Reply::Ok(std::string("ab\0cd", 5)), "ab", "200 OK",
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"},
      {"a body of megabytes arrives whole", Reply::Ok(large), large, "200 OK",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(large.size()) + "\r\n\r\n"},
      {"and without a declared length",
       Reply().Write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + large).Close(), large, "200 OK",
       "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"},
  };
  for (const Case& c : cases) {
    http_.Route("/shape", c.reply);
    Text status, headers;
    Bytes body;
    FetchOptions o;
    o.statusText = &status;
    o.responseHeaders = &headers;
    o.responseBody = &body;
    EXPECT_EQ(WinHttpFetch(http_.Url("/shape"), o), c.result) << c.what;
    EXPECT_EQ(status, c.status) << c.what;
    EXPECT_EQ(headers, c.headers) << c.what;
    if (std::string(c.what) == "a zero byte ends the text") {
      EXPECT_EQ(body, std::string("ab\0cd", 5));
    }
  }
}

TEST_F(FetchTest, RedirectsFollowedAndForbidden) {
  http_.Route("/r1", Reply::Redirect(301, "/r2"));
  http_.Route("/r2", Reply::Redirect(302, http_.Url("/final")));
  http_.Route("/final", Reply::Ok("done", {"X-Final: 1"}));
  http_.Route("/bulky", Reply::Response(302, "Found", std::string(3u << 20, 'm'), {"Location: /final"}));
  {
    SCOPED_TRACE("followed");
    Text status, headers, redirect = "keep";
    FetchOptions o;
    o.statusText = &status;
    o.responseHeaders = &headers;
    o.redirectUrl = &redirect;
    EXPECT_EQ(WinHttpFetch(http_.Url("/r1"), o), "done");
    EXPECT_EQ(status, "200 OK");
    EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 4\r\n\r\n");
    EXPECT_EQ(redirect, "keep");
    std::vector<std::string> paths;
    for (const ReceivedRequest& r : http_.Requests()) paths.push_back(r.requestLine);
    EXPECT_EQ(paths, (std::vector<std::string>{"GET /r1 HTTP/1.1", "GET /r2 HTTP/1.1", "GET /final HTTP/1.1"}));
    EXPECT_EQ(http_.LastRequest().headerLines, DefaultLines(http_));
  }
  {
    SCOPED_TRACE("a redirect with a large body of its own");
    EXPECT_EQ(WinHttpFetch(http_.Url("/bulky")), "done");
  }
  {
    SCOPED_TRACE("forbidden");
    Text status, redirect;
    FetchOptions o;
    o.noRedirect = true;
    o.statusText = &status;
    o.redirectUrl = &redirect;
    size_t before = http_.RequestCount();
    EXPECT_EQ(WinHttpFetch(http_.Url("/r1"), o), "moved");
    EXPECT_EQ(status, "301 Moved Permanently");
    EXPECT_EQ(redirect, "/r2");
    EXPECT_EQ(http_.RequestCount(), before + 1);
  }
}

TEST_F(FetchTest, RedirectHopsCarryCookiesAndMethods) {
  http_.Route("/set", Reply::Redirect(302, "/final", {"Set-Cookie: hop=1; path=/"}));
  {
    SCOPED_TRACE("cookies set by a hop go out on the next");
    Text cookies = "a=1";
    FetchOptions o;
    o.cookies = &cookies;
    WinHttpFetch(http_.Url("/set"), o);
    ReceivedRequest last = http_.LastRequest();
    EXPECT_EQ(last.Path(), "/final");
    ASSERT_EQ(last.Lines("Cookie").size(), 1u);
    EXPECT_EQ(last.Header("Cookie"), "hop=1; a=1");
    EXPECT_EQ(cookies, "a=1");
  }
  {
    SCOPED_TRACE("without cookies automatic handling is off");
    WinHttpFetch(http_.Url("/set"));
    EXPECT_TRUE(http_.LastRequest().Lines("Cookie").empty());
  }
  http_.Route("/post302", Reply::Redirect(302, "/to"));
  http_.Route("/post307", Reply::Redirect(307, "/to"));
  for (const char* path : {"/post302", "/post307"}) {
    FetchOptions o;
    o.method = 1;
    o.body = "k=v";
    WinHttpFetch(http_.Url(path), o);
    ReceivedRequest last = http_.LastRequest();
    bool keeps = std::string(path) == "/post307";
    EXPECT_EQ(last.requestLine, keeps ? "POST /to HTTP/1.1" : "GET /to HTTP/1.1") << path;
    EXPECT_EQ(last.body, keeps ? "k=v" : "") << path;
    EXPECT_EQ(last.Header("Content-Length").has_value(), keeps) << path;
  }
}

TEST_F(FetchTest, RedirectLimits) {
  // /hop/N redirects to /hop/N+1 until N reaches its chain's end.
  http_.SetFallback([](const ReceivedRequest& r) {
    if (r.Path().rfind("/hop/", 0) != 0) return Reply::Ok("ok");
    int n = std::stoi(r.Path().substr(5));
    int end = std::stoi(r.target.substr(r.target.find("end=") + 4));
    if (n == end) return Reply::Ok("arrived");
    return Reply::Redirect(302, "/hop/" + std::to_string(n + 1) + "?end=" + std::to_string(end));
  });
  Text status;
  FetchOptions o;
  o.statusText = &status;
  EXPECT_EQ(WinHttpFetch(http_.Url("/hop/0?end=10"), o), "arrived");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(WinHttpFetch(http_.Url("/hop/0?end=11"), o), "");
  EXPECT_EQ(status, failure::kNoResponse);

  if (build::kVerifyTls) return;
  // From https to http is never followed: the redirect is the response.
  https_.Route("/down", Reply::Redirect(302, http_.Url("/plain")));
  size_t plainBefore = http_.RequestCount();
  EXPECT_EQ(WinHttpFetch(https_.Url("/down"), o), "moved");
  EXPECT_EQ(status, "302 Found");
  EXPECT_EQ(http_.RequestCount(), plainBefore);
  // From http to https is.
  https_.Route("/secure", Reply::Ok("secure"));
  http_.Route("/up", Reply::Redirect(302, https_.Url("/secure")));
  EXPECT_EQ(WinHttpFetch(http_.Url("/up"), o), "secure");
}

TEST_F(FetchTest, FailuresOnRealConnections) {
  struct Case {
    const char* what;
    std::string url;
    const char* status;
  };
  http_.Route("/hangup", Reply().Close());
  http_.Route("/stall", Reply().Pause(4000).Write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"));
  const std::vector<Case> cases = {
      {"no scheme", "127.0.0.1/x", failure::kBadUrl},
      {"another scheme", "ftp://" + http_.HostPort() + "/x", failure::kBadUrl},
      {"a bad port", "http://127.0.0.1:99999/", failure::kBadUrl},
      {"connection refused", "http://127.0.0.1:" + std::to_string(corvenhal::testing::FreeLoopbackPort()) + "/",
       failure::kSendFailed},
      {"TLS handshake with a plain server", "https://" + http_.HostPort() + "/", failure::kSendFailed},
      {"closed before any answer", http_.Url("/hangup"), failure::kNoResponse},
      {"silent past the timeout", http_.Url("/stall"), failure::kNoResponse},
  };
  for (const Case& c : cases) {
    Text status, headers = "keep", result = "unset";
    FetchOptions o;
    o.statusText = &status;
    o.responseHeaders = &headers;
    o.timeoutSeconds = 1;
    result = WinHttpFetch(c.url, o);
    EXPECT_EQ(status, c.status) << c.what;
    EXPECT_EQ(result, "") << c.what;
    EXPECT_EQ(headers, "keep") << c.what;
  }
}

TEST_F(FetchTest, BodyCutShortKeepsWhatArrived) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  http_.Route("/lost", Reply().Write(head + "abcd").Close());
  http_.Route("/stalled", Reply().Write(head + "abcd").Pause(4000).Write("efghij"));
  // Slow but steady: no gap reaches the timeout.
  http_.Route("/steady",
              Reply().Write(head).Pause(400).Write("ab").Pause(400).Write("cd").Pause(400).Write("efghij").Pause(400));
  struct Case {
    const char* path;
    std::string body;
  };
  for (const Case& c : {Case{"/lost", "abcd"}, Case{"/stalled", "abcd"}, Case{"/steady", "abcdefghij"}}) {
    Text status;
    Bytes body;
    FetchOptions o;
    o.statusText = &status;
    o.responseBody = &body;
    o.timeoutSeconds = 1;
    EXPECT_EQ(WinHttpFetch(http_.Url(c.path), o), c.body) << c.path;
    // The read failure's text is replaced by the status of the response.
    EXPECT_EQ(status, "200 OK") << c.path;
    EXPECT_EQ(body, c.body) << c.path;
  }
}

TEST_F(FetchTest, DeclaredCharacterSet) {
  const std::string utf8Page = "<html><head><meta http-equiv=x content=\"text/html; charset=UTF-8\"></head>中文</html>";
  const std::string late = "<html>" + std::string(1030, ' ') + "<meta charset=utf-8>中文";
  const std::string badGbk = "\x81\x20ok";  // a lead byte without its trail byte
  struct Case {
    const char* what;
    std::string page;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"utf-8 is decoded", utf8Page, Gbk(utf8Page)},
      {"a bare charset attribute", "<meta charset=utf-8>\xC3\xA9t\xC3\xA9", Gbk("<meta charset=utf-8>été")},
      {"gbk stays as received", "<meta charset=gbk>" + badGbk, "<meta charset=gbk>" + badGbk},
      {"gb2312 stays as received", "<meta charset=gb2312>" + badGbk, "<meta charset=gb2312>" + badGbk},
      {"GBK in capitals is converted", "<meta charset=GBK>" + Gbk("中文"), "<meta charset=GBK>" + Gbk("中文")},
      {"no declaration", "<p>中文</p>", "<p>中文</p>"},
      {"declared after byte 1024", late, late},
      {"big5", "<meta charset=big5>\xA4\xA4\xA4\xE5\xB8\xEA\xAE\xC6", Gbk("<meta charset=big5>中文資料")},
      {"shift_jis with backslashes", "<meta charset=shift_jis>C:\\\x95\\\x83\\", Gbk("<meta charset=shift_jis>C:\\表ソ")},
  };
  for (const Case& c : cases) {
    http_.Route("/page", Reply::Ok(c.page));
    platform::ComCallCounts before = platform::ComCalls();
    EXPECT_EQ(WinHttpFetch(http_.Url("/page")), c.result) << c.what;
    // The step initialises COM and pairs every initialisation.
    platform::ComCallCounts after = platform::ComCalls();
    EXPECT_GT(after.initialize, before.initialize) << c.what;
    EXPECT_EQ(after.initialize - before.initialize, after.uninitialize - before.uninitialize) << c.what;
    EXPECT_EQ(platform::ComInitializeDepth(), 0) << c.what;
  }
  // Converting GBK reads every byte afresh: the broken pair does not survive.
  http_.Route("/page", Reply::Ok("<meta charset=GBK>" + badGbk));
  EXPECT_NE(WinHttpFetch(http_.Url("/page")), "<meta charset=GBK>" + badGbk);

  // A declared character set converts the whole body, past a zero byte.
  http_.Route("/page", Reply::Ok(std::string("<meta charset=utf-8>ab\0cd", 25)));
  Bytes body;
  FetchOptions o;
  o.responseBody = &body;
  Text result = WinHttpFetch(http_.Url("/page"), o);
  EXPECT_EQ(body.size(), 25u);
  EXPECT_NE(result.find("cd"), std::string::npos);
}

TEST_F(FetchTest, ThroughARealProxy) {
  https_.Route("/s", Reply::Ok("tunnelled"));
  http_.Route("/p", Reply::Ok("proxied"));
  {
    corvenhal::testing::TinyProxy proxy;
    if (!proxy.Running()) GTEST_SKIP() << "tinyproxy is not available";
    FetchOptions o;
    o.proxy = proxy.HostPort();
    EXPECT_EQ(WinHttpFetch(http_.Url("/p"), o), "proxied");
    ReceivedRequest r = http_.LastRequest();
    EXPECT_EQ(r.requestLine, "GET /p HTTP/1.1");
    EXPECT_NE(r.Header("Via").value_or("").find("tinyproxy"), std::string::npos);
    if (!build::kVerifyTls) {
      Text headers;
      o.responseHeaders = &headers;
      EXPECT_EQ(WinHttpFetch(https_.Url("/s"), o), "tunnelled");
      // The proxy's answer to CONNECT is not part of the response.
      EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n");
      EXPECT_NE(proxy.Log().find("CONNECT"), std::string::npos);
      EXPECT_FALSE(https_.LastRequest().Header("Via").has_value());
    }
  }
  {
    corvenhal::testing::TinyProxy proxy("pu", "pp");
    ASSERT_TRUE(proxy.Running());
    for (HttpServer* s : {&http_, &https_}) {
      if (s->Secure() && build::kVerifyTls) continue;
      std::string url = s->Url(s->Secure() ? "/s" : "/p");
      Text status;
      FetchOptions o;
      o.proxy = proxy.HostPort();
      o.statusText = &status;
      EXPECT_EQ(WinHttpFetch(url, o).empty(), s->Secure()) << url;
      EXPECT_EQ(status.substr(0, 4), "407 ") << url;
      o.proxyUser = "pu";
      o.proxyPassword = "pp";
      EXPECT_EQ(WinHttpFetch(url, o), s->Secure() ? "tunnelled" : "proxied") << url;
      EXPECT_EQ(status, "200 OK") << url;
    }
  }
}

TEST_F(FetchTest, PumpsEventsAndAllowsANestedCall) {
  platform::headless::HeadlessWindowSystem windows;
  platform::Services services = platform::Current();
  services.windows = &windows;
  platform::ScopedServices scoped(services);

  http_.Route("/outer", Reply::Ok("outer", {"X-A: 1"}));
  http_.Route("/inner", Reply::Ok("inner"));
  Text nested;
  windows.Post([&] { nested = WinHttpFetch(http_.Url("/inner")); });
  EXPECT_EQ(WinHttpFetch(http_.Url("/outer")), "outer");
  EXPECT_EQ(nested, "inner");
  // One pump per header line and one after the character-set step: the outer
  // block has four lines (status, X-A, Content-Length, the empty line), the
  // inner one three.
  EXPECT_EQ(windows.PumpCount(), (4 + 1) + (3 + 1));

  int before = windows.PumpCount();
  Text status;
  FetchOptions o;
  o.statusText = &status;
  WinHttpFetch("http://127.0.0.1:" + std::to_string(corvenhal::testing::FreeLoopbackPort()) + "/", o);
  EXPECT_EQ(status, failure::kSendFailed);
  EXPECT_GT(windows.PumpCount(), before);
}

class SeamTest : public FetchTest {
 protected:
  SeamTest() : scripted_(*platform::Current().http, script_) {
    services_ = platform::Current();
    services_.http = &scripted_;
    services_.windows = &windows_;
    scoped_.emplace(services_);
    http_.Route("/v", Reply::Ok("body", {"Set-Cookie: s=1"}));
  }

  fakes::TransportScript script_;
  fakes::ScriptedService scripted_;
  platform::headless::HeadlessWindowSystem windows_;
  platform::Services services_;
  std::optional<platform::ScopedServices> scoped_;
};

TEST_F(SeamTest, EachStepReportsItsOwnFailure) {
  struct Case {
    std::string fail, alsoFail;
    std::function<void(FetchOptions&)> set;
    std::string status;  // "keep" when nothing writes it
    Text result;
    bool pumps;
  };
  auto none = [](FetchOptions&) {};
  auto serverCredentials = [](FetchOptions& o) {
    o.user = "u";
    o.password = "p";
  };
  auto proxyCredentials = [](FetchOptions& o) {
    o.proxyUser = "u";
    o.proxyPassword = "p";
  };
  const std::vector<Case> cases = {
      {"CheckPlatform", "", none, failure::kNoPlatform, "", true},
      {"CrackUrl", "", none, failure::kBadUrl, "", true},
      {"OpenSession", "", none, failure::kNoSession, "", true},
      {"SetTimeouts", "", none, failure::kTimeoutsRefused, "", true},
      {"Connect", "", none, failure::kNoConnection, "", true},
      {"OpenRequest", "", none, failure::kNoRequest, "", true},
      {"SetCredentials", "", serverCredentials, failure::kCredentialsRefused, "", false},
      {"SetCredentials", "", proxyCredentials, failure::kCredentialsRefused, "", false},
      {"IgnoreCertificateErrors", "", none, failure::kCertificateOptionRefused, "", false},
      {"SetAutomaticCookies", "", none, failure::kCookieOptionRefused, "", false},
      {"DisableRedirects", "", [](FetchOptions& o) { o.noRedirect = true; }, failure::kRedirectOptionRefused, "",
       false},
      {"AddHeaders", "", none, failure::kHeadersRefused, "", true},
      {"Send", "", none, failure::kSendFailed, "", true},
      {"ReceiveResponse", "", none, failure::kNoResponse, "", true},
      {"ReadData", "QueryRawHeaders", none, failure::kReadFailed, "", false},
      {"ReadData", "", none, "200 OK", "", true},
      {"QueryRawHeaders", "", none, "keep", "", false},
  };
  for (const Case& c : cases) {
    script_ = {};
    script_.failStep = c.fail;
    script_.alsoFailStep = c.alsoFail;
    Text status = "keep", headers = "keep", newCookies = "keep";
    FetchOptions o;
    c.set(o);
    o.statusText = &status;
    o.responseHeaders = &headers;
    o.newCookies = &newCookies;
    int pumpsBefore = windows_.PumpCount();
    EXPECT_EQ(WinHttpFetch(http_.Url("/v"), o), c.result) << c.fail;
    EXPECT_EQ(status, c.status) << c.fail << " " << c.alsoFail;
    EXPECT_EQ(windows_.PumpCount() > pumpsBefore, c.pumps) << c.fail << " " << c.alsoFail;
    EXPECT_EQ(script_.calls.back(), "Close") << c.fail;
    bool responseStage = c.status == "200 OK";
    EXPECT_EQ(headers == "keep", !responseStage) << c.fail;
    EXPECT_EQ(newCookies, responseStage ? "s=1" : "keep") << c.fail;
  }
}

TEST_F(SeamTest, BodyOverTheLimitIsAReadFailure) {
  script_.readyOnce = kMaxFetchBodyBytes + 1;
  script_.failStep = "QueryRawHeaders";
  Text status;
  FetchOptions o;
  o.statusText = &status;
  EXPECT_EQ(WinHttpFetch(http_.Url("/v"), o), "");
  EXPECT_EQ(status, failure::kReadFailed);
  EXPECT_EQ(std::count(script_.calls.begin(), script_.calls.end(), "ReadData"), 0);
}

TEST_F(SeamTest, StepsAndWhatTheyAreGiven) {
  struct Case {
    std::string url;
    std::function<void(FetchOptions&)> set;
    std::vector<std::string> calls;  // up to Send, which fails
  };
  auto none = [](FetchOptions&) {};
  const std::string port = std::to_string(http_.Port());
  const std::vector<std::string> head = {"CheckPlatform", "CrackUrl"};
  auto calls = [&](std::vector<std::string> middle) {
    std::vector<std::string> all = head;
    all.insert(all.end(), middle.begin(), middle.end());
    all.push_back("AddHeaders");
    all.push_back("Send");
    all.push_back("Close");
    return all;
  };
  const std::vector<Case> cases = {
      {http_.Url("/v"), none,
       calls({"OpenSession ", "SetTimeouts 30000 30000 30000 30000", "Connect 127.0.0.1 " + port, "OpenRequest GET /v",
              "IgnoreCertificateErrors", "SetAutomaticCookies off"})},
      {"https://127.0.0.1:" + port + "?q=1",
       [](FetchOptions& o) {
         o.proxy = "127.0.0.1:1";
         o.timeoutSeconds = 5;
         o.method = 4;
       },
       calls({"OpenSession 127.0.0.1:1", "SetTimeouts 5000 5000 5000 5000", "Connect 127.0.0.1 " + port,
              "OpenRequest OPTIONS / secure", "IgnoreCertificateErrors", "SetAutomaticCookies off"})},
      {http_.Url("/v?q=1#f"),
       [](FetchOptions& o) {
         static Text cookies = "a=1";
         o.cookies = &cookies;
         o.proxy = "127.0.0.1:1";
         o.timeoutSeconds = -2;
         o.user = o.password = o.proxyUser = o.proxyPassword = "x";
         o.noRedirect = true;
       },
       calls({"OpenSession http=127.0.0.1:1", "SetTimeouts 30000 30000 30000 30000", "Connect 127.0.0.1 " + port,
              "OpenRequest GET /v?q=1#f", "SetCredentials server", "SetCredentials proxy", "IgnoreCertificateErrors",
              "SetAutomaticCookies on", "DisableRedirects"})},
  };
  for (const Case& c : cases) {
    script_ = {};
    script_.failStep = "Send";
    FetchOptions o;
    c.set(o);
    WinHttpFetch(c.url, o);
    EXPECT_EQ(script_.calls, c.calls) << c.url;
  }
}

TEST_F(SeamTest, NoHttpServiceIsThePlatformFailure) {
  platform::Services services = platform::Current();
  services.http = nullptr;
  platform::ScopedServices scoped(services);
  Text status;
  FetchOptions o;
  o.statusText = &status;
  EXPECT_EQ(WinHttpFetch(http_.Url("/v"), o), "");
  EXPECT_EQ(status, failure::kNoPlatform);
}

TEST(FetchFailureTexts, AreTheSystemsOwnBytes) {
  const std::pair<const char*, const char*> texts[] = {
      {failure::kNoPlatform, "700 当前系统不支持WinHttp服务!"},
      {failure::kBadUrl, "701 解析URL地址失败!"},
      {failure::kNoSession, "702 创建WinHttp会话失败!"},
      {failure::kNoConnection, "703 创建WinHttp连接失败!"},
      {failure::kNoRequest, "704 创建WinHttp请求失败!"},
      {failure::kTimeoutsRefused, "705 设置超时时间失败!"},
      {failure::kCredentialsRefused, "707 设置代理凭证失败!"},
      {failure::kCertificateOptionRefused, "忽略错误/证书错误  失败！"},
      {failure::kCookieOptionRefused, "708 禁止自动设置Cookies失败!"},
      {failure::kRedirectOptionRefused, "709 重定向设置失败!"},
      {failure::kHeadersRefused, "710 设置协议头失败!"},
      {failure::kSendFailed, "711 发送请求失败!"},
      {failure::kNoResponse, "712 服务器未响应!"},
      {failure::kReadFailed, "713 读取数据失败!"},
  };
  for (const auto& [bytes, utf8] : texts) {
    EXPECT_EQ(Text(bytes), Gbk(utf8));
    EXPECT_TRUE(IsFetchFailure(bytes));
  }
  EXPECT_FALSE(IsFetchFailure("200 OK"));
  EXPECT_FALSE(IsFetchFailure(""));
}

}  // namespace
}  // namespace corvenhal::http
