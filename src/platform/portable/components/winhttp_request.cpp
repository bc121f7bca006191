#include "platform/portable/components/winhttp_request.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/encodings.h"
#include "platform/http_transport.h"
#include "platform/services.h"

namespace corvenhal::platform {
namespace {

using Code = InvokeStatus::Code;

constexpr std::int32_t kProxySettingDirect = 1;
constexpr std::int32_t kProxySettingProxy = 2;
constexpr std::int32_t kOptionSslErrorIgnoreFlags = 4;
constexpr std::int32_t kOptionEnableRedirects = 6;
// A body beyond this is cut off and the request counts as failed.
constexpr std::size_t kMaxBodyBytes = std::size_t{1} << 30;
constexpr std::size_t kReadChunkBytes = 64 * 1024;

bool HasLineBreak(std::u16string_view s) { return s.find_first_of(u"\r\n") != std::u16string_view::npos; }

// The user and password of a Basic authorisation value ("Basic " and the
// Base64 of user:password, in the system code page).
bool DecodeBasic(std::u16string_view value, WideBuffer& user, WideBuffer& password) {
  constexpr std::u16string_view kBasic = u"Basic ";
  if (value.size() < kBasic.size() || !SameMember(value.substr(0, kBasic.size()), kBasic)) return false;
  std::string encoded;
  for (char16_t c : value.substr(kBasic.size())) {
    if (c > 0x7F) return false;
    encoded.push_back(static_cast<char>(c));
  }
  if (encoded.empty() || encoded.size() % 4 != 0) return false;
  std::string decoded(encoded.size() / 4 * 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                          reinterpret_cast<const unsigned char*>(encoded.data()), static_cast<int>(encoded.size()));
  if (n < 0) return false;
  size_t padding = encoded.size() - encoded.find_last_not_of('=') - 1;
  if (padding > 2) return false;
  decoded.resize(static_cast<size_t>(n) - padding);
  size_t colon = decoded.find(':');
  if (colon == std::string::npos) return false;
  user = CodePageBytesToWide(decoded.substr(0, colon), kCodePageGbk);
  password = CodePageBytesToWide(decoded.substr(colon + 1), kCodePageGbk);
  return true;
}

InvokeStatus Fail(const char* why) { return InvokeStatus::Fail(Code::kException, why); }

InvokeStatus Read(const std::vector<ComValue>& args, ComValue& result, ComValue value) {
  if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
  result = std::move(value);
  return InvokeStatus::Ok();
}

// The header lines of a raw block: every line after the status line, each
// ending in CR LF, then the empty line that ends the block.
std::u16string HeaderLines(const std::u16string& raw) {
  size_t firstEnd = raw.find(u"\r\n");
  if (firstEnd == std::u16string::npos) return {};
  std::u16string lines = raw.substr(firstEnd + 2);
  if (lines.empty()) lines = u"\r\n";
  return lines;
}

class WinHttpRequestComponent final : public Component {
 public:
  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    bool method = kind == InvokeKind::kMethod;
    bool get = kind == InvokeKind::kPropertyGet;
    if (SameMember(member, u"SetTimeouts")) return method ? SetTimeouts(args) : NotThatKind();
    if (SameMember(member, u"SetProxy")) return method ? SetProxy(args) : NotThatKind();
    if (SameMember(member, u"Open")) return method ? Open(args) : NotThatKind();
    if (SameMember(member, u"Option")) return method ? NotThatKind() : Option(kind, args, result);
    if (SameMember(member, u"SetRequestHeader")) return method ? SetRequestHeader(args) : NotThatKind();
    if (SameMember(member, u"Send")) return method ? Send(args) : NotThatKind();
    if (SameMember(member, u"ResponseBody")) return get ? Read(args, result, ComValue::Blob(body_)) : NotThatKind();
    if (SameMember(member, u"GetAllResponseHeaders")) {
      return method ? Read(args, result, ComValue::Str(HeaderLines(rawHeaders_))) : NotThatKind();
    }
    if (SameMember(member, u"GetResponseHeader")) return method ? GetResponseHeader(args, result) : NotThatKind();
    if (SameMember(member, u"Status")) return get ? Read(args, result, ComValue::I4(status_)) : NotThatKind();
    if (SameMember(member, u"StatusText")) return get ? Read(args, result, ComValue::Str(statusText_)) : NotThatKind();
    return InvokeStatus::Fail(Code::kUnknownName);
  }

