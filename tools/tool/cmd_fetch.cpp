// fetch: one request through WinHttpFetch, its options mirroring the call's
// parameters; prints the result text and, with --show, chosen outputs.
#include <cstdio>
#include <optional>

#include "http/winhttp_fetch.h"
#include "platform/encodings.h"
#include "tool.h"

namespace corvenhal::tool {
namespace {

constexpr char kUsage[] =
    "usage: fetch URL [--method N] [--body TEXT] [--body-file F] [--cookies TEXT] [--header LINE]... "
    "[--headers-file F] [--no-redirect] [--user U] [--password P] [--proxy HOST:PORT] [--proxy-user U] "
    "[--proxy-password P] [--timeout S] [--no-merge-cookies] [--no-default-headers] [--no-normalize] "
    "[--show status|redirect|cookies|new-cookies|headers|body-size]... [--raw]";

constexpr const char* kShowable[] = {"status", "redirect", "cookies", "new-cookies", "headers", "body-size"};

std::optional<long long> Integer(const std::string& value) {
  size_t i = (!value.empty() && (value[0] == '-' || value[0] == '+')) ? 1 : 0;
  if (i == value.size() || value.size() - i > 12) return std::nullopt;
  for (size_t k = i; k < value.size(); ++k) {
    if (value[k] < '0' || value[k] > '9') return std::nullopt;
  }
  return std::stoll(value);
}

// One output on one line: CR and LF written as \r and \n.
void Show(const std::string& name, std::string_view gbk) {
  std::string line = name + ": ";
  for (char c : platform::GbkToUtf8(gbk)) {
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

int Fetch(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"no-redirect", "no-merge-cookies", "no-default-headers", "no-normalize", "raw"},
                  {"method", "body", "body-file", "cookies", "header", "headers-file", "user", "password", "proxy",
                   "proxy-user", "proxy-password", "timeout", "show"})) {
    return UsageError(args.Error());
  }
  if (args.Positionals().size() != 1) return UsageError(kUsage);

  http::FetchOptions o;
  if (auto method = args.RawValue("method")) {
    auto n = Integer(*method);
    if (!n) return UsageError("--method needs an integer");
    o.method = static_cast<int>(*n);
  }
  if (auto timeout = args.RawValue("timeout")) {
    auto n = Integer(*timeout);
    if (!n) return UsageError("--timeout needs an integer number of seconds");
    o.timeoutSeconds = *n;
  }
  o.body = args.Value("body").value_or("");
  if (auto file = args.RawValue("body-file")) {
    if (!ReadFileBytes(*file, o.bodyBytes)) return UsageError("cannot read " + *file);
  }
  if (args.Has("header") && args.Has("headers-file")) return UsageError("--header and --headers-file exclude each other");
  if (auto file = args.RawValue("headers-file")) {
    if (!ReadFileBytes(*file, o.headers)) return UsageError("cannot read " + *file);
  }
  o.headers += text::Join(args.Values("header"), "\r\n");
  o.noRedirect = args.Has("no-redirect");
  o.user = args.Value("user").value_or("");
  o.password = args.Value("password").value_or("");
  o.proxy = args.Value("proxy").value_or("");
  o.proxyUser = args.Value("proxy-user").value_or("");
  o.proxyPassword = args.Value("proxy-password").value_or("");
  o.mergeCookies = !args.Has("no-merge-cookies");
  o.addDefaultHeaders = !args.Has("no-default-headers");
  o.normalizeNames = !args.Has("no-normalize");

  std::vector<std::string> shows;
  for (const Text& name : args.Values("show")) {
    bool known = false;
    for (const char* s : kShowable) known = known || name == s;
    if (!known) return UsageError("unknown --show " + name + " (status, redirect, cookies, new-cookies, headers, body-size)");
    shows.push_back(name);
  }

  Text cookies = args.Value("cookies").value_or("");
  Text newCookies, responseHeaders, redirectUrl, status;
  Bytes responseBody;
  o.cookies = &cookies;
  o.newCookies = &newCookies;
  o.responseHeaders = &responseHeaders;
  o.redirectUrl = &redirectUrl;
  o.statusText = &status;
  o.responseBody = &responseBody;

  Text result = http::WinHttpFetch(args.Positionals()[0], o);
  PrintText(result, args.Has("raw"));
  for (const std::string& name : shows) {
    if (name == "status") Show(name, status);
    if (name == "redirect") Show(name, redirectUrl);
    if (name == "cookies") Show(name, cookies);
    if (name == "new-cookies") Show(name, newCookies);
    if (name == "headers") Show(name, responseHeaders);
    if (name == "body-size") Show(name, text::NumberToText(static_cast<long long>(responseBody.size())));
  }
  return http::IsFetchFailure(status) ? kFailed : kOk;
}

}  // namespace

CORVENHAL_TOOL_COMMAND("fetch",
                       "fetch URL [--method N] [--body TEXT] [--body-file F] [--cookies TEXT] [--header LINE]... "
                       "[--headers-file F] [--no-redirect] [--user U] [--password P] [--proxy HOST:PORT] "
                       "[--proxy-user U] [--proxy-password P] [--timeout S] [--no-merge-cookies] "
                       "[--no-default-headers] [--no-normalize] [--show NAME]... [--raw]",
                       Fetch);

}  // namespace corvenhal::tool
