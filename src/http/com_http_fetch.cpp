#include "http/com_http_fetch.h"

#include <openssl/evp.h>

#include <climits>

#include "http/headers.h"

namespace corvenhal::http {
namespace {

constexpr char kRequestObject[] = "WinHttp.WinHttpRequest.5.1";
constexpr char kCrLf[] = "\r\n";
constexpr const char* kMethods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kProxySettingProxy = 2;           // HTTPREQUEST_PROXYSETTING_PROXY
constexpr int kOptionSslErrorIgnoreFlags = 4;   // WinHttpRequestOption_SslErrorIgnoreFlags
constexpr int kOptionEnableRedirects = 6;       // WinHttpRequestOption_EnableRedirects
// Untrusted authority, wrong usage, name mismatch and dates.
constexpr int kIgnoreEveryCertificateError = 0x3300;
constexpr long long kDefaultTimeoutMs = 15000;

// A default line is added when its searched text is nowhere in the block.
void AddDefaultHeaders(Text& block, const Text& url, int method) {
  if (!text::Contains(block, "Accept:", true)) block += "\r\nAccept: */*";
  if (!text::Contains(block, "Referer:", true)) block += "\r\nReferer: " + url;
  if (!text::Contains(block, "Accept-Language:", true)) block += "\r\nAccept-Language: zh-cn";
  if (!text::Contains(block, "User-Agent:", true)) {
    block += "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
  }
  if (method == 1 && !text::Contains(block, "Content-Type:", true)) {
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
}

}  // namespace

Text HeaderLineName(const Text& line) {
  long colon = text::Find(line, ":");
  return colon == text::kNotFound ? Text() : text::Trim(text::Left(line, colon - 1));
}

Text HeaderLineValue(const Text& line) {
  long colon = text::Find(line, ":");
  return colon == text::kNotFound ? Text() : text::Trim(text::Mid(line, colon + 1));
}

Text EncodeBase64(const Bytes& bytes) {
  if (bytes.size() > static_cast<size_t>(INT_MAX / 4 * 3)) return Text();
  Text out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

Bytes ComHttpFetch(const Text& url, const ComFetchOptions& o) {
  platform::ComScope com;
  platform::AutomationBridge bridge;

  int method = o.method >= 0 && o.method <= 7 ? o.method : 0;
  const char* verb = kMethods[method];

  platform::AutomationObject request;
  if (o.requestObject) {
    request = *o.requestObject;
  } else if (!bridge.Create(request, kRequestObject)) {
    return Bytes();
  }

  if (o.timeoutSeconds != -1) {
    long long ms = kDefaultTimeoutMs;
    if (o.timeoutSeconds > 0) ms = o.timeoutSeconds > INT_MAX / 1000 ? INT_MAX : o.timeoutSeconds * 1000;
    int t = static_cast<int>(ms);
    bridge.Call(request, "SetTimeouts", t, t, t, t);
  }
  Text proxy = text::AsText(o.proxy);
  if (!proxy.empty()) bridge.Call(request, "SetProxy", kProxySettingProxy, proxy);
  bridge.Call(request, "Open", verb, url, false);
  if (o.noRedirect) bridge.PutAt(request, "Option", kOptionEnableRedirects, 0);
  bridge.PutAt(request, "Option", kOptionSslErrorIgnoreFlags, kIgnoreEveryCertificateError);

  Text block = o.headers ? text::AsText(*o.headers) : Text();
  if (o.addDefaultHeaders) AddDefaultHeaders(block, url, method);
  if (o.normalizeNames) block = NormalizeHeaderNames(block);
  if (o.headers) *o.headers = block;

  Text proxyUser = text::AsText(o.proxyUser);
  if (!proxy.empty() && !proxyUser.empty() && o.proxyAuthMode == 1) {
    bridge.Call(request, "SetRequestHeader", "Proxy-Authorization",
                "Basic " + EncodeBase64(proxyUser + ":" + text::AsText(o.proxyPassword)));
  }

  if (o.cookies) {
    Text& cookies = *o.cookies;
    if (!cookies.empty() && text::Contains(cookies, "Cookie:", true)) {
      cookies = text::ReplaceAll(cookies, "Cookie:", "", true);
    }
    bridge.Call(request, "SetRequestHeader", "Cookie", cookies);
  }

  if (!text::Contains(block, kCrLf)) {
    bridge.Call(request, "SetRequestHeader", HeaderLineName(block), HeaderLineValue(block));
  } else {
    for (const Text& line : text::Split(block, kCrLf)) {
      if (line.empty()) continue;
      Text name = HeaderLineName(line);
      Text value = HeaderLineValue(line);
      // The object keeps its own connection alive.
      if (name == "Connection" && value == "keep-alive") continue;
      bridge.Call(request, "SetRequestHeader", name, value);
    }
  }

  if (!o.bodyBytes.empty()) {
    platform::AutomationVariant body;
    body.AssignBytes(o.bodyBytes);
    bridge.Call(request, "Send", body);
  } else {
    bridge.Call(request, "Send", o.body);
  }

  Bytes result = bridge.GetVariant(request, "ResponseBody").AsBytes();
  Text responseHeaders = bridge.GetText(request, "GetAllResponseHeaders");
  int status = static_cast<int>(text::Truncate(bridge.GetNumber(request, "Status")));
  if (o.responseHeaders) *o.responseHeaders = responseHeaders;
  if (o.status) *o.status = status;

  Text localNewCookies;
  Text& newCookies = o.newCookies ? *o.newCookies : localNewCookies;
  newCookies.clear();
  CollectSetCookies(responseHeaders, newCookies);
  if (o.mergeCookies && o.cookies) newCookies = MergeCookies(*o.cookies, newCookies);

  request.Release();
  return result;
}

}  // namespace corvenhal::http
