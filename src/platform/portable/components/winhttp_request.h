// "WinHttp.WinHttpRequest.5.1" on this build, over the HTTP transport seam:
// "SetTimeouts", "SetProxy", "Open", "Option" (4: certificate errors to
// ignore, 6: redirects), "SetRequestHeader", "Send" (a text body goes out as
// UTF-8, a byte array as it is), "ResponseBody", "GetAllResponseHeaders",
// "GetResponseHeader", "Status" and "StatusText".
//
// On the wire: HTTP/1.1, the headers in the order they were set (setting a
// name again replaces its value in place), then Host, Content-Length and
// Connection: Keep-Alive; only the final response's headers are kept. A
// Basic "Proxy-Authorization" header goes to the proxy only, never to the
// server (not even through a tunnel), and nowhere without a proxy. A
// request that fails reports the failure from "Send" and leaves an empty body,
// empty headers and status 0, which read without failing.
#pragma once

#include <memory>

#include "platform/component.h"

namespace corvenhal::platform {

inline constexpr char kWinHttpRequestProgId[] = "WinHttp.WinHttpRequest.5.1";
inline constexpr char kWinHttpRequestClsid[] = "{2087C2F4-2CEF-4953-A8AB-66779B670495}";

std::shared_ptr<Component> NewWinHttpRequestComponent();

}  // namespace corvenhal::platform
