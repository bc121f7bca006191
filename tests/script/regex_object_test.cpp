#include "script/regex_object.h"

#include <gtest/gtest.h>

#include <optional>

namespace corvenhal::script {
namespace {

using namespace std::string_literals;

constexpr char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";
const Text kQuote = "#\xD2\xFD\xBA\xC5";  // #引号

struct SearchCase {
  const char* what;
  Text pattern;
  Text subject;
  bool caseSensitive = false;
  bool multiLine = true;
  bool global = true;
  bool quoteMarker = false;
  // Expected: nullopt when the search gives false; else the match texts.
  std::optional<std::vector<Text>> matches;
};

TEST(RegexObject, SearchText) {
  const SearchCase cases[] = {
      {"digits", "\\d", "a1b22", false, true, true, false, {{"1", "2", "2"}}},
      {"nothing found", "z", "a1b22", false, true, true, false, {{}}},
      {"a lone parenthesis", "(", "a(b", false, true, true, false, std::nullopt},
      {"case ignored by default", "a", "xAy", false, true, true, false, {{"A"}}},
      {"case-sensitive", "a", "xAy", true, true, true, false, {{}}},
      {"quote marker", kQuote + "x" + kQuote, "say \"x\" " + kQuote + "x" + kQuote, false, true, true, true,
       {{"\"x\""}}},
      {"no quote marker", kQuote + "x" + kQuote, "say \"x\" " + kQuote + "x" + kQuote, false, true, true, false,
       {{kQuote + "x" + kQuote}}},
      {"multi-line by default", "^\\d", "1\r\n2\n3", false, true, true, false, {{"1", "2", "3"}}},
      {"single line", "^\\d", "1\r\n2\n3", false, false, true, false, {{"1"}}},
      {"first match only", "\\d", "a1b22", false, true, false, false, {{"1"}}},
      {"GBK text crosses whole", "\xD6\xD0\\d", "\xCE\xC4\xD6\xD0" "7", false, true, true, false,
       {{"\xD6\xD0" "7"}}},
      {"the subject ends at its first zero byte", "\\d", "1\0" "2"s, false, true, true, false, {{"1"}}},
  };
  for (const SearchCase& c : cases) {
    RegexObject regex;
    bool ran = regex.SearchText(c.pattern, c.subject, c.caseSensitive, c.multiLine, c.global, c.quoteMarker);
    EXPECT_EQ(ran, c.matches.has_value()) << c.what;
    std::vector<Text> found;
    for (long i = 1; i <= regex.MatchCount(); ++i) found.push_back(regex.MatchText(i));
    EXPECT_EQ(found, c.matches.value_or(std::vector<Text>{})) << c.what;
    // Indexes outside the matches give empty text.
    for (long i : {0L, -1L, regex.MatchCount() + 1}) {
      EXPECT_EQ(regex.MatchText(i), "") << c.what << " " << i;
      EXPECT_EQ(regex.MatchBytes(i), "") << c.what << " " << i;
    }
    if (!ran) {
      EXPECT_EQ(regex.SubmatchCount(), 0) << c.what;
    }
  }
}

TEST(RegexObject, CharsetOfAPage) {
  for (const char* head : {"<html><head><meta charset=utf-8></head>",
                           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
                           "<META CONTENT='text/html; charset=\"utf-8\"'>", "<meta charset=\"utf-8\" />"}) {
    RegexObject regex;
    ASSERT_TRUE(regex.SearchText(kCharsetPattern, head)) << head;
    EXPECT_EQ(regex.SubmatchText(1, 1), "utf-8") << head;
    EXPECT_EQ(regex.SubmatchCount(), 1) << head;
    EXPECT_EQ(regex.SubmatchText(1, 2), "") << head;
    EXPECT_EQ(regex.SubmatchText(2, 1), "") << head;
    EXPECT_EQ(regex.SubmatchText(1, 0), "") << head;
  }
  RegexObject none;
  ASSERT_TRUE(none.SearchText(kCharsetPattern, "<html><head><title>x</title></head>"));
  EXPECT_EQ(none.SubmatchText(1, 1), "");
  EXPECT_EQ(none.SubmatchCount(), 0);
}

TEST(RegexObject, GroupsPatternAndReplacement) {
  RegexObject regex;
  EXPECT_EQ(regex.PatternText(), "");  // before any search
  EXPECT_EQ(regex.ReplaceText("x"), "");
  EXPECT_EQ(regex.ReplaceBytes("x"), "");
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.SubmatchCount(), 0);

  const Text quoted = kQuote + "(\\w)(\\d)?" + kQuote;
  ASSERT_TRUE(regex.SearchText(quoted, "\"a1\" \"b\"", false, true, true, true));
  EXPECT_EQ(regex.PatternText(), "\"(\\w)(\\d)?\"");
  EXPECT_EQ(regex.MatchCount(), 2);
  EXPECT_EQ(regex.SubmatchCount(), 2);
  EXPECT_EQ(regex.SubmatchText(1, 1), "a");
  EXPECT_EQ(regex.SubmatchText(1, 2), "1");
  EXPECT_EQ(regex.SubmatchText(2, 2), "");  // took no part in the match
  EXPECT_EQ(regex.SubmatchBytes(1, 1), "a\0"s);
  EXPECT_EQ(regex.ReplaceText("<$1$2>"), "<a1> <b>");

  // A second search forgets the first: pattern, options, subject and matches.
  ASSERT_TRUE(regex.SearchText("X", "xX", true, true, false));
  EXPECT_EQ(regex.PatternText(), "X");
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_EQ(regex.MatchText(1), "X");
  EXPECT_EQ(regex.SubmatchCount(), 0);
  EXPECT_EQ(regex.ReplaceText("-"), "x-");

  // A failed search leaves no matches behind.
  EXPECT_FALSE(regex.SearchText("(", "xX"));
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1), "");
}

TEST(RegexObject, SearchBytesCountsUtf16Units) {
  RegexObject regex;
  // "a1", a lone high surrogate, "2" as UTF-16LE byte pairs.
  const Bytes subject = "a\0" "1\0" "\x00\xD8" "2\0"s;
  ASSERT_TRUE(regex.SearchBytes("\\d", subject));
  EXPECT_EQ(regex.MatchCount(), 2);
  EXPECT_EQ(regex.MatchBytes(1), "1\0"s);
  EXPECT_EQ(regex.MatchText(2), "2");
  EXPECT_EQ(regex.ReplaceBytes("[\0$\0&\0]\0"s), "a\0[\0" "1\0]\0\x00\xD8[\0" "2\0]\0"s);
  EXPECT_EQ(regex.ReplaceText("#"), "a#?#");  // the lone surrogate has no GBK form

  ASSERT_TRUE(regex.SearchBytes(".", "\x00\xD8\x00\xDC"s, true, true, true));
  EXPECT_EQ(regex.MatchCount(), 2);  // a surrogate pair is two units
}

TEST(RegexObject, PairsComInitialisation) {
  long depth = platform::ComInitializeDepth();
  {
    RegexObject regex;
    EXPECT_EQ(platform::ComInitializeDepth(), depth + 1);
    regex.SearchText("\\d", "1");
  }
  EXPECT_EQ(platform::ComInitializeDepth(), depth);
}

}  // namespace
}  // namespace corvenhal::script