 private:
  static InvokeStatus NotThatKind() { return InvokeStatus::Fail(Code::kMemberNotFound); }

  InvokeStatus SetTimeouts(std::vector<ComValue>& args) {
    if (args.size() != 4) return InvokeStatus::Fail(Code::kBadParamCount);
    std::int32_t ms[4];
    for (int i = 0; i < 4; ++i) {
      if (InvokeStatus st = ArgInt(args[static_cast<size_t>(i)], ms[i]); !st.ok()) return st;
      if (ms[i] < -1) return Fail("invalid timeout");
    }
    resolveMs_ = ms[0];
    connectMs_ = ms[1];
    sendMs_ = ms[2];
    receiveMs_ = ms[3];
    return InvokeStatus::Ok();
  }

  // SetProxy(setting, [server], [bypass list]): 2 names the proxy, 0 and 1
  // connect directly (this build has no system proxy setting).
  InvokeStatus SetProxy(std::vector<ComValue>& args) {
    if (args.empty() || args.size() > 3) return InvokeStatus::Fail(Code::kBadParamCount);
    std::int32_t setting;
    if (InvokeStatus st = ArgInt(args[0], setting); !st.ok()) return st;
    if (setting == kProxySettingProxy) {
      std::u16string server;
      if (args.size() > 1) {
        if (InvokeStatus st = ArgText(args[1], server); !st.ok()) return st;
      }
      proxy_ = server;
      return InvokeStatus::Ok();
    }
    if (setting < 0 || setting > kProxySettingDirect) return Fail("invalid proxy setting");
    proxy_.clear();
    return InvokeStatus::Ok();
  }

  // Open(verb, url, [async]): a new request; the response of the last one is
  // forgotten. Only synchronous requests are made.
  InvokeStatus Open(std::vector<ComValue>& args) {
    if (args.size() < 2 || args.size() > 3) return InvokeStatus::Fail(Code::kBadParamCount);
    std::u16string verb, url;
    if (InvokeStatus st = ArgText(args[0], verb); !st.ok()) return st;
    if (InvokeStatus st = ArgText(args[1], url); !st.ok()) return st;
    if (args.size() == 3 && args[2].type != ComValue::Type::kEmpty) {
      bool async;
      if (InvokeStatus st = ArgBool(args[2], async); !st.ok()) return st;
    }
    ClearResponse();
    opened_ = false;
    headers_.clear();
    if (verb.empty() || HasLineBreak(verb) || verb.find(u' ') != std::u16string::npos) return Fail("invalid verb");
    std::unique_ptr<HttpTransport> probe = NewTransport();
    UrlParts parts;
    if (!probe || !probe->CrackUrl(WideFromUnits(url), parts) || parts.scheme == UrlScheme::kUnknown) {
      return Fail("the URL is invalid");
    }
    verb_ = verb;
    url_ = parts;
    opened_ = true;
    return InvokeStatus::Ok();
  }

