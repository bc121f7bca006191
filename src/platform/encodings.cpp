#include "platform/encodings.h"

#include "platform/codepage.h"

namespace corvenhal::platform {
namespace {

std::string_view UpToZeroByte(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

}  // namespace

std::u16string WideUnits(std::string_view wide) {
  std::u16string units;
  units.reserve(wide.size() / 2);
  for (size_t i = 0; i + 1 < wide.size(); i += 2) {
    auto u = static_cast<char16_t>(static_cast<unsigned char>(wide[i]) | (static_cast<unsigned char>(wide[i + 1]) << 8));
    if (u == 0) break;
    units.push_back(u);
  }
  return units;
}

WideBuffer WideFromUnits(std::u16string_view units) {
  WideBuffer out;
  out.reserve(units.size() * 2 + 2);
  for (char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

namespace {

// ASCII reads the same in GBK and UTF-16. The automation bridge converts every
// member name, script and result, most of them short ASCII texts: those skip
// the converter.
bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsAscii(std::u16string_view s) {
  for (char16_t u : s) {
    if (u >= 0x80) return false;
  }
  return true;
}

}  // namespace

WideBuffer CodePageBytesToWide(std::string_view bytes, unsigned codePage) {
  std::string_view counted = UpToZeroByte(bytes);
  if (counted.empty()) return {};
  std::u16string units;
  if (!CodePages().ToUtf16(counted, codePage, units)) return {};
  WideBuffer out = WideFromUnits(units);
  out.append(2, '\0');
  return out;
}

WideBuffer GbkToWide(std::string_view text) { return CodePageBytesToWide(text, kCodePageGbk); }

WideBuffer CodePageTextToWide(std::string_view text, unsigned codePage) {
  return CodePageBytesToWide(text, codePage);
}

Bytes WideToCodePageBytes(std::string_view wide, unsigned codePage) {
  std::u16string units = WideUnits(wide);
  if (units.empty()) return {};
  Bytes out;
  if (!CodePages().FromUtf16(units, codePage, out)) return {};
  return Bytes(UpToZeroByte(out));
}

Text WideToCodePageText(std::string_view wide, unsigned codePage) {
  return Text(UpToZeroByte(WideToCodePageBytes(wide, codePage)));
}

Text WideToGbk(std::string_view wide) { return WideToCodePageText(wide, kCodePageGbk); }

Text Utf8ToGbk(std::string_view utf8) { return WideToGbk(CodePageTextToWide(utf8, kCodePageUtf8)); }

// A long text that is mostly ASCII (a manifest, a service answer) has its
// ASCII runs widened directly and only the stretches holding other bytes sent
// through the converter. A stretch never ends between a lead byte and the byte
// after it, and the converter keeps no state between characters, so the
// result is the same as converting the whole text at once.
std::u16string GbkToUtf16(std::string_view gbk) {
  if (IsAscii(gbk)) return std::u16string(gbk.begin(), gbk.end());
  constexpr size_t kShortGap = 64;  // ASCII runs this short stay inside a stretch
  auto ascii = [&](size_t i) { return static_cast<unsigned char>(gbk[i]) < 0x80; };
  std::u16string out;
  out.reserve(gbk.size());
  std::u16string part;
  const size_t n = gbk.size();
  size_t i = 0;
  while (i < n) {
    size_t start = i;
    while (i < n && ascii(i)) ++i;
    out.append(gbk.begin() + static_cast<std::ptrdiff_t>(start), gbk.begin() + static_cast<std::ptrdiff_t>(i));
    if (i >= n) break;
    start = i;
    while (i < n) {
      if (!ascii(i)) {
        i += text::IsLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < n ? 2 : 1;
        continue;
      }
      size_t gap = i;
      while (gap < n && ascii(gap) && gap - i < kShortGap) ++gap;
      if (gap >= n || ascii(gap)) break;
      i = gap;
    }
    CodePages().ToUtf16(gbk.substr(start, i - start), kCodePageGbk, part);
    out += part;
  }
  return out;
}

Text Utf16ToGbk(std::u16string_view utf16) {
  if (IsAscii(utf16)) return Text(utf16.begin(), utf16.end());
  Text out;
  CodePages().FromUtf16(utf16, kCodePageGbk, out);
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  CodePages().FromUtf16(GbkToUtf16(gbk), kCodePageUtf8, out);
  return out;
}

Text Utf8ToGbkText(std::string_view utf8) { return Utf16ToGbk(Utf8ToUtf16(utf8)); }

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  CodePages().ToUtf16(utf8, kCodePageUtf8, out);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  CodePages().FromUtf16(utf16, kCodePageUtf8, out);
  return out;
}

}  // namespace corvenhal::platform
