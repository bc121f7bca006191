#include "text/text.h"

#include <gtest/gtest.h>

namespace corvenhal::text {
namespace {

// "中" in GBK is D6 D0. Characters whose trail byte is in the ASCII range are
// where byte-wise searching goes wrong: 0x81 0x41 is one character whose
// second byte reads as "A".
const std::string kZhong = "\xD6\xD0";
const std::string kLeadA = "\x81" "A";

TEST(TextSearch, FindsOnlyAtCharacterBoundaries) {
  struct Case {
    std::string haystack, needle;
    long start;
    bool ignoreCase;
    long expected;
  };
  const Case cases[] = {
      {"abcabc", "c", 1, false, 3},
      {"abcabc", "c", 4, false, 6},
      {"abcabc", "c", 0, false, 3},   // 0 or less counts as 1
      {"abcabc", "c", -5, false, 3},
      {"abcabc", "x", 1, false, kNotFound},
      {"abc", "c", 4, false, kNotFound},
      {"abc", "", 4, false, 4},       // empty needle just past the end
      {"abc", "", 5, false, kNotFound},
      {kLeadA + "A", "A", 1, false, 3},  // the trail byte is not a match
      {kLeadA, "A", 1, false, kNotFound},
      {"x" + kLeadA + "A", "A", 3, false, 4},  // a start inside a character moves to the next boundary
      {"HeLLo", "ll", 1, true, 3},
      {"HeLLo", "ll", 1, false, kNotFound},
      {"\xC4\xE3" "a", "\xE4" "a", 1, true, kNotFound},  // only ASCII letters fold; no match on a trail byte
      {kZhong + "abc", "ABC", 1, true, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.haystack, c.needle, c.start, c.ignoreCase), c.expected)
        << "'" << c.haystack << "' / '" << c.needle << "' from " << c.start;
  }
  EXPECT_EQ(FindLast("a=b=c", "="), 4);
  EXPECT_EQ(FindLast(kLeadA + "A", "A"), 3);
  EXPECT_EQ(FindLast("abc", "x"), kNotFound);
}

TEST(TextCase, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("Set-Cookie", "set-COOKIE"));
  EXPECT_FALSE(EqualsIgnoreCase("\xC1", "\xE1"));  // Latin-1 style letters are not folded
  EXPECT_EQ(ToUpperAscii("ab" + kZhong + "z"), "AB" + kZhong + "Z");
  EXPECT_EQ(ToLowerAscii("X-\x81" "A"), "x-\x81" "a");  // ToLower works byte-wise on purpose
}

TEST(TextReplace, ReplacesEveryOccurrenceWithoutOverlap) {
  EXPECT_EQ(ReplaceAll("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll(kLeadA + "A", "A", "-"), kLeadA + "-");
  EXPECT_EQ(ReplaceAll("Set-Cookie: x", "set-cookie:", "", true), " x");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(TextSplit, KeepsEmptyPiecesButNotAfterTrailingSeparator) {
  struct Case {
    std::string text, separator;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"a; ; b", "; ", {"a", "", "b"}},
      {"a; b; ", "; ", {"a", "b"}},
      {"; a", "; ", {"", "a"}},
      {"a;;b", ";", {"a", "", "b"}},
      {"", ";", {}},
      {";", ";", {""}},
      {"abc", ";", {"abc"}},
      {"x\r\n\r\ny\r\n", "\r\n", {"x", "", "y"}},
      {kLeadA + "A" + "A", "A", {kLeadA, ""}},  // the trail byte never splits
  };
  for (const auto& c : cases) EXPECT_EQ(Split(c.text, c.separator), c.pieces) << c.text;
  EXPECT_EQ(Join({"a", "", "b"}, "; "), "a; ; b");
}

TEST(TextTrim, RemovesSpacesAndFullWidthSpacesOnly) {
  const std::string full = "\xA1\xA1";
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim(full + " a" + full), "a");
  EXPECT_EQ(Trim("\ta\r\n"), "\ta\r\n");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(TrimRight("x\xA1\xA1"), "x");
  // B0 A1 is one character followed by a lone A1: nothing is a full-width space.
  EXPECT_EQ(TrimRight("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
}

TEST(TextCut, CountsBytesAndClamps) {
  EXPECT_EQ(Left("abcdef", 2), "ab");
  EXPECT_EQ(Left("ab", 5), "ab");
  EXPECT_EQ(Left("ab", -1), "");
  EXPECT_EQ(Right("abcdef", 2), "ef");
  EXPECT_EQ(Right("ab", 5), "ab");
  EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Mid("abcdef", 5), "ef");
  EXPECT_EQ(Mid("abcdef", 0, 2), "ab");
  EXPECT_EQ(Mid("abc", 4), "");
  EXPECT_EQ(Left(kZhong, 1), "\xD6");  // cutting counts bytes, even inside a character
}

TEST(TextNumbers, ConvertBothWays) {
  EXPECT_EQ(NumberToText(-42LL), "-42");
  EXPECT_EQ(NumberToText(0.5), "0.5");
  EXPECT_EQ(NumberToText(1.0 / 3.0), "0.3333333333333");
  EXPECT_EQ(NumberToText(1e20), "1e+20");
  struct Case {
    std::string text;
    long long value;
  };
  const Case cases[] = {{"123abc", 123}, {"  -7", -7}, {"+5", 5}, {"abc", 0}, {"", 0}, {"1.9", 1},
                        {"99999999999999999999999", 9223372036854775807LL}};
  for (const auto& c : cases) EXPECT_EQ(TextToNumber(c.text), c.value) << c.text;
  EXPECT_EQ(Truncate(2.9), 2);
  EXPECT_EQ(Truncate(-2.9), -2);
  EXPECT_EQ(AsText(std::string("ab\0cd", 5)), "ab");
}

TEST(TextUrl, EscapesControlsSpaceAndHighBytesOnly) {
  EXPECT_EQ(EscapeUrlBytes(std::string("/a b?c=%7e&d\x7F\xE4\xB8\xAD\t\0", 18)), "/a%20b?c=%7e&d%7F%E4%B8%AD%09%00");
}

}  // namespace
}  // namespace corvenhal::text
