#include "text/text.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace corvenhal::text {
namespace {

// Length of the character that starts at s[i]: 2 for a lead byte followed by
// another byte, else 1.
size_t CharLength(std::string_view s, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

bool MatchesAt(std::string_view s, size_t i, std::string_view needle, bool ignoreCase) {
  if (s.size() - i < needle.size()) return false;
  for (size_t k = 0; k < needle.size(); ++k) {
    char a = s[i + k];
    char b = needle[k];
    if (ignoreCase) {
      a = ToLowerAscii(a);
      b = ToLowerAscii(b);
    }
    if (a != b) return false;
  }
  return true;
}

// Byte index of the character boundary at or after byte index `from`.
size_t BoundaryAtOrAfter(std::string_view s, size_t from) {
  size_t i = 0;
  while (i < from && i < s.size()) i += CharLength(s, i);
  return i;
}

bool IsTrimmedAtFront(std::string_view s, size_t& i) {
  if (i < s.size() && s[i] == ' ') {
    i += 1;
    return true;
  }
  if (i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xA1 && static_cast<unsigned char>(s[i + 1]) == 0xA1) {
    i += 2;
    return true;
  }
  return false;
}

}  // namespace

Text AsText(std::string_view bytes) {
  size_t zero = bytes.find('\0');
  return Text(zero == std::string_view::npos ? bytes : bytes.substr(0, zero));
}

char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

Text ToLowerAscii(std::string_view s) {
  Text out(s);
  for (char& c : out) c = ToLowerAscii(c);
  return out;
}

Text ToUpperAscii(std::string_view s) {
  Text out(s);
  for (char& c : out) c = ToUpperAscii(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchesAt(a, 0, b, true);
}

long Find(std::string_view haystack, std::string_view needle, long start, bool ignoreCase) {
  size_t from = start <= 1 ? 0 : static_cast<size_t>(start - 1);
  if (from > haystack.size()) return kNotFound;
  for (size_t i = BoundaryAtOrAfter(haystack, from); i <= haystack.size(); i += CharLength(haystack, i)) {
    if (MatchesAt(haystack, i, needle, ignoreCase)) return static_cast<long>(i + 1);
    if (i == haystack.size()) break;
  }
  return kNotFound;
}

long FindLast(std::string_view haystack, std::string_view needle, bool ignoreCase) {
  long found = kNotFound;
  for (size_t i = 0; i <= haystack.size(); i += CharLength(haystack, i)) {
    if (MatchesAt(haystack, i, needle, ignoreCase)) found = static_cast<long>(i + 1);
    if (i == haystack.size()) break;
  }
  return found;
}

bool Contains(std::string_view haystack, std::string_view needle, bool ignoreCase) {
  return Find(haystack, needle, 1, ignoreCase) != kNotFound;
}

bool StartsWith(std::string_view s, std::string_view prefix, bool ignoreCase) {
  return s.size() >= prefix.size() && MatchesAt(s, 0, prefix, ignoreCase);
}

bool EndsWith(std::string_view s, std::string_view suffix, bool ignoreCase) {
  return s.size() >= suffix.size() && MatchesAt(s, s.size() - suffix.size(), suffix, ignoreCase);
}

Text ReplaceAll(std::string_view s, std::string_view from, std::string_view to, bool ignoreCase) {
  if (from.empty()) return Text(s);
  Text out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    if (MatchesAt(s, i, from, ignoreCase)) {
      out.append(to);
      i += from.size();
    } else {
      size_t n = CharLength(s, i);
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::vector<Text> Split(std::string_view s, std::string_view separator) {
  std::vector<Text> pieces;
  if (s.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(s);
    return pieces;
  }
  size_t pieceStart = 0;
  size_t i = 0;
  while (i < s.size()) {
    if (MatchesAt(s, i, separator, false)) {
      pieces.emplace_back(s.substr(pieceStart, i - pieceStart));
      i += separator.size();
      pieceStart = i;
    } else {
      i += CharLength(s, i);
    }
  }
  if (pieceStart < s.size()) pieces.emplace_back(s.substr(pieceStart));
  return pieces;
}

Text Join(const std::vector<Text>& pieces, std::string_view separator) {
  Text out;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i) out.append(separator);
    out.append(pieces[i]);
  }
  return out;
}

Text TrimLeft(std::string_view s) {
  size_t i = 0;
  while (IsTrimmedAtFront(s, i)) {
  }
  return Text(s.substr(i));
}

Text TrimRight(std::string_view s) {
  size_t end = s.size();
  for (;;) {
    if (end >= 1 && s[end - 1] == ' ') {
      // A space that is the trail byte of a double-byte character is not a space;
      // GBK trail bytes start at 0x40, so 0x20 is never one.
      end -= 1;
    } else if (end >= 2 && static_cast<unsigned char>(s[end - 1]) == 0xA1 &&
               static_cast<unsigned char>(s[end - 2]) == 0xA1 &&
               BoundaryAtOrAfter(s, end - 2) == end - 2) {
      end -= 2;
    } else {
      break;
    }
  }
  return Text(s.substr(0, end));
}

Text Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

Text Left(std::string_view s, long count) {
  if (count <= 0) return Text();
  return Text(s.substr(0, static_cast<size_t>(count)));
}

Text Right(std::string_view s, long count) {
  if (count <= 0) return Text();
  size_t n = std::min(s.size(), static_cast<size_t>(count));
  return Text(s.substr(s.size() - n));
}

Text Mid(std::string_view s, long start, long count) {
  size_t from = start <= 1 ? 0 : static_cast<size_t>(start - 1);
  if (from >= s.size()) return Text();
  return count < 0 ? Text(s.substr(from)) : Text(s.substr(from, static_cast<size_t>(count)));
}

Text NumberToText(long long value) { return std::to_string(value); }

Text NumberToText(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.13g", value);
  return buffer;
}

long long TextToNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  unsigned long long value = 0;
  constexpr unsigned long long kMax = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    unsigned digit = static_cast<unsigned>(s[i] - '0');
    if (value > (kMax - digit) / 10) {
      value = kMax;  // saturate rather than overflow
      break;
    }
    value = value * 10 + digit;
  }
  return negative ? -static_cast<long long>(value) : static_cast<long long>(value);
}

long long Truncate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2233720368547758e18) return std::numeric_limits<long long>::max();
  if (value <= -9.2233720368547758e18) return std::numeric_limits<long long>::min();
  return static_cast<long long>(value);  // C++ conversion truncates toward zero
}

std::string EscapeUrlBytes(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto b = static_cast<unsigned char>(ch);
    if (b <= 0x20 || b >= 0x7F) {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace corvenhal::text