  InvokeStatus Option(InvokeKind kind, std::vector<ComValue>& args, ComValue& result) {
    bool put = kind == InvokeKind::kPropertyPut;
    if (args.size() != (put ? 2u : 1u)) return InvokeStatus::Fail(Code::kBadParamCount);
    std::int32_t index;
    if (InvokeStatus st = ArgInt(args[0], index); !st.ok()) return st;
    if (index == kOptionSslErrorIgnoreFlags) {
      if (!put) {
        result = ComValue::I4(sslErrorIgnoreFlags_);
        return InvokeStatus::Ok();
      }
      return ArgInt(args[1], sslErrorIgnoreFlags_);
    }
    if (index == kOptionEnableRedirects) {
      if (!put) {
        result = ComValue::Bool(enableRedirects_);
        return InvokeStatus::Ok();
      }
      return ArgBool(args[1], enableRedirects_);
    }
    return InvokeStatus::Fail(Code::kNotImplemented, "option not supported");
  }

  InvokeStatus SetRequestHeader(std::vector<ComValue>& args) {
    if (args.size() != 2) return InvokeStatus::Fail(Code::kBadParamCount);
    std::u16string name, value;
    if (InvokeStatus st = ArgText(args[0], name); !st.ok()) return st;
    if (InvokeStatus st = ArgText(args[1], value); !st.ok()) return st;
    if (!opened_) return Fail("Open has not been called");
    // A name or value that would end the line or start another header is
    // refused, so no caller text can add lines of its own.
    if (name.empty() || name.find_first_of(u": \t\r\n") != std::u16string::npos || HasLineBreak(value)) {
      return Fail("invalid header");
    }
    for (auto& header : headers_) {
      if (SameMember(header.first, name)) {
        header.second = value;
        return InvokeStatus::Ok();
      }
    }
    headers_.emplace_back(std::move(name), std::move(value));
    return InvokeStatus::Ok();
  }

  InvokeStatus Send(std::vector<ComValue>& args) {
    if (args.size() > 1) return InvokeStatus::Fail(Code::kBadParamCount);
    Bytes body;
    if (!args.empty()) {
      const ComValue& v = args[0];
      if (v.type == ComValue::Type::kBytes) {
        body = v.bytes;
      } else if (v.type != ComValue::Type::kEmpty && v.type != ComValue::Type::kNull) {
        std::u16string textBody;
        if (InvokeStatus st = ArgText(v, textBody); !st.ok()) return st;
        body = Utf16ToUtf8(textBody);
      }
    }
    if (!opened_) return Fail("Open has not been called");
    ClearResponse();
    const char* failure = Perform(body);
    if (failure) {
      ClearResponse();
      return Fail(failure);
    }
    return InvokeStatus::Ok();
  }

