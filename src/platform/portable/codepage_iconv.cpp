// Code-page conversion on glibc iconv. iconv stops at the first byte it cannot
// convert; we put "?" there, step over the offending input and carry on, which
// gives the lenient behaviour of the Windows converters.
#include <cerrno>
#include <iconv.h>

#include <string>

#include "platform/codepage.h"

namespace corvenhal::platform {
namespace {

// iconv's name for a Windows code page. 0 is the ANSI code page, GBK here;
// glibc's CP936 follows the Windows table (0x80 is the euro sign).
std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case 0:
    case 936:
      return "CP936";
    case 65001:
      return "UTF-8";
    case 20127:
      return "ASCII";
    case 1200:
      return "UTF-16LE";
    case 1201:
      return "UTF-16BE";
    case 10000:
      return "MACINTOSH";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 20932:
    case 51932:
      return "EUC-JP";
    case 50220:
    case 50221:
    case 50222:
      return "ISO-2022-JP";
    case 50225:
      return "ISO-2022-KR";
    case 54936:
      return "GB18030";
    case 65000:
      return "UTF-7";
    default:
      if (codePage >= 28591 && codePage <= 28606) return "ISO-8859-" + std::to_string(codePage - 28590);
      return "CP" + std::to_string(codePage);
  }
}

bool IsGbk(unsigned codePage) { return codePage == 0 || codePage == 936; }

class Iconv {
 public:
  Iconv(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`, appending to `out`. `skip(position)` says how many
  // input bytes to step over when the input at `position` cannot be
  // converted; `replacement` is written in its place.
  template <typename Skip>
  void Run(std::string_view in, std::string_view replacement, Skip skip, std::string& out) {
    size_t pos = 0;
    char buffer[4096];
    while (pos < in.size()) {
      char* inPtr = const_cast<char*>(in.data() + pos);
      size_t inLeft = in.size() - pos;
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      int error = errno;
      out.append(buffer, static_cast<size_t>(outPtr - buffer));
      pos = in.size() - inLeft;
      if (r != static_cast<size_t>(-1)) break;
      if (error == E2BIG) continue;
      // EILSEQ (invalid or unmappable) or EINVAL (incomplete at the end).
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      out.append(replacement);
      size_t n = skip(pos);
      pos += n < 1 ? 1 : n;
    }
  }

 private:
  iconv_t cd_;
};

class IconvConverter final : public CodePageConverter {
 public:
  bool ToUtf16(std::string_view bytes, unsigned codePage, std::u16string& out) override {
    out.clear();
    Iconv cd("UTF-16LE", IconvName(codePage));
    if (!cd.ok()) return false;
    bool gbk = IsGbk(codePage);
    std::string le;
    cd.Run(bytes, std::string_view("?\0", 2),
           [&](size_t at) -> size_t {
             // A UTF-16 unit that does not convert (a lone surrogate) is two
             // bytes.
             if (codePage == 1200 || codePage == 1201) return 2;
             // A well-formed GBK pair that has no mapping is one character.
             if (gbk && at + 1 < bytes.size()) {
               auto lead = static_cast<unsigned char>(bytes[at]);
               auto trail = static_cast<unsigned char>(bytes[at + 1]);
               if (lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) return 2;
             }
             return 1;
           },
           le);
    out.reserve(le.size() / 2);
    for (size_t i = 0; i + 1 < le.size(); i += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(le[i]) |
                                          (static_cast<unsigned char>(le[i + 1]) << 8)));
    }
    return true;
  }

  bool FromUtf16(std::u16string_view units, unsigned codePage, std::string& out) override {
    out.clear();
    Iconv cd(IconvName(codePage), "UTF-16LE");
    if (!cd.ok()) return false;
    std::string le;
    le.reserve(units.size() * 2);
    for (char16_t u : units) {
      le.push_back(static_cast<char>(u & 0xFF));
      le.push_back(static_cast<char>(u >> 8));
    }
    cd.Run(le, "?",
           [&](size_t at) -> size_t {
             // A whole surrogate pair is one character; a lone surrogate is
             // one unit.
             size_t i = at / 2;
             if (i + 1 < units.size() && units[i] >= 0xD800 && units[i] <= 0xDBFF && units[i + 1] >= 0xDC00 &&
                 units[i + 1] <= 0xDFFF) {
               return 4;
             }
             return 2;
           },
           out);
    return true;
  }
};

}  // namespace

CodePageConverter& CodePages() {
  static IconvConverter converter;
  return converter;
}

}  // namespace corvenhal::platform
