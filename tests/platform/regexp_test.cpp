#include <gtest/gtest.h>

#include "platform/automation.h"

namespace corvenhal::platform {
namespace {

struct Options {
  bool ignoreCase = false;
  bool global = true;
  bool multiline = false;
};

// Runs "Execute" and writes each match as "FirstIndex+Length:Value" followed by
// "|group" for each capture group ("|-" for one that took no part).
std::vector<std::string> Execute(std::u16string pattern, std::u16string subject, Options o = {}) {
  AutomationBridge bridge;
  AutomationObject re;
  EXPECT_TRUE(bridge.Create(re, "VBScript.RegExp"));
  EXPECT_TRUE(bridge.Put(re, "IgnoreCase", o.ignoreCase));
  EXPECT_TRUE(bridge.Put(re, "Global", o.global));
  EXPECT_TRUE(bridge.Put(re, "Multiline", o.multiline));
  std::vector<ComValue> args{ComValue::Str(std::move(pattern))};
  ComValue ignored;
  EXPECT_TRUE(bridge.Invoke(re, "Pattern", InvokeKind::kPropertyPut, args, ignored));
  AutomationVariant s{ComValue::Str(std::move(subject))};
  AutomationObject matches = bridge.CallObject(re, "Execute", s);
  if (matches.IsEmpty()) return {"failed"};
  std::vector<std::string> out;
  double count = bridge.GetNumber(matches, "Count");
  for (int i = 0; i < count; ++i) {
    AutomationObject m = bridge.GetObject(matches, "Item", i);
    std::string line = std::to_string(static_cast<int>(bridge.GetNumber(m, "FirstIndex"))) + "+" +
                       std::to_string(static_cast<int>(bridge.GetNumber(m, "Length"))) + ":" +
                       bridge.GetText(m, "Value");
    AutomationObject groups = bridge.GetObject(m, "SubMatches");
    double n = bridge.GetNumber(groups, "Count");
    for (int g = 0; g < n; ++g) {
      AutomationVariant v = bridge.GetVariant(groups, "Item", g);
      line += "|" + (v.IsEmpty() ? std::string("-") : v.AsText());
    }
    out.push_back(line);
  }
  return out;
}

using Lines = std::vector<std::string>;

TEST(RegExpComponent, MatchesLikeTheWindowsObject) {
  struct Case {
    const char* what;
    std::u16string pattern;
    std::u16string subject;
    Options options;
    Lines expected;
  };
  const Options caseless{.ignoreCase = true};
  const Options first{.global = false};
  const Options lines{.multiline = true};
  const Case cases[] = {
      {"digits", u"\\d", u"a1b22", {}, {"1+1:1", "3+1:2", "4+1:2"}},
      {"first only without Global", u"\\d", u"a1b22", first, {"1+1:1"}},
      {"nothing found", u"z", u"abc", {}, {}},
      {"case counts", u"a", u"A", {}, {}},
      {"case ignored", u"a", u"A", caseless, {"0+1:A"}},
      {"charset, quoted", u"<meta.+?charset=[^\\w]?([-\\w]+)", u"<meta content=\"text/html; charset=\"utf-8\">",
       caseless, {"0+40:<meta content=\"text/html; charset=\"utf-8|utf-8"}},
      {"charset keeps the page's case", u"<meta.+?charset=[^\\w]?([-\\w]+)",
       u"<META http-equiv=x content=\"text/html; charset=UTF-8\">", caseless,
       {"0+52:<META http-equiv=x content=\"text/html; charset=UTF-8|UTF-8"}},
      {"digits of a number", u"\\d", u"1.79699364343956E+16",
       {}, {"0+1:1", "2+1:7", "3+1:9", "4+1:6", "5+1:9", "6+1:9", "7+1:3", "8+1:6", "9+1:4", "10+1:3", "11+1:4",
            "12+1:3", "13+1:9", "14+1:5", "15+1:6", "18+1:1", "19+1:6"}},
      {"unset group is empty", u"(a)|(b)", u"b", {}, {"0+1:b|-|b"}},
      {"backreference to an unset group matches empty", u"(a)?\\1b", u"b", {}, {"0+1:b|-"}},
      {"\\u escape", u"\\u0041", u"xA", {}, {"1+1:A"}},
      {"empty class never matches", u"a[]", u"a[]", {}, {}},
      {"negated empty class matches anything", u"a[^]", u"a\n", {}, {"0+2:a\n"}},
      {"dot stops at LF", u"a.", u"a\nab", {}, {"2+2:ab"}},
      {"$ is the end only", u"a$", u"a\n", {}, {}},
      {"^ after LF and CR LF with Multiline", u"^\\w", u"a\nb\r\nc", lines, {"0+1:a", "2+1:b", "5+1:c"}},
      {"^ is the start only without Multiline", u"^\\w", u"a\nb", {}, {"0+1:a"}},
      {"$ before LF with Multiline", u"\\w$", u"a\nb", lines, {"0+1:a", "2+1:b"}},
      {"empty matches step on", u"x*", u"ab", {}, {"0+0:", "1+0:", "2+0:"}},
      {"empty match then a longer one", u"a*", u"baa", {}, {"0+0:", "1+2:aa", "3+0:"}},
      {"units are counted, lone surrogates allowed", u"\xDC00" u"b", u"\xD83D\xDE00\xDC00" u"b", {}, {"2+2:?b"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Execute(c.pattern, c.subject, c.options), c.expected) << c.what;
  }
}

TEST(RegExpComponent, FailuresOfPatternAndMembers) {
  EXPECT_EQ(Execute(u"(", u"abc"), Lines{"failed"});
  EXPECT_EQ(Execute(u"a{2,1}", u"abc"), Lines{"failed"});
  // A search that needs more backtracking than allowed fails instead of hanging.
  EXPECT_EQ(Execute(u"(a+)+$", std::u16string(40, u'a') + u"b"), Lines{"failed"});

  AutomationBridge bridge;
  AutomationObject re;
  ASSERT_TRUE(bridge.Create(re, "VBScript.RegExp"));
  EXPECT_FALSE(bridge.Put(re, "Singleline", true));
  EXPECT_NE(bridge.LastFailure().find("unknown name"), Text::npos);
  EXPECT_TRUE(bridge.Put(re, "Pattern", "(\\d)(x)?"));
  EXPECT_EQ(bridge.GetText(re, "pattern"), "(\\d)(x)?");
  EXPECT_FALSE(bridge.GetBoolean(re, "Global"));  // the defaults are off
  EXPECT_FALSE(bridge.GetBoolean(re, "IgnoreCase"));
  EXPECT_FALSE(bridge.GetBoolean(re, "Multiline"));
  AutomationObject matches = bridge.CallObject(re, "Execute", "a1");
  ASSERT_FALSE(matches.IsEmpty());
  EXPECT_EQ(bridge.GetNumber(matches, "Count"), 1);
  EXPECT_TRUE(bridge.GetObject(matches, "Item", 1).IsEmpty());
  EXPECT_TRUE(bridge.GetObject(matches, "Item", -1).IsEmpty());
  AutomationObject m = bridge.GetObject(matches, "Item", 0);
  EXPECT_EQ(bridge.GetText(m, "Value"), "1");
  EXPECT_EQ(bridge.CallText(matches, "Item", 0), "1");  // a match reads as its value
  AutomationObject groups = bridge.GetObject(m, "SubMatches");
  EXPECT_EQ(bridge.GetText(groups, "Item", 2), "");
  EXPECT_FALSE(bridge.LastFailure().empty());
  EXPECT_FALSE(bridge.Call(re, "Execute")) << "Execute takes one argument";
}

TEST(RegExpComponent, TestAndReplace) {
  AutomationBridge bridge;
  AutomationObject re;
  ASSERT_TRUE(bridge.Create(re, "VBScript.RegExp"));
  ASSERT_TRUE(bridge.Put(re, "Pattern", "(\\w)(\\d)?"));
  EXPECT_TRUE(bridge.CallBoolean(re, "Test", "-a-"));
  EXPECT_FALSE(bridge.CallBoolean(re, "Test", "---"));
  struct Case {
    bool global;
    const char* subject;
    const char* replacement;
    const char* expected;
  };
  const Case cases[] = {
      {false, "a1 b2", "[$2$1]", "[1a] b2"},
      {true, "a1 b2", "[$2$1]", "[1a] [2b]"},
      {true, "a1 b", "<$2>", "<1> <>"},  // an unset group gives nothing
      {true, "x", "$$ $& $0 $3 $", "$ x $0 $3 $"},
      {true, "-a-", "[$`|$']", "-[-|-]-"},
      {true, "a1", "$01$10", "aa0"},  // $10 is no group here: $1 then 0
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(bridge.Put(re, "Global", c.global));
    EXPECT_EQ(bridge.CallText(re, "Replace", c.subject, c.replacement), c.expected) << c.subject << " " << c.replacement;
  }
  ASSERT_TRUE(bridge.Put(re, "Pattern", "("));
  EXPECT_FALSE(bridge.CallBoolean(re, "Test", "a"));
  EXPECT_FALSE(bridge.LastFailure().empty());
  EXPECT_EQ(bridge.CallText(re, "Replace", "a", "b"), "");
}

}  // namespace
}  // namespace corvenhal::platform