  InvokeStatus GetResponseHeader(std::vector<ComValue>& args, ComValue& result) {
    if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
    std::u16string name;
    if (InvokeStatus st = ArgText(args[0], name); !st.ok()) return st;
    std::u16string lines = HeaderLines(rawHeaders_);
    size_t start = 0;
    while (start < lines.size()) {
      size_t end = lines.find(u"\r\n", start);
      if (end == std::u16string::npos) end = lines.size();
      std::u16string_view line(lines.data() + start, end - start);
      size_t colon = line.find(u':');
      if (colon != std::u16string_view::npos && SameMember(line.substr(0, colon), name)) {
        std::u16string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == u' ' || value.front() == u'\t')) value.remove_prefix(1);
        result = ComValue::Str(std::u16string(value));
        return InvokeStatus::Ok();
      }
      start = end + 2;
    }
    return Fail("the header was not found");
  }

  static std::unique_ptr<HttpTransport> NewTransport() {
    HttpService* service = Current().http;
    return service ? service->NewTransport() : nullptr;
  }

  // Runs the request; null on success, else the step that failed.
  const char* Perform(const Bytes& body) {
    std::unique_ptr<HttpTransport> t = NewTransport();
    if (!t || !t->CheckPlatform()) return "requests cannot be made";
    if (!t->OpenSession(WideFromUnits(proxy_))) return "the session could not be opened";
    if (!t->SetTimeouts(resolveMs_, connectMs_, sendMs_, receiveMs_)) return "the timeouts were refused";
    if (!t->Connect(url_.host, url_.port)) return "the server could not be reached";
    WideBuffer target = url_.path.empty() ? WideFromUnits(u"/") + url_.extra : url_.path + url_.extra;
    if (!t->OpenRequest(WideFromUnits(verb_), target, url_.scheme == UrlScheme::kHttps)) return "the request could not be opened";
    if (sslErrorIgnoreFlags_ != 0 && !t->IgnoreCertificateErrors()) return "the certificate option was refused";
    if (!enableRedirects_ && !t->DisableRedirects()) return "the redirect option was refused";
    std::u16string block;
    for (const auto& [name, value] : headers_) {
      if (SameMember(name, u"Proxy-Authorization")) {
        // Proxy credentials are for the proxy alone: they go out with the
        // requests to the proxy (the CONNECT of a tunnel included) and never
        // to the server, and nowhere when no proxy is set.
        WideBuffer user, password;
        if (!proxy_.empty() && DecodeBasic(value, user, password) &&
            !t->SetCredentials(AuthTarget::kProxy, user, password)) {
          return "the proxy credentials were refused";
        }
        continue;
      }
      if (!block.empty()) block += u"\r\n";
      block += name + u": " + value;
    }
    if (!block.empty() && !t->AddHeaders(WideFromUnits(block))) return "the headers were refused";
    if (!t->Send(body)) return "the request could not be sent";
    if (!t->ReceiveResponse()) return "no response was received";
    Bytes received;
    for (;;) {
      std::size_t ready = 0;
      if (!t->QueryDataAvailable(ready)) return "the response could not be read";
      if (ready == 0) break;
      std::size_t want = std::min(ready, kReadChunkBytes);
      if (received.size() + want > kMaxBodyBytes) return "the response is too large";
      std::size_t at = received.size();
      received.resize(at + want);
      std::size_t read = 0;
      if (!t->ReadData(received.data() + at, want, read)) return "the response broke off";
      received.resize(at + std::min(read, want));
    }
    std::size_t size = 0;
    t->QueryRawHeaders(nullptr, size);
    WideBuffer raw(size, '\0');
    if (!t->QueryRawHeaders(raw.data(), size)) return "the response headers could not be read";
    t->Close();
    rawHeaders_ = WideUnits(raw);
    std::u16string statusLine = rawHeaders_.substr(0, rawHeaders_.find(u"\r\n"));
    // "HTTP/1.1 200 OK": the code after the first space, the reason after the
    // second.
    size_t space = statusLine.find(u' ');
    std::int32_t code = 0;
    if (space != std::u16string::npos) {
      for (size_t i = space + 1; i < statusLine.size() && statusLine[i] >= u'0' && statusLine[i] <= u'9'; ++i) {
        code = code * 10 + (statusLine[i] - u'0');
        if (code > 999) break;
      }
      size_t reason = statusLine.find(u' ', space + 1);
      if (reason != std::u16string::npos) statusText_ = statusLine.substr(reason + 1);
    }
    status_ = code;
    body_ = std::move(received);
    return nullptr;
  }

  void ClearResponse() {
    body_.clear();
    rawHeaders_.clear();
    statusText_.clear();
    status_ = 0;
  }

  // Object settings, kept across requests.
  std::int32_t resolveMs_ = 0, connectMs_ = 60000, sendMs_ = 30000, receiveMs_ = 30000;
  std::u16string proxy_;
  std::int32_t sslErrorIgnoreFlags_ = 0;
  bool enableRedirects_ = true;
  // The opened request.
  bool opened_ = false;
  std::u16string verb_;
  UrlParts url_;
  std::vector<std::pair<std::u16string, std::u16string>> headers_;
  // The response.
  Bytes body_;
  std::u16string rawHeaders_;
  std::u16string statusText_;
  std::int32_t status_ = 0;
};

}  // namespace

std::shared_ptr<Component> NewWinHttpRequestComponent() { return std::make_shared<WinHttpRequestComponent>(); }

}  // namespace corvenhal::platform
