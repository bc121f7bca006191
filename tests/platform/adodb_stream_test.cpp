#include <gtest/gtest.h>

#include "platform/automation.h"

namespace corvenhal::platform {
namespace {

// Decodes `body` the way a caller turns a page into text: bytes in, Type 1,
// Mode 3, Open, Write, Position 0, Type 2, Charset, ReadText, Close. Gives the
// UTF-16 text that ReadText returned.
std::u16string DecodeThroughStream(const Bytes& body, const char* charset) {
  AutomationBridge bridge;
  AutomationObject stream;
  EXPECT_TRUE(bridge.Create(stream, "Adodb.Stream"));
  AutomationVariant bytes;
  bytes.AssignBytes(body);
  EXPECT_TRUE(bridge.Put(stream, "Type", 1));
  EXPECT_TRUE(bridge.Put(stream, "Mode", 3));
  EXPECT_TRUE(bridge.Call(stream, "Open"));
  EXPECT_TRUE(bridge.Call(stream, "Write", bytes));
  EXPECT_TRUE(bridge.Put(stream, "Position", 0));
  EXPECT_TRUE(bridge.Put(stream, "Type", 2));
  EXPECT_TRUE(bridge.Put(stream, "Charset", charset));
  AutomationVariant text = bridge.CallVariant(stream, "ReadText");
  EXPECT_TRUE(bridge.LastFailure().empty()) << bridge.LastFailure();
  EXPECT_TRUE(bridge.Call(stream, "Close"));
  return text.value().text;
}

TEST(AdodbStream, DecodesTheLabelsThatPagesDeclare) {
  struct Case {
    const char* charset;
    Bytes body;
    std::u16string text;
  };
  const Case cases[] = {
      {"utf-8", "\xE4\xB8\xAD\xE6\x96\x87", u"中文"},
      {"UTF-8", "\xEF\xBB\xBF" "a\xC3\xA9", u"aé"},  // the byte-order mark is dropped
      {"utf-8", Bytes("a\0b", 3), std::u16string(u"a\0b", 3)},  // the whole body, zero bytes included
      {"shift_jis", "\x83\x65\x83\x58\x83\x67\x5C", u"テスト\\"},  // 0x5C stays a backslash
      {"sjis", "\x83\x65", u"テ"},
      {"euc-kr", "\xC7\xD1", u"한"},
      {"ks_c_5601-1987", "\xC7\xD1", u"한"},
      {"big5", "\xA4\xA4\xA4\xE5", u"中文"},
      {"GBK", "\xD6\xD0", u"中"},
      {"gb2312", "\xD6\xD0", u"中"},
      {"iso-8859-1", "\x80\xE9", u"€é"},  // read as windows-1252, as browsers do
      {"windows-1251", "\xCF\xF0\xE8", u"При"},
      {"koi8-r", "\xF0\xD2\xC9", u"При"},
      {"iso-8859-2", "\xA3", u"Ł"},
      {"ISO-8859-15", "\xA4", u"€"},
      {"euc-jp", "\xA5\xC6", u"テ"},
      {"unicode", Bytes("\xFF\xFE" "a\0", 4), u"a"},
      // A label the stream does not know: the bytes as received (the system
      // code page, up to the first zero byte).
      {"x-unknown", Bytes("ab\xD6\xD0\0cd", 7), u"ab中"},
      {"windows-1259", "\xD6\xD0", u"中"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeThroughStream(c.body, c.charset), c.text) << c.charset;
  }
}

TEST(AdodbStream, RefusesWhatTheStreamDoesNotAllow) {
  AutomationBridge bridge;
  AutomationObject stream;
  ASSERT_TRUE(bridge.Create(stream, "Adodb.Stream"));
  AutomationVariant bytes;
  bytes.AssignBytes("abc");

  EXPECT_FALSE(bridge.Call(stream, "Write", bytes)) << "closed";
  EXPECT_EQ(bridge.CallText(stream, "ReadText"), "");
  EXPECT_FALSE(bridge.LastFailure().empty());
  ASSERT_TRUE(bridge.Call(stream, "Open"));
  EXPECT_FALSE(bridge.Call(stream, "Open")) << "already open";
  EXPECT_FALSE(bridge.Call(stream, "Write", bytes)) << "a text stream takes no bytes";
  ASSERT_TRUE(bridge.Put(stream, "Type", 1));
  EXPECT_FALSE(bridge.Call(stream, "Write", "abc")) << "text is no byte array";
  ASSERT_TRUE(bridge.Call(stream, "Write", bytes));
  EXPECT_EQ(bridge.GetNumber(stream, "Size"), 3);
  EXPECT_EQ(bridge.GetNumber(stream, "Position"), 3);
  EXPECT_FALSE(bridge.Put(stream, "Type", 2)) << "the type changes only at position 0";
  EXPECT_FALSE(bridge.Call(stream, "ReadText")) << "a binary stream gives no text";
  EXPECT_FALSE(bridge.Put(stream, "Position", 4));
  ASSERT_TRUE(bridge.Put(stream, "Position", 1));
  ASSERT_TRUE(bridge.Call(stream, "Write", bytes));  // overwrites and extends
  EXPECT_EQ(bridge.GetNumber(stream, "Size"), 4);
  ASSERT_TRUE(bridge.Put(stream, "Position", 0));
  ASSERT_TRUE(bridge.Put(stream, "Type", 2));
  ASSERT_TRUE(bridge.Put(stream, "Charset", "us-ascii"));
  EXPECT_EQ(bridge.CallText(stream, "ReadText"), "aabc");
  EXPECT_FALSE(bridge.Put(stream, "Charset", "utf-8")) << "the charset changes only at position 0";
  ASSERT_TRUE(bridge.Call(stream, "Close"));
  EXPECT_FALSE(bridge.Call(stream, "Close"));
  EXPECT_FALSE(bridge.Put(stream, "Nope", 1));
}

}  // namespace
}  // namespace corvenhal::platform
