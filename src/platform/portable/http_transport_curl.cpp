// The HTTP transport on libcurl's multi interface, behaving as WinHTTP does on
// the wire: HTTP/1.1 only, the request target sent as given, the caller's
// header lines first and in order, redirects followed by the transport itself
// (so that each hop can be checked and only the final response is seen), one
// timeout measured as time without progress, and failures reported by the
// step at which WinHTTP reports them.
#include <curl/curl.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "build_config.h"
#include "platform/http_transport.h"
#include "platform/portable/portable.h"
#include "text/text.h"

namespace corvenhal::platform::portable {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 10;
constexpr long kReceiveBufferBytes = 128 * 1024;
// Body bytes held for the reader before the transfer waits for it.
constexpr size_t kHeldBodyBytes = 1 << 20;
constexpr std::string_view kCrLf = "\r\n";

std::u16string LowerAscii(std::u16string s) {
  for (char16_t& c : s) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return s;
}

std::string Lower(std::string_view s) { return text::ToLowerAscii(s); }

std::string Base64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(std::max(n, 0)));
  return out;
}

// The name of a header line, when it has one, equals `name` (case ignored).
bool HasName(std::string_view line, std::string_view name) {
  return line.size() > name.size() && line[name.size()] == ':' && text::StartsWith(line, name, true);
}

bool CrackUnits(const std::u16string& url, UrlScheme& scheme, std::u16string& host, unsigned& port,
                std::u16string& path, std::u16string& extra) {
  size_t colon = url.find(u"://");
  if (colon == std::u16string::npos) return false;
  std::u16string name = LowerAscii(url.substr(0, colon));
  if (name == u"http") {
    scheme = UrlScheme::kHttp;
    port = 80;
  } else if (name == u"https") {
    scheme = UrlScheme::kHttps;
    port = 443;
  } else {
    return false;
  }
  size_t start = colon + 3;
  size_t end = url.find_first_of(u"/?#", start);
  if (end == std::u16string::npos) end = url.size();
  std::u16string authority = url.substr(start, end - start);
  if (size_t at = authority.rfind(u'@'); at != std::u16string::npos) authority.erase(0, at + 1);
  size_t portColon = std::u16string::npos;
  if (!authority.empty() && authority[0] == u'[') {
    size_t close = authority.find(u']');
    if (close == std::u16string::npos) return false;
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != u':') return false;
      portColon = close + 1;
    }
  } else {
    portColon = authority.rfind(u':');
  }
  if (portColon != std::u16string::npos) {
    std::u16string digits = authority.substr(portColon + 1);
    authority.resize(portColon);
    if (!digits.empty()) {
      unsigned long value = 0;
      for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c - u'0');
        if (value > 65535) return false;
      }
      if (value == 0) return false;
      port = static_cast<unsigned>(value);
    }
  }
  if (authority.empty()) return false;
  host = authority;
  size_t extraAt = url.find_first_of(u"?#", end);
  if (extraAt == std::u16string::npos) extraAt = url.size();
  path = url.substr(end, extraAt - end);
  extra = url.substr(extraAt);
  return true;
}

struct ProxyEntry {
  std::string scheme;  // empty: every scheme
  std::string hostPort;
};

std::vector<ProxyEntry> ParseProxyList(std::string_view list) {
  std::vector<ProxyEntry> entries;
  std::string item;
  auto flush = [&] {
    if (item.empty()) return;
    ProxyEntry e;
    if (size_t eq = item.find('='); eq != std::string::npos) {
      e.scheme = Lower(item.substr(0, eq));
      item.erase(0, eq + 1);
    }
    if (size_t sep = item.find("://"); sep != std::string::npos) item.erase(0, sep + 3);
    while (!item.empty() && item.back() == '/') item.pop_back();
    if (!item.empty()) {
      if (item.find(':') == std::string::npos || item.back() == ']') item += ":80";
      e.hostPort = item;
      entries.push_back(e);
    }
    item.clear();
  };
  for (char c : list) {
    if (c == ';' || c == ' ' || c == '\t') {
      flush();
    } else {
      item.push_back(c);
    }
  }
  flush();
  return entries;
}

std::string UrlHost(const std::string& host) {
  if (host.find(':') != std::string::npos && host.front() != '[') return "[" + host + "]";
  return host;
}

class CurlTransport final : public HttpTransport {
 public:
  ~CurlTransport() override { Close(); }

