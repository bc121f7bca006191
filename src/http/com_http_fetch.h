// ComHttpFetch: one HTTP or HTTPS request through the "WinHttp.WinHttpRequest.5.1"
// automation object, giving the response body as bytes.
//
// Certificate errors are always ignored; redirects are followed unless
// forbidden; one timeout (15 seconds unless given) covers every phase. There
// are no failure texts: a request that fails gives an empty body, empty
// response headers and status 0; an HTTP error status is no failure. When the
// request object cannot be made, the body is empty and no output is written.
#pragma once

#include "platform/automation.h"
#include "text/text.h"

namespace corvenhal::http {

// The optional parameters, in their order. Inputs left out act as empty or
// zero, except `proxyAuthMode` (1) and the three switches at the end (true).
// The pointers are the caller's variables: null leaves the parameter out, and
// for `cookies` and `requestObject` whether one is supplied at all changes
// what the request does.
struct ComFetchOptions {
  int method = 0;              // index into the method table; outside 0..7 it is GET
  Text body;                   // sent as text when `bodyBytes` is empty
  Text* cookies = nullptr;     // in/out: sent as the Cookie header (also when empty), then merged
  Text* newCookies = nullptr;  // out: the pairs of the response's Set-Cookie lines
  Text* headers = nullptr;     // in/out: the request header block; receives the block as sent
  Text* responseHeaders = nullptr;  // out: the response header lines
  int* status = nullptr;            // out: the HTTP status code, 0 when the request failed
  bool noRedirect = false;
  Bytes bodyBytes;  // wins over `body` when not empty
  Text proxy;       // host:port
  long long timeoutSeconds = 0;  // -1: the object's own timeouts; 0 or less otherwise: 15 seconds
  Text proxyUser;
  Text proxyPassword;
  int proxyAuthMode = 1;  // 1: a Basic Proxy-Authorization header; anything else: none
  const platform::AutomationObject* requestObject = nullptr;  // an existing request object to drive
  bool mergeCookies = true;
  bool addDefaultHeaders = true;
  bool normalizeNames = true;
};

Bytes ComHttpFetch(const Text& url, const ComFetchOptions& options = {});

// The text before a header line's first colon, trimmed; empty without a colon.
Text HeaderLineName(const Text& line);
// The text after a header line's first colon, trimmed; empty without a colon.
Text HeaderLineValue(const Text& line);
// Standard Base64 (with its "=" padding, no line breaks) of the bytes.
Text EncodeBase64(const Bytes& bytes);

}  // namespace corvenhal::http
