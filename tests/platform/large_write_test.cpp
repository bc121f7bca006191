#include <gtest/gtest.h>

#include <string>

#include "platform/portable/portable.h"
#include "support/temp_dir.h"

namespace corvenhal::platform {
namespace {

// A file large enough to be sent to disk range by range while it is written
// (and dropped from the cache behind) keeps every byte in its place.
TEST(AtomicReplace, LargeFileWrittenInPiecesKeepsEveryByte) {
  testing::TempDir dir;
  std::string expected;
  auto writer = portable::Files().BeginReplace(dir.str() + "/big.pak");
  ASSERT_TRUE(writer);
  std::string piece(1 << 20, '\0');
  for (int i = 0; i < 50; ++i) {
    for (size_t j = 0; j < piece.size(); j += 4096) piece[j] = static_cast<char>(i + j / 4096);
    ASSERT_TRUE(writer->Write(piece.substr(0, piece.size() - static_cast<size_t>(i))));  // uneven lengths
    expected += piece.substr(0, piece.size() - static_cast<size_t>(i));
  }
  ASSERT_TRUE(writer->Commit());
  EXPECT_TRUE(dir.Read("big.pak") == expected);
}

}  // namespace
}  // namespace corvenhal::platform
