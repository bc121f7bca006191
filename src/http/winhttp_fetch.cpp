#include "http/winhttp_fetch.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "http/headers.h"
#include "platform/automation.h"
#include "platform/encodings.h"
#include "platform/http_transport.h"
#include "platform/memory.h"
#include "platform/services.h"
#include "platform/window.h"
#include "script/regex_object.h"

namespace corvenhal::http {
namespace {

using platform::HttpTransport;

constexpr std::string_view kCrLf = "\r\n";

constexpr const char* kMethods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};

struct DefaultHeader {
  const char* searched;
  const char* line;
  bool postOnly;
};

// Considered in this order; a line is appended when its searched text (case
// ignored) is nowhere in the block.
constexpr DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ", "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)", false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*", false},
    {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312", false},
    {"Accept-Language: ", "Accept-Language: zh-cn", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
    {"Cache-Control: ", "Cache-Control: no-cache", false},
};

constexpr const char* kFailures[] = {
    fetch_failure::kNoPlatform,      fetch_failure::kBadUrl,
    fetch_failure::kNoSession,       fetch_failure::kTimeoutsRefused,
    fetch_failure::kNoConnection,    fetch_failure::kNoRequest,
    fetch_failure::kCredentialsRefused, fetch_failure::kCertificateOptionRefused,
    fetch_failure::kCookieOptionRefused, fetch_failure::kRedirectOptionRefused,
    fetch_failure::kHeadersRefused,  fetch_failure::kSendFailed,
    fetch_failure::kNoResponse,      fetch_failure::kReadFailed,
};

void PumpEvents() {
  if (platform::WindowSystem* windows = platform::Current().windows) windows->PumpEvents();
}

// The body as it arrives, appended to one buffer. Its room is the length the
// response declares, when it declares one, and doubles whenever it runs out:
// linear cost, and at most twice the body's size while it grows. The room
// asks for large pages, as filling memory page by page costs more than
// receiving it.
class BodyBuffer {
 public:
  std::size_t size() const { return size_; }

  // The room to take when the first bytes arrive.
  void Expect(std::uint64_t length) {
    expected_ = static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxFetchBodyBytes));
  }

  // Room for `count` bytes at the end; Commit then keeps the bytes written.
  char* Reserve(std::size_t count) {
    if (bytes_.capacity() - size_ < count) {
      std::size_t room = std::max({size_ + count, std::min(2 * bytes_.capacity(), kMaxFetchBodyBytes),
                                   expected_, kFirstRoomBytes});
      Bytes larger;
      larger.reserve(room);
      platform::AdviseLargeBuffer(larger.data(), larger.capacity());
      larger.append(bytes_, 0, size_);
      bytes_.swap(larger);
    }
    bytes_.resize(size_ + count);
    return bytes_.data() + size_;
  }
  void Commit(std::size_t count) {
    size_ += count;
    bytes_.resize(size_);
  }

  // The bytes committed; room reserved for a read that failed is dropped.
  Bytes Take() {
    bytes_.resize(size_);
    size_ = 0;
    return std::move(bytes_);
  }

 private:
  static constexpr std::size_t kFirstRoomBytes = std::size_t{64} << 10;
  Bytes bytes_;
  std::size_t size_ = 0;
  std::size_t expected_ = 0;
};

Text BuildHeaderBlock(const FetchOptions& o, const Text& cookies) {
  Text headers = text::AsText(o.headers);
  Text block = headers.empty() ? Text() : headers + Text(kCrLf);
  if (o.addDefaultHeaders) {
    for (const DefaultHeader& h : kDefaultHeaders) {
      if (h.postOnly && o.method != 1) continue;
      if (!text::Contains(block, h.searched, true)) {
        block += h.line;
        block += kCrLf;
      }
    }
  }
  if (o.normalizeNames) block = NormalizeHeaderNames(block);
  // The transport adds its own Connection line.
  if (text::Contains(block, "Connection") && HeaderValue(block, "Connection") == "keep-alive") {
    block = text::ReplaceAll(block, "Connection: keep-alive\r\n", "");
  }
  if (!text::Contains(block, "Cookie:", true) && !cookies.empty()) {
    block += kCrLf;
    if (!text::Contains(cookies, "Cookie:", true)) block += "Cookie: ";
    block += cookies;
    block += kCrLf;
  }
  return block;
}

