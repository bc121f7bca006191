#include "platform/encodings.h"

#include <gtest/gtest.h>

#include <string>

namespace corvenhal::platform {
namespace {

using namespace std::string_literals;

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

struct Case {
  const char* name;
  std::string (*convert)(std::string_view);
  std::string input;
  std::string expected;
};

std::string Gbk936(std::string_view s) { return CodePageBytesToWide(s, 936); }
std::string GbkWide(std::string_view s) { return GbkToWide(s); }
std::string TextWideDefault(std::string_view s) { return CodePageTextToWide(s); }
std::string TextWideGbk(std::string_view s) { return CodePageTextToWide(s, 936); }
std::string WideBytesGbk(std::string_view s) { return WideToCodePageBytes(s, 936); }
std::string WideBytesUtf8(std::string_view s) { return WideToCodePageBytes(s, 65001); }
std::string WideTextDefault(std::string_view s) { return WideToCodePageText(s); }
std::string WideGbk(std::string_view s) { return WideToGbk(s); }
std::string Utf8Gbk(std::string_view s) { return Utf8ToGbk(s); }
std::string UnknownToWide(std::string_view s) { return CodePageBytesToWide(s, 12345); }
std::string WideToUnknown(std::string_view s) { return WideToCodePageBytes(s, 12345); }

TEST(Encodings, TerminatorLengthAndLenientRules) {
  const Case cases[] = {
      // Terminators and lengths.
      {"AB gets a zero unit", GbkWide, "AB", "\x41\0\x42\0\0\0"s},
      {"empty text", GbkWide, "", ""},
      {"leading zero byte counts as empty", Gbk936, "\0AB"s, ""},
      {"stops at the first zero byte", Gbk936, "A\0B"s, "A\0\0\0"s},
      {"one Chinese character", GbkWide, "\xD6\xD0", "\x2D\x4E\0\0"s},
      {"0x80 is the euro sign", GbkWide, "\x80", "\xAC\x20\0\0"s},
      {"text to wide defaults to UTF-8", TextWideDefault, "\xE4\xB8\xAD", "\x2D\x4E\0\0"s},
      {"text to wide with GBK", TextWideGbk, "\xD6\xD0", "\x2D\x4E\0\0"s},
      {"text to wide of empty", TextWideDefault, "", ""},
      {"wide AB without terminator", WideGbk, "\x41\0\x42\0"s, "AB"},
      {"wide stops at the first zero unit", WideGbk, "\x41\0\0\0\x42\0"s, "A"},
      {"wide starting with zero unit", WideBytesGbk, "\0\0\x41\0"s, ""},
      {"wide empty", WideBytesGbk, "", ""},
      {"no trailing zero byte", WideBytesGbk, "\x2D\x4E\0\0"s, "\xD6\xD0"},
      {"wide to UTF-8", WideBytesUtf8, "\x2D\x4E"s, "\xE4\xB8\xAD"},
      {"wide text defaults to GBK", WideTextDefault, "\x2D\x4E"s, "\xD6\xD0"},
      {"odd trailing byte is not a unit", WideGbk, "\x41\0\x42"s, "A"},
      {"euro back to 0x80", WideGbk, "\xAC\x20"s, "\x80"},
      {"UTF-8 to GBK", Utf8Gbk, "\xE4\xB8\xAD", "\xD6\xD0"},
      {"UTF-8 to GBK of empty", Utf8Gbk, "", ""},
      {"UTF-8 stops at zero byte", Utf8Gbk, "a\0b"s, "a"},
      // Characters the target lacks.
      {"emoji GBK lacks", Utf8Gbk, "a\xF0\x9F\x98\x80z", "a?z"},
      {"surrogate pair GBK lacks is one ?", WideGbk, "\x3D\xD8\x00\xDE\x41\0"s, "?A"},
      {"Thai letter GBK lacks", WideGbk, "\x01\x0E"s, "?"},
      // Invalid GBK.
      {"lone lead byte at end", GbkWide, "A\x81", "A\0?\0\0\0"s},
      {"lead byte before an invalid trail", GbkWide, "\x81\x20" "B", "?\0 \0B\0\0\0"s},
      {"lead byte before 0x7F", GbkWide, "\x81\x7F", "?\0\x7F\0\0\0"s},
      {"0xFF", GbkWide, "\xFFZ", "?\0Z\0\0\0"s},
      {"unmapped well-formed pair is one ?", GbkWide, "\xAA\xA1" "B", "?\0B\0\0\0"s},
      // Lone surrogates.
      {"lone high surrogate", WideGbk, "A\0\x00\xD8" "B\0"s, "A?B"},
      {"lone low surrogate", WideGbk, "\x00\xDC" "B\0"s, "?B"},
      {"high surrogate at end", WideGbk, "A\0\x00\xD8"s, "A?"},
      {"two high surrogates", WideBytesUtf8, "\x00\xD8\x00\xD8"s, "??"},
      {"valid pair to UTF-8", WideBytesUtf8, "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
      // Invalid UTF-8: every bad byte is one ?.
      {"truncated sequence at end", Utf8Gbk, "a\xC3", "a?"},
      {"truncated sequence before ASCII", Utf8Gbk, "\xE4\xB8" "A", "??A"},
      {"stray continuation byte", Utf8Gbk, "\x80" "A", "?A"},
      {"overlong slash", Utf8Gbk, "\xC0\xAF", "??"},
      {"encoded surrogate", Utf8Gbk, "\xED\xA0\x80", "???"},
      {"0xFF in UTF-8", Utf8Gbk, "\xFF" "A", "?A"},
      {"beyond U+10FFFF", Utf8Gbk, "\xF4\x90\x80\x80", "????"},
      // A code page the converter does not know converts to nothing.
      {"unknown code page to wide", UnknownToWide, "AB", ""},
      {"wide to unknown code page", WideToUnknown, "A\0"s, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(c.convert(c.input)), Hex(c.expected)) << c.name;
  }
}

TEST(Encodings, EdgeHelpersKeepZerosAndHaveNoTerminator) {
  const std::string gbk = "A\0\xD6\xD0\0"s;
  const std::string utf8 = "A\0\xE4\xB8\xAD\0"s;
  const std::u16string utf16 = u"A\0\u4E2D\0"s;
  EXPECT_EQ(GbkToUtf16(gbk), utf16);
  EXPECT_EQ(Utf16ToGbk(utf16), gbk);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
  EXPECT_EQ(Utf8ToGbkText(utf8), gbk);
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  EXPECT_EQ(GbkToUtf8(""), "");
  EXPECT_EQ(Utf16ToGbk(u""), "");
  // Same lenient rules as the buffer conversions.
  EXPECT_EQ(GbkToUtf8("\x81" " a\xFF"), "? a?");
  EXPECT_EQ(Utf8ToGbkText("\xE4\xB8" "a\xF0\x9F\x98\x80"), "??a?");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x\xDC00"), "?x?");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80\xC3"), u"\U0001F600?");
}

// Every well-formed GBK pair decodes to exactly one unit, and each mapped one
// converts back to itself.
TEST(Encodings, EveryGbkPairIsOneCharacter) {
  std::string all;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      all += static_cast<char>(lead);
      all += static_cast<char>(trail);
    }
  }
  std::u16string units = GbkToUtf16(all);
  ASSERT_EQ(units.size(), all.size() / 2);
  size_t mapped = 0;
  std::string back = Utf16ToGbk(units);
  size_t j = 0;
  for (size_t i = 0; i < units.size() && j < back.size(); ++i) {
    if (units[i] == u'?') {
      EXPECT_EQ(back[j], '?');
      j += 1;
    } else {
      ++mapped;
      EXPECT_EQ(back.substr(j, 2), all.substr(2 * i, 2)) << i;
      j += 2;
    }
  }
  EXPECT_EQ(j, back.size());
  EXPECT_GT(mapped, 21000u);
}

}  // namespace
}  // namespace corvenhal::platform
