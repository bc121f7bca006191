#include "announce/html_to_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/automation.h"
#include "platform/encodings.h"

namespace corvenhal::announce {
namespace {

using platform::Utf8ToGbkText;

struct Fragment {
  const char* name;
  const char* html;  // UTF-8
  const char* text;  // UTF-8, line breaks as CR LF
};

const Fragment kFragments[] = {
    {"empty", "", ""},
    {"only white space", " \r\n\t ", ""},
    {"plain text trimmed", "  hello  ", "hello"},
    {"white space collapses across inline elements", "a \n\t <b> b </b>  <i>c</i>", "a b c"},
    {"nested blocks give one line break", "<div>a<div>b</div>c</div><div><div>d</div></div>", "a\r\nb\r\nc\r\nd"},
    {"white space at block edges goes", "<div>  one  </div>\n  <div>\n two \n</div>", "one\r\ntwo"},
    {"paragraphs are set apart by an empty line", "<p>one</p><p>two</p>three", "one\r\n\r\ntwo\r\n\r\nthree"},
    {"br inside inline elements", "<b>bold<br>still bold</b><span>x<br> y</span>", "bold\r\nstill boldx\r\ny"},
    {"br ending a line before a block adds no line", "<div>a<br></div><div>b</div>", "a\r\nb"},
    {"br alone on a line keeps the empty line", "<div>a</div><div><br></div><div>b</div>", "a\r\n\r\nb"},
    {"two br make an empty line", "a<br><br>b", "a\r\n\r\nb"},
    {"lists", "<ul><li>one</li><li>two <b>2</b></li></ul><ol><li>three</li></ol>", "one\r\ntwo 2\r\nthree"},
    {"table rows and cells", "<table><tr><td>a</td> <td> b </td></tr>\n<tr><th>c</th><td>d</td></tr></table>after",
     "a\tb\r\nc\td\r\nafter"},
    {"table with row groups and a caption",
     "<table><caption>Cap</caption><thead><tr><td>h</td></tr></thead><tbody><tr><td>1</td><td>2</td></tr></tbody></table>",
     "Cap\r\nh\r\n1\t2"},
    {"pre keeps its white space", "<pre>\n  a  b\n c</pre><p>x   y</p>", "a  b\r\n c\r\n\r\nx y"},
    {"entities decoded", "&lt;tag&gt; &amp; &quot;q&quot; &#20844;&#x544A; &copy;", "<tag> & \"q\" 公告 ?"},
    {"no-break space stays a space and does not collapse", "a&nbsp;&nbsp;b", "a  b"},
    {"script style template head invisible",
     "<head><title>T</title></head><style>p{color:red}</style>x<script>document.write('no')</script>"
     "<template><p>t</p></template><noscript>ns</noscript>y",
     "xy"},
    {"hidden elements invisible", "a<span hidden>b</span><div style=\"color:red; DISPLAY : none\">c</div>d", "ad"},
    {"comments invisible", "a<!-- c --><!---->b<!-- <p>x</p> -->", "ab"},
    {"unclosed tags", "<div><p>one<p>two<b>bold<i>both", "one\r\n\r\ntwoboldboth"},
    {"stray end tags and broken markup", "</div>a</p>b<", "a\r\n\r\nb<"},
    {"Chinese text passes through", "<p>服务器维护公告</p><p>时间：周四</p>", "服务器维护公告\r\n\r\n时间：周四"},
    {"a character GBK lacks becomes a question mark", "x&#x1F600;y", "x?y"},
};

class HtmlToTextTable : public ::testing::TestWithParam<Fragment> {};

TEST_P(HtmlToTextTable, RendersVisibleText) {
  const Fragment& f = GetParam();
  EXPECT_EQ(HtmlToText(Utf8ToGbkText(f.html)), Utf8ToGbkText(f.text)) << f.html;
}

INSTANTIATE_TEST_SUITE_P(Fragments, HtmlToTextTable, ::testing::ValuesIn(kFragments),
                         [](const ::testing::TestParamInfo<Fragment>& param) {
                           std::string name;
                           for (const char* p = param.param.name; *p; ++p) {
                             name.push_back(std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
                           }
                           return name;
                         });

TEST(HtmlToText, PairsComInitialisation) {
  long before = platform::ComInitializeDepth();
  platform::ComCallCounts calls = platform::ComCalls();
  EXPECT_EQ(HtmlToText("<p>x</p>"), "x");
  EXPECT_EQ(platform::ComInitializeDepth(), before);
  EXPECT_EQ(platform::ComCalls().initialize, calls.initialize + 1);
}

// The document as the program drives it: write a skeleton, replace the body's
// content, close, read the body's text.
TEST(HtmlDocument, BodyContentIsReplacedByInnerHtml) {
  platform::AutomationBridge bridge;
  platform::AutomationObject document;
  ASSERT_TRUE(bridge.Create(document, "{25336920-03f9-11cf-8fd0-00aa00686f13}"));
  EXPECT_TRUE(bridge.GetObject(document, "body").IsEmpty());  // nothing written yet
  ASSERT_TRUE(bridge.Call(document, "write", "<HTML><BODY><div>old</div></BODY></HTML>"));
  platform::AutomationObject body = bridge.GetObject(document, "body");
  ASSERT_FALSE(body.IsEmpty());
  EXPECT_EQ(bridge.GetText(body, "innerHTML"), "<div>old</div>");
  EXPECT_EQ(bridge.GetText(body, "innerText"), "old");
  ASSERT_TRUE(bridge.Put(body, "innerHTML", "<p>new</p> text"));
  ASSERT_TRUE(bridge.Call(document, "close"));
  platform::AutomationObject again = bridge.GetObject(document, "body");
  EXPECT_EQ(bridge.GetText(again, "innerHTML"), "<p>new</p> text");
  EXPECT_EQ(bridge.GetText(again, "outerText"), "new\r\n\r\ntext");
  // Writing after close starts a new document.
  ASSERT_TRUE(bridge.Call(document, "write", "<body>fresh"));
  EXPECT_EQ(bridge.GetText(bridge.GetObject(document, "body"), "outerText"), "fresh");
}

}  // namespace
}  // namespace corvenhal::announce