// Decodes the body from the character set its page declares within its first
// 1024 bytes, unless that is GBK already.
void ApplyDeclaredCharset(const Bytes& allBytes, Text& result) {
  platform::ComInitialize();
  {
    script::RegexObject regex;
    Text charset;
    if (regex.SearchText("<meta.+?charset=[^\\w]?([-\\w]+)", text::Left(result, 1024))) {
      charset = regex.SubmatchText(1, 1);
    }
    if (!charset.empty() && charset != "gbk" && charset != "gb2312") {
      platform::AutomationBridge bridge;
      platform::AutomationObject stream;
      if (bridge.Create(stream, "Adodb.Stream")) {
        platform::AutomationVariant bytes;
        bytes.AssignBytes(allBytes);
        bridge.Put(stream, "Type", 1);
        bridge.Put(stream, "Mode", 3);
        bridge.Call(stream, "Open");
        bridge.Call(stream, "Write", bytes);
        bridge.Put(stream, "Position", 0);
        bridge.Put(stream, "Type", 2);
        bridge.Put(stream, "Charset", charset);
        result = bridge.CallText(stream, "ReadText");
        bridge.Call(stream, "Close");
        stream.Release();
        bytes.Clear();
      }
    }
  }
  PumpEvents();
  platform::ComUninitialize();
}

class Call {
 public:
  Call(const Text& url, const FetchOptions& o) : url_(text::AsText(url)), o_(o) {
    if (o_.cookies) cookies_ = text::AsText(*o_.cookies);
  }
  ~Call() {
    if (transport_) transport_->Close();
  }

  Text Run();

 private:
  // A failure of a step that is left with the steps around it: pumps once
  // for each of them.
  Text Leave(const char* failure, int stepsLeft) {
    Fail(failure);
    for (int i = 0; i < stepsLeft; ++i) PumpEvents();
    return {};
  }
  // A failure of an option step: closes at once, without pumping.
  Text Abandon(const char* failure) {
    Fail(failure);
    return {};
  }
  void Fail(const char* failure) {
    if (o_.statusText) *o_.statusText = failure;
  }

  Text url_;
  const FetchOptions& o_;
  Text cookies_;
  std::unique_ptr<HttpTransport> transport_;
};

