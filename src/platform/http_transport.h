// The HTTP transport: the steps of one request as WinHTTP offers them, each of
// which can fail on its own, so that a caller can tell which step failed.
//
// One HttpTransport object holds the session, connection and request of one
// request. The steps run in this order: CheckPlatform, CrackUrl, OpenSession,
// SetTimeouts, Connect, OpenRequest, SetCredentials, IgnoreCertificateErrors,
// SetAutomaticCookies, DisableRedirects, AddHeaders, Send, ReceiveResponse,
// QueryDataAvailable/ReadData until the body ends, QueryRawHeaders, Close.
// Texts cross as UTF-16LE buffers (platform/encodings.h), as WinHTTP takes
// them. None of the blocking steps pumps window events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/encodings.h"

namespace corvenhal::platform {

// Scheme numbers as the URL split gives them.
enum class UrlScheme { kUnknown = 0, kHttp = 1, kHttps = 2 };

// A URL split into its parts, each UTF-16LE without a terminator.
struct UrlParts {
  UrlScheme scheme = UrlScheme::kUnknown;
  WideBuffer host;
  unsigned port = 0;   // the one the URL names, else the scheme's
  WideBuffer path;     // from the "/" that begins it; empty when the URL has none
  WideBuffer extra;    // "?" or "#" and everything after it
};

enum class AuthTarget { kServer = 0, kProxy = 1 };

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;

  // True when requests can be made at all.
  virtual bool CheckPlatform() = 0;
  // Splits an absolute http or https URL; any other URL fails.
  virtual bool CrackUrl(const WideBuffer& url, UrlParts& parts) = 0;
  // `proxyList` empty: connect directly. Otherwise entries "[scheme=]host:port"
  // separated by ";" or spaces; an entry that names a scheme serves requests
  // of that scheme only, and https requests are tunnelled with CONNECT.
  virtual bool OpenSession(const WideBuffer& proxyList) = 0;
  // Milliseconds of no progress after which resolving, connecting, sending or
  // receiving ends the request; 0 or less means no limit.
  virtual bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
  virtual bool Connect(const WideBuffer& host, unsigned port) = 0;
  // `target` is sent exactly as given (characters a request line cannot hold
  // are percent-escaped).
  virtual bool OpenRequest(const WideBuffer& verb, const WideBuffer& target, bool secure) = 0;
  // Basic credentials, sent with the first request.
  virtual bool SetCredentials(AuthTarget target, const WideBuffer& user, const WideBuffer& password) = 0;
  // Accepts certificates that are self-signed, expired, for another name or
  // for another use (unless the build verifies every certificate).
  virtual bool IgnoreCertificateErrors() = 0;
  // Automatic cookie handling: on by default; when on, cookies set by one
  // response of the request (a redirect hop) go out with the next.
  virtual bool SetAutomaticCookies(bool enabled) = 0;
  // Without this, redirects are followed (at most 10, never from https to http).
  virtual bool DisableRedirects() = 0;
  // CRLF-separated header lines, sent in their order ahead of Host,
  // Content-Length (with a body) and Connection: Keep-Alive. A line without a
  // colon, or with a lone CR or LF, fails.
  virtual bool AddHeaders(const WideBuffer& block) = 0;
  // Connects and sends the request with `body`. A failed name lookup, a
  // refused connection or a failed TLS handshake fail here.
  virtual bool Send(std::string_view body) = 0;
  // Waits for the header block of the final response. A connection closed,
  // or silent for too long, before it arrived fails here.
  virtual bool ReceiveResponse() = 0;
  // Waits until body bytes are ready and gives their count, 0 at the end of
  // the body. A body that broke off reports bytes ready whose read fails.
  virtual bool QueryDataAvailable(std::size_t& ready) = 0;
  virtual bool ReadData(char* buffer, std::size_t size, std::size_t& read) = 0;
  // The body length the final response declares, as a hint for the room to
  // keep for it (the body may still end sooner or go on longer); false when
  // it declares none.
  virtual bool QueryContentLength(std::uint64_t& length) {
    (void)length;
    return false;
  }
  // The raw header block of the final response as UTF-16LE with a terminating
  // zero unit: status line and header lines, each ending in CRLF, then an
  // empty line. With no buffer, or `size` (bytes) too small, it fails and sets
  // `size` to the bytes needed.
  virtual bool QueryRawHeaders(char* buffer, std::size_t& size) = 0;
  // Closes the request, the connection and the session; closing what was
  // never opened does nothing.
  virtual void Close() = 0;
};

// Makes the transports of requests.
class HttpService {
 public:
  virtual ~HttpService() = default;
  virtual std::unique_ptr<HttpTransport> NewTransport() = 0;
};

}  // namespace corvenhal::platform
