// GBK to UTF-16 takes ASCII runs apart from the converter; the result must be
// what converting the whole text gives, whatever the mix of bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/codepage.h"
#include "platform/encodings.h"

namespace corvenhal::platform {
namespace {

std::u16string Whole(const std::string& gbk) {
  std::u16string out;
  CodePages().ToUtf16(gbk, kCodePageGbk, out);
  return out;
}

TEST(GbkToUtf16, MixedTextReadsAsAWhole) {
  // Lead bytes before ASCII and at the end, bytes that are no character, long
  // and short ASCII runs between characters.
  const std::string crafted[] = {
      "abc\xD6\xD0" "def",  "\xD6", "a\xD6", "\x81\x20x", "\xD6\x5C\"", "\x80\xFF\x7F",
      std::string(100, 'x') + "\xB5\xD8" + std::string(10, 'y') + "\xCD\xBC" + std::string(70, 'z') + "\xAA",
  };
  for (const std::string& s : crafted) EXPECT_EQ(GbkToUtf16(s), Whole(s));

  std::mt19937 random(20261211);
  const unsigned char bytes[] = {'a', ' ', '"', '\\', 0x40, 0x7E, 0x7F, 0x80, 0x81, 0xA1, 0xB0, 0xD6, 0xFE, 0xFF, 0x5C, 0xAA};
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (unsigned k = random() % 40; k > 0; --k) {
      if (random() % 3) {
        s.push_back(static_cast<char>(bytes[random() % sizeof bytes]));
      } else {
        s.append(random() % 100, 'x');
      }
    }
    ASSERT_EQ(GbkToUtf16(s), Whole(s)) << round;
  }
}

}  // namespace
}  // namespace corvenhal::platform