Text Call::Run() {
  using platform::GbkToWide;
  using platform::WideToGbk;

  platform::HttpService* service = platform::Current().http;
  if (service) transport_ = service->NewTransport();
  HttpTransport* t = transport_.get();
  if (!t || !t->CheckPlatform()) return Leave(fetch_failure::kNoPlatform, 1);

  platform::UrlParts parts;
  if (!t->CrackUrl(GbkToWide(url_), parts) || parts.scheme == platform::UrlScheme::kUnknown) {
    return Leave(fetch_failure::kBadUrl, 2);
  }
  Text host = WideToGbk(parts.host);
  bool secure = parts.scheme == platform::UrlScheme::kHttps;
  Text path = WideToGbk(parts.path);
  Text target = path.empty() ? Text("/") : path + WideToGbk(parts.extra);

  Text proxy = text::AsText(o_.proxy);
  Text proxyList = proxy.empty() ? Text() : secure ? proxy : "http=" + proxy;
  if (!t->OpenSession(GbkToWide(proxyList))) return Leave(fetch_failure::kNoSession, 3);

  long long ms = 30000;
  if (o_.timeoutSeconds > 0) ms = o_.timeoutSeconds > INT_MAX / 1000 ? INT_MAX : o_.timeoutSeconds * 1000;
  int timeout = static_cast<int>(ms);
  if (!t->SetTimeouts(timeout, timeout, timeout, timeout)) return Leave(fetch_failure::kTimeoutsRefused, 4);

  if (!t->Connect(GbkToWide(host), parts.port)) return Leave(fetch_failure::kNoConnection, 5);

  const char* verb = (o_.method >= 0 && o_.method <= 7) ? kMethods[o_.method] : "GET";
  if (!t->OpenRequest(GbkToWide(verb), GbkToWide(target), secure)) return Leave(fetch_failure::kNoRequest, 6);

  Text user = text::AsText(o_.user), password = text::AsText(o_.password);
  if (!user.empty() && !password.empty() &&
      !t->SetCredentials(platform::AuthTarget::kServer, GbkToWide(user), GbkToWide(password))) {
    return Abandon(fetch_failure::kCredentialsRefused);
  }
  Text proxyUser = text::AsText(o_.proxyUser), proxyPassword = text::AsText(o_.proxyPassword);
  if (!proxyUser.empty() && !proxyPassword.empty() &&
      !t->SetCredentials(platform::AuthTarget::kProxy, GbkToWide(proxyUser), GbkToWide(proxyPassword))) {
    return Abandon(fetch_failure::kCredentialsRefused);
  }
  if (!t->IgnoreCertificateErrors()) return Abandon(fetch_failure::kCertificateOptionRefused);
  if (!t->SetAutomaticCookies(!cookies_.empty())) return Abandon(fetch_failure::kCookieOptionRefused);
  if (o_.noRedirect && !t->DisableRedirects()) return Abandon(fetch_failure::kRedirectOptionRefused);

  if (!t->AddHeaders(GbkToWide(BuildHeaderBlock(o_, cookies_)))) return Leave(fetch_failure::kHeadersRefused, 7);

  std::string_view body = o_.bodyBytes.empty() ? std::string_view(o_.body).substr(0, o_.body.find('\0'))
                                               : std::string_view(o_.bodyBytes);
  if (!t->Send(body)) return Leave(fetch_failure::kSendFailed, 8);
  if (!t->ReceiveResponse()) return Leave(fetch_failure::kNoResponse, 9);

  BodyBuffer received;
  if (std::uint64_t declared = 0; t->QueryContentLength(declared)) received.Expect(declared);
  for (;;) {
    std::size_t ready = 0;
    if (!t->QueryDataAvailable(ready) || ready < 1) break;
    if (ready > kMaxFetchBodyBytes - received.size()) {
      Fail(fetch_failure::kReadFailed);
      break;
    }
    std::size_t read = 0;
    if (!t->ReadData(received.Reserve(ready), ready, read)) {
      Fail(fetch_failure::kReadFailed);
      break;
    }
    received.Commit(std::min(read, ready));
  }

  std::size_t size = 0;
  t->QueryRawHeaders(nullptr, size);
  platform::WideBuffer raw(size, '\0');
  if (!t->QueryRawHeaders(raw.data(), size)) return {};

  Text block = WideToGbk(raw);
  if (o_.responseHeaders) *o_.responseHeaders = block;
  if (o_.statusText) {
    long lineEnd = text::Find(block, kCrLf);
    Text statusLine = lineEnd == text::kNotFound ? block : text::Left(block, lineEnd - 1);
    *o_.statusText = text::Mid(statusLine, 10);
  }
  Text localNewCookies;
  Text& newCookies = o_.newCookies ? *o_.newCookies : localNewCookies;
  newCookies.clear();
  CollectSetCookies(block, newCookies);
  for (const Text& line : text::Split(block, kCrLf)) {
    if (o_.redirectUrl && text::StartsWith(line, "Location: ", true)) *o_.redirectUrl = text::Mid(line, 11);
    PumpEvents();
  }
  if (o_.mergeCookies && o_.cookies && !cookies_.empty()) newCookies = MergeCookies(*o_.cookies, newCookies);

  // The result is the body up to its first zero byte; the character-set step
  // reads all of it.
  Bytes bytes = received.Take();
  Text result;
  const Bytes* all = &bytes;
  if (o_.responseBody) {
    *o_.responseBody = std::move(bytes);
    all = o_.responseBody;
    result = text::AsText(*all);
  } else if (bytes.find('\0') == Bytes::npos) {
    result = std::move(bytes);
    all = &result;
  } else {
    result = text::AsText(bytes);
  }
  ApplyDeclaredCharset(*all, result);
  return result;
}

}  // namespace

Text WinHttpFetch(const Text& url, const FetchOptions& options) {
  Call call(url, options);
  return call.Run();
}

bool IsFetchFailure(std::string_view statusText) {
  for (const char* failure : kFailures) {
    if (statusText == failure) return true;
  }
  return false;
}

}  // namespace corvenhal::http
