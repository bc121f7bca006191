// WinHttpFetch: one HTTP or HTTPS request, made synchronously through the
// platform's HTTP transport, giving the response body as text.
//
// The program's own callers pass the URL alone: a GET with the default header
// lines, redirects followed, certificate errors ignored, a 30-second timeout,
// and the body as text (re-decoded when the page declares another character
// set), or empty text when anything fails. A caller that supplies
// `statusText` can tell a failure from a response by its first three
// characters (700 to 713, outside the HTTP status codes; the certificate text
// alone has no number).
#pragma once

#include <string_view>

#include "text/text.h"

namespace corvenhal::http {

// The optional parameters, in their order. Inputs left out act as empty or
// zero, the three switches at the end as true. Outputs are the caller's
// variables, written only where the call says; null leaves them out.
struct FetchOptions {
  int method = 0;              // index into the method table: GET POST HEAD PUT OPTIONS DELETE TRACE CONNECT
  Text body;                   // sent as its bytes when `bodyBytes` is empty
  Text* cookies = nullptr;     // in/out: cookies to send; after the response, the merged list
  Text* newCookies = nullptr;  // out: the pairs of the response's Set-Cookie lines
  Text headers;                // extra request header lines separated by CRLF
  Text* responseHeaders = nullptr;  // out: the raw response header block
  bool noRedirect = false;
  Text user;
  Text password;
  Text proxy;  // host:port
  Text proxyUser;
  Text proxyPassword;
  long long timeoutSeconds = 0;   // one timeout for every phase; 0 or less: 30 seconds
  Text* redirectUrl = nullptr;    // out: the value of a Location line of the response
  Text* statusText = nullptr;     // out: "200 OK" and the like, or a failure text
  Bytes* responseBody = nullptr;  // out: the body bytes as received
  bool mergeCookies = true;
  bool addDefaultHeaders = true;
  Bytes bodyBytes;  // wins over `body` when not empty
  bool normalizeNames = true;
};

Text WinHttpFetch(const Text& url, const FetchOptions& options = {});

// The failure texts written to `statusText`, in the order of the steps.
namespace fetch_failure {
// 700 当前系统不支持WinHttp服务!
inline constexpr char kNoPlatform[] =
    "700 \xB5\xB1\xC7\xB0\xCF\xB5\xCD\xB3\xB2\xBB\xD6\xA7\xB3\xD6WinHttp\xB7\xFE\xCE\xF1!";
// 701 解析URL地址失败!
inline constexpr char kBadUrl[] = "701 \xBD\xE2\xCE\xF6URL\xB5\xD8\xD6\xB7\xCA\xA7\xB0\xDC!";
// 702 创建WinHttp会话失败!
inline constexpr char kNoSession[] = "702 \xB4\xB4\xBD\xA8WinHttp\xBB\xE1\xBB\xB0\xCA\xA7\xB0\xDC!";
// 705 设置超时时间失败!
inline constexpr char kTimeoutsRefused[] = "705 \xC9\xE8\xD6\xC3\xB3\xAC\xCA\xB1\xCA\xB1\xBC\xE4\xCA\xA7\xB0\xDC!";
// 703 创建WinHttp连接失败!
inline constexpr char kNoConnection[] = "703 \xB4\xB4\xBD\xA8WinHttp\xC1\xAC\xBD\xD3\xCA\xA7\xB0\xDC!";
// 704 创建WinHttp请求失败!
inline constexpr char kNoRequest[] = "704 \xB4\xB4\xBD\xA8WinHttp\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!";
// 707 设置代理凭证失败!
inline constexpr char kCredentialsRefused[] = "707 \xC9\xE8\xD6\xC3\xB4\xFA\xC0\xED\xC6\xBE\xD6\xA4\xCA\xA7\xB0\xDC!";
// 忽略错误/证书错误  失败！
inline constexpr char kCertificateOptionRefused[] =
    "\xBA\xF6\xC2\xD4\xB4\xED\xCE\xF3/\xD6\xA4\xCA\xE9\xB4\xED\xCE\xF3  \xCA\xA7\xB0\xDC\xA3\xA1";
// 708 禁止自动设置Cookies失败!
inline constexpr char kCookieOptionRefused[] =
    "708 \xBD\xFB\xD6\xB9\xD7\xD4\xB6\xAF\xC9\xE8\xD6\xC3"
    "Cookies\xCA\xA7\xB0\xDC!";
// 709 重定向设置失败!
inline constexpr char kRedirectOptionRefused[] = "709 \xD6\xD8\xB6\xA8\xCF\xF2\xC9\xE8\xD6\xC3\xCA\xA7\xB0\xDC!";
// 710 设置协议头失败!
inline constexpr char kHeadersRefused[] = "710 \xC9\xE8\xD6\xC3\xD0\xAD\xD2\xE9\xCD\xB7\xCA\xA7\xB0\xDC!";
// 711 发送请求失败!
inline constexpr char kSendFailed[] = "711 \xB7\xA2\xCB\xCD\xC7\xEB\xC7\xF3\xCA\xA7\xB0\xDC!";
// 712 服务器未响应!
inline constexpr char kNoResponse[] = "712 \xB7\xFE\xCE\xF1\xC6\xF7\xCE\xB4\xCF\xEC\xD3\xA6!";
// 713 读取数据失败!
inline constexpr char kReadFailed[] = "713 \xB6\xC1\xC8\xA1\xCA\xFD\xBE\xDD\xCA\xA7\xB0\xDC!";
}  // namespace fetch_failure

// True when `statusText` is one of the failure texts above.
bool IsFetchFailure(std::string_view statusText);

// Bodies longer than this end with the read failure instead of exhausting
// memory; the bytes read so far are kept.
inline constexpr std::size_t kMaxFetchBodyBytes = std::size_t{1} << 30;

}  // namespace corvenhal::http
