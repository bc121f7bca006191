#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "resources.h"

namespace corvenhal {
namespace {

std::uint32_t Le(std::string_view bytes, size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
  return v;
}

TEST(StarterImage, IsA32BitWindowsGuiProgramOfTheFixedSize) {
  std::string_view image = resources::Get("Corvenhal.exe");
  ASSERT_EQ(image.size(), 807936u);
  ASSERT_EQ(image.substr(0, 2), "MZ");
  size_t pe = Le(image, 0x3C, 4);
  ASSERT_LT(pe + 24 + 70, image.size());
  ASSERT_EQ(image.substr(pe, 4), std::string_view("PE\0\0", 4));
  EXPECT_EQ(Le(image, pe + 4, 2), 0x014Cu);  // machine: i386
  size_t optional = pe + 24;
  EXPECT_EQ(Le(image, optional, 2), 0x010Bu);     // PE32, not PE32+
  EXPECT_EQ(Le(image, optional + 68, 2), 2u);     // subsystem: Windows GUI
  // It starts a program (the client) and pads with zeros after its sections.
  EXPECT_NE(image.find("CreateProcessW"), std::string_view::npos);
  EXPECT_EQ(image.back(), '\0');
}

}  // namespace
}  // namespace corvenhal
