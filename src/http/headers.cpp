#include "http/headers.h"

#include <algorithm>
#include <vector>

namespace corvenhal::http {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kItemSeparator = "; ";
// "#引号" in GBK: a marker's way of writing a double quote.
constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";

bool IsLowerAscii(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

Text NormalizeHeaderNames(std::string_view block) {
  std::vector<Text> kept;
  for (Text& line : text::Split(block, kCrLf)) {
    long colon = text::Find(line, ":");
    if (colon == text::kNotFound) continue;
    auto nameLength = static_cast<size_t>(colon - 1);
    for (size_t i = 0; i < nameLength; ++i) {
      bool startsWord = i == 0 || line[i - 1] == '-';
      if (startsWord && IsLowerAscii(line[i])) line[i] = text::ToUpperAscii(line[i]);
    }
    kept.push_back(std::move(line));
  }
  return text::Join(kept, kCrLf);
}

Text HeaderValue(std::string_view block, std::string_view name) {
  for (const Text& line : text::Split(block, kCrLf)) {
    if (!text::StartsWith(line, name)) continue;
    Text marker = Text(name) + ": ";
    long at = text::FindLast(line, marker);
    if (at == text::kNotFound) return {};
    return text::Mid(line, at + static_cast<long>(marker.size()));
  }
  return {};
}

Text TextBefore(std::string_view text, std::string_view marker, long start, bool ignoreCase) {
  long at = text::Find(text, marker, start, ignoreCase);
  if (at == text::kNotFound) return {};
  return text::Left(text, at - 1);
}

Text TextBetween(std::string_view text, std::string_view left, std::string_view right, long start,
                 bool caseSensitive) {
  Text leftMarker = text::ReplaceAll(left, kQuoteMarker, "\"");
  Text rightMarker = text::ReplaceAll(right, kQuoteMarker, "\"");
  long at = text::Find(text, leftMarker, start, !caseSensitive);
  if (at == text::kNotFound) return {};
  long inner = at + static_cast<long>(leftMarker.size());
  long end = text::Find(text, rightMarker, inner, !caseSensitive);
  if (end == text::kNotFound) return {};
  return text::Mid(text, inner, end - inner);
}

void CollectSetCookies(std::string_view rawHeaders, Text& cookies) {
  for (const Text& line : text::Split(rawHeaders, kCrLf)) {
    if (TextBefore(line, ": ") != "Set-Cookie") continue;
    Text pair = text::Contains(line, ";") ? TextBetween(line, "Set-Cookie:", ";")
                                          : text::ReplaceAll(line, "Set-Cookie:", "", true);
    cookies += text::Trim(pair);
    cookies += kItemSeparator;
  }
  if (text::EndsWith(cookies, kItemSeparator)) cookies.resize(cookies.size() - kItemSeparator.size());
}

Text CookieName(std::string_view item) {
  long at = text::Find(item, "=");
  return text::Trim(at == text::kNotFound ? item : item.substr(0, static_cast<size_t>(at - 1)));
}

Text RemoveDuplicateItems(std::string_view text, std::string_view separator) {
  std::vector<Text> unique;
  for (Text& item : text::Split(text, separator)) {
    if (std::find(unique.begin(), unique.end(), item) == unique.end()) unique.push_back(std::move(item));
  }
  return text::Join(unique, separator);
}

Text MergeCookies(Text& sent, std::string_view received) {
  // A last item closed by a bare ";" splits like one followed by "; ".
  auto prepare = [](std::string_view cookies) {
    Text t = text::Trim(cookies);
    if (text::EndsWith(t, ";")) t += ' ';
    return text::Split(t, kItemSeparator);
  };
  std::vector<Text> merged = prepare(received);
  for (Text& item : prepare(sent)) {
    Text name = CookieName(item);
    bool known = std::any_of(merged.begin(), merged.end(), [&](const Text& m) { return CookieName(m) == name; });
    if (!known) merged.push_back(std::move(item));
  }
  std::erase_if(merged, [](const Text& item) { return text::EndsWith(item, "=deleted"); });
  sent = RemoveDuplicateItems(text::Join(merged, kItemSeparator), kItemSeparator);
  return sent;
}

}  // namespace corvenhal::http
