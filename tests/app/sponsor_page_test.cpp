#include "app/sponsor_page.h"

#include <gtest/gtest.h>

#include "app/gbk.h"

namespace corvenhal::app {
namespace {

TEST(SponsorPageAddress, OnlyASingleLineWebAddressIsOpened) {
  struct Case {
    Text note;
    Text address;  // empty: not opened
  };
  const Case cases[] = {
      {"https://pay.example/sponsor", "https://pay.example/sponsor"},
      {"http://pay.example/?a=1&b=2", "http://pay.example/?a=1&b=2"},
      {"HTTPS://Pay.Example/X", "HTTPS://Pay.Example/X"},
      {"  \r\n\thttps://pay.example/s \r\n ", "https://pay.example/s"},
      {Gbk("\u3000https://pay.example/s\u3000"), "https://pay.example/s"},
      {Gbk("https://pay.example/赞助"), Gbk("https://pay.example/赞助")},
      {"", ""},
      {"   ", ""},
      {"https://", ""},
      {"https://pay.example/a\r\nhttps://pay.example/b", ""},
      {"https://pay.example/a\nb", ""},
      {"https://pay.example/a\tb", ""},
      {"C:\\Windows\\System32\\calc.exe", ""},
      {"/usr/bin/xterm", ""},
      {"file:///etc/passwd", ""},
      {"--help", ""},
      {"-e https://pay.example/", ""},
      {"javascript:alert(1)", ""},
      {"ftp://pay.example/", ""},
      {"www.pay.example", ""},
      {"httpx://pay.example", ""},
      {Gbk("请访问 https://pay.example"), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SponsorPageAddress(c.note), c.address) << c.note;
}

}  // namespace
}  // namespace corvenhal::app