  bool CheckPlatform() override { return GlobalInit(); }

  bool CrackUrl(const WideBuffer& url, UrlParts& parts) override {
    std::u16string host, path, extra;
    UrlScheme scheme = UrlScheme::kUnknown;
    unsigned port = 0;
    if (!CrackUnits(WideUnits(url), scheme, host, port, path, extra)) return false;
    parts.scheme = scheme;
    parts.host = WideFromUnits(host);
    parts.port = port;
    parts.path = WideFromUnits(path);
    parts.extra = WideFromUnits(extra);
    return true;
  }

  bool OpenSession(const WideBuffer& proxyList) override {
    if (!GlobalInit()) return false;
    multi_ = curl_multi_init();
    easy_ = curl_easy_init();
    if (!multi_ || !easy_) return false;
    proxies_ = ParseProxyList(WideToGbk(proxyList));
    return true;
  }

  bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
    if (!easy_) return false;
    resolveMs_ = resolveMs;
    connectMs_ = connectMs;
    sendMs_ = sendMs;
    receiveMs_ = receiveMs;
    return true;
  }

  bool Connect(const WideBuffer& host, unsigned port) override {
    if (!easy_ || port == 0 || port > 65535) return false;
    host_ = WideToGbk(host);
    if (host_.size() > 2 && host_.front() == '[' && host_.back() == ']') host_ = host_.substr(1, host_.size() - 2);
    if (host_.empty()) return false;
    port_ = port;
    connected_ = true;
    return true;
  }

  bool OpenRequest(const WideBuffer& verb, const WideBuffer& target, bool secure) override {
    if (!connected_) return false;
    verb_ = WideToGbk(verb);
    if (verb_.empty()) verb_ = "GET";
    target_ = text::EscapeUrlBytes(Utf16ToUtf8(WideUnits(target)));
    if (target_.empty()) target_ = "/";
    secure_ = secure;
    requestOpen_ = true;
    return true;
  }

  bool SetCredentials(AuthTarget target, const WideBuffer& user, const WideBuffer& password) override {
    if (!requestOpen_) return false;
    std::string value = "Basic " + Base64(WideToGbk(user) + ":" + WideToGbk(password));
    (target == AuthTarget::kServer ? serverAuthorization_ : proxyAuthorization_) = value;
    return true;
  }

  bool IgnoreCertificateErrors() override {
    if (!requestOpen_) return false;
    ignoreCertificates_ = !build::kVerifyTls;
    return true;
  }

  bool SetAutomaticCookies(bool enabled) override {
    if (!requestOpen_) return false;
    automaticCookies_ = enabled;
    return true;
  }

  bool DisableRedirects() override {
    if (!requestOpen_) return false;
    followRedirects_ = false;
    return true;
  }

  bool AddHeaders(const WideBuffer& block) override {
    if (!requestOpen_) return false;
    std::vector<std::string> lines;
    for (Text& line : text::Split(WideToGbk(block), kCrLf)) {
      if (line.empty()) continue;
      if (line.find_first_of("\r\n") != std::string::npos || line.find(':') == std::string::npos ||
          line.front() == ':') {
        return false;
      }
      lines.push_back(std::move(line));
    }
    headerLines_.insert(headerLines_.end(), lines.begin(), lines.end());
    return true;
  }

  bool Send(std::string_view body) override {
    if (!requestOpen_ || sent_) return false;
    sent_ = true;
    body_.assign(body);
    hop_.secure = secure_;
    hop_.host = host_;
    hop_.port = port_;
    hop_.target = target_;
    hop_.path = target_.substr(0, target_.find_first_of("?#"));
    hop_.verb = verb_;
    // A HEAD request carries no body: its answer has none to end it either.
    hop_.withBody = !body_.empty() && verb_ != "HEAD";
    if (!StartHop()) return false;
    Drive([this] {
      bool uploaded = !hop_.withBody || uploaded_ >= static_cast<curl_off_t>(body_.size());
      return requestStarted_ && (uploaded || !block_.empty());
    });
    if (!done_ || result_ == CURLE_OK || headersDone_ || ProxyAnswered()) return true;
    // Failures before the request went out are failures to send.
    return requestStarted_ && result_ != CURLE_SEND_ERROR;
  }

  bool ReceiveResponse() override {
    if (!sent_ || received_) return false;
    for (;;) {
      Drive([this] { return headersDone_; });
      if (!headersDone_) {
        if (!ProxyAnswered()) return false;
        finalBlock_ = connectBlock_;
        pending_.clear();
        break;
      }
      Hop next;
      if (!NextHop(next)) break;
      if (++redirects_ > kMaxRedirects) {
        Detach(CURLE_TOO_MANY_REDIRECTS);
        return false;
      }
      hop_ = next;
      if (!StartHop()) return false;
    }
    received_ = true;
    return true;
  }

  bool QueryDataAvailable(std::size_t& ready) override {
    ready = 0;
    if (!received_) return false;
    Resume();
    Drive([this] { return pendingOffset_ < pending_.size(); });
    if (pendingOffset_ < pending_.size()) {
      ready = pending_.size() - pendingOffset_;
    } else if (done_ && result_ != CURLE_OK && !finalBlock_.empty() && attachedOnce_ && !ProxyAnswered()) {
      ready = 1;  // the body broke off: its read fails
    }
    return true;
  }

  bool ReadData(char* buffer, std::size_t size, std::size_t& read) override {
    read = 0;
    if (!received_) return false;
    if (pendingOffset_ >= pending_.size()) {
      Resume();
      Drive([this] { return pendingOffset_ < pending_.size(); });
      if (pendingOffset_ >= pending_.size()) return !done_ || result_ == CURLE_OK || ProxyAnswered();
    }
    read = std::min(size, pending_.size() - pendingOffset_);
    std::memcpy(buffer, pending_.data() + pendingOffset_, read);
    pendingOffset_ += read;
    if (pendingOffset_ == pending_.size()) {
      pending_.clear();
      pendingOffset_ = 0;
    }
    return true;
  }

  bool QueryContentLength(std::uint64_t& length) override {
    if (!received_ || finalBlock_.empty()) return false;
    curl_off_t declared = -1;
    if (curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared) != CURLE_OK || declared < 0) {
      return false;
    }
    length = static_cast<std::uint64_t>(declared);
    return true;
  }

  bool QueryRawHeaders(char* buffer, std::size_t& size) override {
    if (!received_ || finalBlock_.empty()) {
      size = 0;
      return false;
    }
    WideBuffer wide = CodePageBytesToWide(finalBlock_, kCodePageGbk);
    if (wide.empty()) wide.assign(2, '\0');
    if (!buffer || size < wide.size()) {
      size = wide.size();
      return false;
    }
    std::memcpy(buffer, wide.data(), wide.size());
    size = wide.size();
    return true;
  }

  void Close() override {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
    if (easy_) curl_easy_cleanup(easy_);
    if (multi_) curl_multi_cleanup(multi_);
    easy_ = nullptr;
    multi_ = nullptr;
    FreeLists();
    requestOpen_ = connected_ = false;
  }

 private:
  struct Hop {
    bool secure = false;
    std::string host;
    unsigned port = 0;
    std::string target;  // as sent to an origin server
    std::string path;    // the target up to its query, for cookie matching
    std::string verb;
    bool withBody = false;
  };

  static bool GlobalInit() {
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
  }

  std::string HostHeader(const Hop& hop) const {
    std::string value = UrlHost(hop.host);
    if (hop.port != (hop.secure ? 443u : 80u)) value += ":" + std::to_string(hop.port);
    return value;
  }

  std::string Origin(const Hop& hop) const {
    return std::string(hop.secure ? "https://" : "http://") + UrlHost(hop.host) + ":" + std::to_string(hop.port);
  }

  const ProxyEntry* ProxyFor(const Hop& hop) const {
    const char* scheme = hop.secure ? "https" : "http";
    for (const ProxyEntry& e : proxies_) {
      if (e.scheme.empty() || e.scheme == scheme) return &e;
    }
    return nullptr;
  }

  bool SameOriginAsFirst(const Hop& hop) const {
    return hop.secure == secure_ && hop.port == port_ && text::EqualsIgnoreCase(hop.host, host_);
  }

  bool BlockHas(std::string_view name) const {
    return std::any_of(headerLines_.begin(), headerLines_.end(), [&](const std::string& l) { return HasName(l, name); });
  }

  void FreeLists() {
    curl_slist_free_all(headers_);
    curl_slist_free_all(proxyHeaders_);
    headers_ = proxyHeaders_ = nullptr;
  }

  bool Append(curl_slist*& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (!grown) return false;
    list = grown;
    return true;
  }

  // The lists libcurl sends: its own Host, Accept, Expect and Content-Type
  // lines are suppressed (entries "Name:" only remove), the caller's lines
  // follow in order (an empty value written "Name;" so that it is sent), then
  // the lines WinHTTP adds.
  bool BuildHeaderLists(const Hop& hop, bool proxied, std::string& cookieValues) {
    FreeLists();
    bool ok = true;
    for (const char* suppressed : {"Host:", "Accept:", "Expect:", "Content-Type:", "Transfer-Encoding:"}) {
      ok = ok && Append(headers_, suppressed);
    }
    bool mergeCookies = automaticCookies_ && redirects_ > 0;
    for (const std::string& line : headerLines_) {
      size_t colon = line.find(':');
      size_t value = line.find_first_not_of(" \t", colon + 1);
      if (mergeCookies && HasName(line, "Cookie")) {
        // One Cookie line with the cookies of earlier hops and the caller's.
        if (value != std::string::npos) {
          if (!cookieValues.empty()) cookieValues += "; ";
          cookieValues += line.substr(value);
        }
        continue;
      }
      ok = ok && Append(headers_, value == std::string::npos ? line.substr(0, colon) + ";" : line);
    }
    if (!BlockHas("Host")) ok = ok && Append(headers_, "Host: " + HostHeader(hop));
    if (hop.withBody && !BlockHas("Content-Length")) {
      ok = ok && Append(headers_, "Content-Length: " + std::to_string(body_.size()));
    }
    if (!BlockHas("Connection")) ok = ok && Append(headers_, "Connection: Keep-Alive");
    if (!serverAuthorization_.empty() && SameOriginAsFirst(hop) && !BlockHas("Authorization")) {
      ok = ok && Append(headers_, "Authorization: " + serverAuthorization_);
    }
    ok = ok && Append(proxyHeaders_, "Proxy-Connection:");
    if (proxied && !proxyAuthorization_.empty()) {
      ok = ok && Append(proxyHeaders_, "Proxy-Authorization: " + proxyAuthorization_);
    }
    return ok;
  }

  bool StartHop() {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
    // A hop that waited for its reader is over: what it still holds is dropped.
    if (paused_) curl_easy_pause(easy_, CURLPAUSE_CONT);
    ResetTransferState();

    const ProxyEntry* proxy = ProxyFor(hop_);
    bool plainProxy = proxy && !hop_.secure;
    std::string cookieValues;
    if (!BuildHeaderLists(hop_, proxy != nullptr, cookieValues)) return false;

    std::string url = Origin(hop_) + text::EscapeUrlBytes(hop_.path.empty() ? "/" : hop_.path);
    std::string target = plainProxy ? Origin(hop_) + hop_.target : hop_.target;
    if (plainProxy && hop_.port == 80) target = "http://" + UrlHost(hop_.host) + hop_.target;

    CURL* e = easy_;
    bool ok = true;
    auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(e, option, value) == CURLE_OK; };
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_REQUEST_TARGET, target.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
    set(CURLOPT_HTTP_TRANSFER_DECODING, 1L);
    set(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    set(CURLOPT_PROXY, proxy ? ("http://" + proxy->hostPort).c_str() : "");
    set(CURLOPT_NOPROXY, "");
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 0L);
    set(CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
    set(CURLOPT_HTTPHEADER, headers_);
    set(CURLOPT_PROXYHEADER, proxyHeaders_);
    set(CURLOPT_SSL_VERIFYPEER, ignoreCertificates_ ? 0L : 1L);
    set(CURLOPT_SSL_VERIFYHOST, ignoreCertificates_ ? 0L : 2L);
    // Resolving and connecting each have the limit; none means no limit.
    long long connectLimit = INT_MAX;
    if (connectMs_ > 0) connectLimit = std::min<long long>(INT_MAX, 0LL + connectMs_ + std::max(resolveMs_, 0));
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectLimit));
    if (automaticCookies_) set(CURLOPT_COOKIEFILE, "");
    set(CURLOPT_COOKIE, cookieValues.empty() ? nullptr : cookieValues.c_str());

    set(CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
    set(CURLOPT_NOBODY, 0L);
    if (hop_.verb == "HEAD") {
      set(CURLOPT_NOBODY, 1L);
    } else if (hop_.withBody) {
      set(CURLOPT_POST, 1L);
      set(CURLOPT_POSTFIELDS, body_.data());
      set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
      if (hop_.verb != "POST") set(CURLOPT_CUSTOMREQUEST, hop_.verb.c_str());
    } else {
      set(CURLOPT_HTTPGET, 1L);
      if (hop_.verb != "GET") set(CURLOPT_CUSTOMREQUEST, hop_.verb.c_str());
    }

    set(CURLOPT_HEADERFUNCTION, &CurlTransport::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &CurlTransport::OnBody);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &CurlTransport::OnProgress);
    set(CURLOPT_XFERINFODATA, this);
    set(CURLOPT_PREREQFUNCTION, &CurlTransport::OnRequestStart);
    set(CURLOPT_PREREQDATA, this);
    if (!ok) return false;
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return false;
    attached_ = attachedOnce_ = true;
    return true;
  }

  void ResetTransferState() {
    paused_ = false;
    done_ = false;
    result_ = CURLE_OK;
    requestStarted_ = false;
    headersDone_ = false;
    uploaded_ = downloaded_ = 0;
    block_.clear();
    blockComplete_ = false;
    finalBlock_.clear();
    connectBlock_.clear();
    pending_.clear();
    pendingOffset_ = 0;
    lastProgress_ = Clock::now();
  }

  // The CONNECT of a tunnel was answered with a refusal (e.g. 407): that
  // answer is the response, as WinHTTP reports it.
  bool ProxyAnswered() const {
    if (!done_ || result_ == CURLE_OK || requestStarted_ || connectBlock_.empty()) return false;
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_HTTP_CONNECTCODE, &code);
    return code >= 300;
  }

  void Detach(CURLcode result) {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
    done_ = true;
    result_ = result;
  }

  int StallLimitMs() const {
    bool uploading = hop_.withBody && uploaded_ < static_cast<curl_off_t>(body_.size()) && !headersDone_;
    return uploading ? sendMs_ : receiveMs_;
  }

  template <typename Enough>
  void Drive(Enough enough) {
    while (attached_ && !done_ && !enough()) {
      int running = 0;
      if (curl_multi_perform(multi_, &running) != CURLM_OK) {
        Detach(CURLE_RECV_ERROR);
        break;
      }
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
          CURLcode result = message->data.result;
          Detach(result);
        }
      }
      if (done_ || enough()) break;
      int waitMs = 200;
      // Before the request starts, libcurl's connect timeout applies.
      if (requestStarted_) {
        int limit = StallLimitMs();
        if (limit > 0) {
          auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastProgress_).count();
          if (silent >= limit) {
            Detach(CURLE_OPERATION_TIMEDOUT);
            break;
          }
          waitMs = static_cast<int>(std::min<long long>(waitMs, limit - silent));
        }
      }
      curl_multi_poll(multi_, nullptr, 0, std::max(waitMs, 1), nullptr);
    }
  }

  // The next hop of a redirect that is to be followed.
  bool NextHop(Hop& next) {
    if (!followRedirects_) return false;
    long status = std::atol(finalBlock_.c_str() + std::min<size_t>(9, finalBlock_.size()));
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return false;
    std::string location;
    for (const Text& line : text::Split(finalBlock_, kCrLf)) {
      if (HasName(line, "Location")) location = text::Trim(line.substr(9));
    }
    if (location.empty()) return false;

    std::string resolved;
    CURLU* u = curl_url();
    std::string base = Origin(hop_) + hop_.target;
    if (curl_url_set(u, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(u, CURLUPART_URL, text::EscapeUrlBytes(location).c_str(), 0) == CURLUE_OK &&
        curl_url_set(u, CURLUPART_FRAGMENT, nullptr, 0) == CURLUE_OK) {
      char* out = nullptr;
      if (curl_url_get(u, CURLUPART_URL, &out, 0) == CURLUE_OK) resolved = out;
      curl_free(out);
    }
    curl_url_cleanup(u);
    if (resolved.empty()) return false;

    std::u16string host, path, extra;
    UrlScheme scheme = UrlScheme::kUnknown;
    unsigned port = 0;
    if (!CrackUnits(Utf8ToUtf16(resolved), scheme, host, port, path, extra)) return false;
    next.secure = scheme == UrlScheme::kHttps;
    if (hop_.secure && !next.secure) return false;  // never from https to http
    next.host = Utf16ToUtf8(host);
    if (next.host.size() > 2 && next.host.front() == '[') next.host = next.host.substr(1, next.host.size() - 2);
    next.port = port;
    next.path = Utf16ToUtf8(path);
    if (next.path.empty()) next.path = "/";
    next.target = next.path + Utf16ToUtf8(extra);
    next.verb = hop_.verb;
    next.withBody = hop_.withBody;
    bool toGet = status == 303 || ((status == 301 || status == 302) && hop_.verb == "POST");
    if (toGet && hop_.verb != "HEAD") {
      next.verb = "GET";
      next.withBody = false;
    }
    return true;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<CurlTransport*>(self);
    size_t total = size * count;
    t->lastProgress_ = Clock::now();
    if (t->headersDone_) return total;  // trailers of a chunked body
    std::string_view line(data, total);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (text::StartsWith(line, "HTTP/") && (t->block_.empty() || t->blockComplete_)) {
      t->block_.clear();
      t->blockComplete_ = false;
    }
    t->block_.append(line);
    t->block_.append(kCrLf);
    if (line.empty()) {
      t->blockComplete_ = true;
      long status = std::atol(t->block_.c_str() + std::min<size_t>(9, t->block_.size()));
      if (!t->requestStarted_) {
        t->connectBlock_ = t->block_;
      } else if (status >= 200 || status == 0) {
        t->finalBlock_ = t->block_;
        t->headersDone_ = true;
      }
    }
    return total;
  }

  // Lets a transfer that waited for the reader go on once its bytes are read.
  void Resume() {
    if (!paused_ || pendingOffset_ < pending_.size() || !attached_) return;
    paused_ = false;
    lastProgress_ = Clock::now();
    curl_easy_pause(easy_, CURLPAUSE_CONT);
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<CurlTransport*>(self);
    size_t total = size * count;
    t->lastProgress_ = Clock::now();
    if (t->pendingOffset_ == t->pending_.size()) {
      t->pending_.clear();
      t->pendingOffset_ = 0;
    }
    if (t->pending_.size() - t->pendingOffset_ >= kHeldBodyBytes) {
      t->paused_ = true;  // libcurl hands these bytes over again when resumed
      return CURL_WRITEFUNC_PAUSE;
    }
    t->pending_.append(data, total);
    return total;
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
    auto* t = static_cast<CurlTransport*>(self);
    if (downloaded != t->downloaded_ || uploaded != t->uploaded_) {
      t->downloaded_ = downloaded;
      t->uploaded_ = uploaded;
      t->lastProgress_ = Clock::now();
    }
    return 0;
  }

  static int OnRequestStart(void* self, char*, char*, int, int) {
    auto* t = static_cast<CurlTransport*>(self);
    t->requestStarted_ = true;
    t->lastProgress_ = Clock::now();
    return CURL_PREREQFUNC_OK;
  }

  // Session.
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  std::vector<ProxyEntry> proxies_;
  int resolveMs_ = 0, connectMs_ = 60000, sendMs_ = 30000, receiveMs_ = 30000;
  // Connection and request.
  bool connected_ = false, requestOpen_ = false;
  std::string host_;
  unsigned port_ = 0;
  std::string verb_, target_;
  bool secure_ = false;
  std::string serverAuthorization_, proxyAuthorization_;
  bool ignoreCertificates_ = false, automaticCookies_ = true, followRedirects_ = true;
  std::vector<std::string> headerLines_;
  std::string body_;
  curl_slist* headers_ = nullptr;
  curl_slist* proxyHeaders_ = nullptr;
  // Transfer.
  Hop hop_;
  int redirects_ = 0;
  bool sent_ = false, received_ = false;
  bool attached_ = false, attachedOnce_ = false, done_ = false, paused_ = false;
  CURLcode result_ = CURLE_OK;
  bool requestStarted_ = false, headersDone_ = false;
  curl_off_t uploaded_ = 0, downloaded_ = 0;
  Clock::time_point lastProgress_ = Clock::now();
  std::string block_;
  bool blockComplete_ = false;
  std::string finalBlock_, connectBlock_;
  std::string pending_;
  size_t pendingOffset_ = 0;
};

class CurlHttp final : public HttpService {
 public:
  std::unique_ptr<HttpTransport> NewTransport() override { return std::make_unique<CurlTransport>(); }
};

}  // namespace

HttpService& Http() {
  static CurlHttp service;
  return service;
}

}  // namespace corvenhal::platform::portable
