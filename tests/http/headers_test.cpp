#include "http/headers.h"

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace corvenhal::http {
namespace {

struct Case {
  const char* what;
  std::function<Text()> run;
  Text expected;
};

// MergeCookies gives the merged list and also leaves it in the sent text.
Text Merge(Text sent, const Text& received) {
  Text merged = MergeCookies(sent, received);
  return merged == sent ? merged : "sent text differs: " + sent;
}

Text Collect(const Text& block, Text cookies) {
  CollectSetCookies(block, cookies);
  return cookies;
}

TEST(HeaderRules, Table) {
  const Case cases[] = {
      {"normalize drops lines without colon, keeps spacing",
       [] { return NormalizeHeaderNames("content-type: a-b\r\nx\r\naccept:text/html"); },
       "Content-Type: a-b\r\nAccept:text/html"},
      {"normalize empty block", [] { return NormalizeHeaderNames(""); }, ""},
      {"normalize lone CRLF", [] { return NormalizeHeaderNames("\r\n"); }, ""},
      {"normalize removes the final CRLF", [] { return NormalizeHeaderNames("a: 1\r\n"); }, "A: 1"},
      {"normalize after each hyphen", [] { return NormalizeHeaderNames("x-forwarded-for: 1"); }, "X-Forwarded-For: 1"},
      {"normalize double hyphen", [] { return NormalizeHeaderNames("X--y: 1"); }, "X--Y: 1"},
      {"normalize trailing hyphen", [] { return NormalizeHeaderNames("x-: 1"); }, "X-: 1"},
      {"normalize keeps other letters and the value", [] { return NormalizeHeaderNames("CONTENT-type: a-b-c"); },
       "CONTENT-Type: a-b-c"},
      {"normalize leaves a leading space and a GBK first byte",
       [] { return NormalizeHeaderNames(" x-a: 1\r\n\xB0\x61-b: 2"); }, " x-A: 1\r\n\xB0\x61-B: 2"},
      {"value of Connection", [] { return HeaderValue("Connection: keep-alive\r\nAccept: */*", "Connection"); },
       "keep-alive"},
      {"value: name case counts", [] { return HeaderValue("Connection: keep-alive\r\nAccept: */*", "connection"); },
       ""},
      {"value: no space after the colon", [] { return HeaderValue("Connection:keep-alive", "Connection"); }, ""},
      {"value: a longer name matches its prefix",
       [] { return HeaderValue("Connections: Connection: x\r\nConnection: y", "Connection"); }, "x"},
      {"text before", [] { return TextBefore("Set-Cookie: a=1", ": "); }, "Set-Cookie"},
      {"text before starts at 1 whatever the start", [] { return TextBefore("a;b;c", ";", 3); }, "a;b"},
      {"text before, marker missing", [] { return TextBefore("abc", ";"); }, ""},
      {"text between", [] { return TextBetween("Set-Cookie: sid=42; path=/", "Set-Cookie:", ";"); }, " sid=42"},
      {"text between, right marker missing", [] { return TextBetween("Set-Cookie: sid=42", "Set-Cookie:", ";"); },
       ""},
      {"text between, quote marker", [] { return TextBetween("a\"xy;", "#\xD2\xFD\xBA\xC5x", ";"); }, "y"},
      {"text between ignores case unless told",
       [] { return TextBetween("SET-COOKIE: a=1;", "set-cookie:", ";") + "|" +
                   TextBetween("SET-COOKIE: a=1;", "set-cookie:", ";", 1, true); },
       " a=1|"},
      {"collect Set-Cookie lines only",
       [] {
         return Collect("HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nset-cookie: c=3\r\n", "");
       },
       "a=1; b=2"},
      {"collect appends to what the text held", [] { return Collect("Set-Cookie: b=2\r\n\r\n", "a=1; "); },
       "a=1; b=2"},
      {"collect: no space after the colon is not used", [] { return Collect("Set-Cookie:x=1\r\n", ""); }, ""},
      {"collect: an empty pair gives an empty item", [] { return Collect("Set-Cookie: ; path=/\r\nSet-Cookie: b=2", ""); },
       "; b=2"},
      {"merge replaces by name", [] { return Merge("a=1; b=2", "a=3"); }, "a=3; b=2"},
      {"merge drops deleted", [] { return Merge("a=1; b=2", "b=deleted"); }, "a=1"},
      {"merge with nothing received", [] { return Merge("a=1; b=2", ""); }, "a=1; b=2"},
      {"merge bare final semicolons", [] { return Merge("y=2;", "x=1;"); }, "x=1; y=2"},
      {"merge keeps received duplicates of a name", [] { return Merge("a=0", "a=1; a=2"); }, "a=1; a=2"},
      {"merge removes identical items", [] { return Merge("", "a=1; a=1"); }, "a=1"},
      {"merge keeps the first of several sent items", [] { return Merge("a=1; a=2; b=3", "c=4"); }, "c=4; a=1; b=3"},
      {"cookie name", [] { return CookieName(" sid =42"); }, "sid"},
      {"cookie name without =", [] { return CookieName("flag"); }, "flag"},
      {"remove duplicates", [] { return RemoveDuplicateItems("a,b,a,,b,", ","); }, "a,b,"},
      {"remove duplicates of empty text", [] { return RemoveDuplicateItems("", "; "); }, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.run(), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace corvenhal::http
