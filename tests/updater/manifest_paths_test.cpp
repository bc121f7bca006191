#include "updater/manifest_paths.h"

#include <gtest/gtest.h>

namespace corvenhal::updater {
namespace {

TEST(ManifestPaths, HostileAndHarmlessNames) {
  for (const char* hostile : {"..", "/a/..", "/a/.. /b", "/x:y", "\\\\h\\s", "/\\x", "/nul", "/NUL.tar.gz",
                              "/Com1", "/lpt9.log"}) {
    EXPECT_TRUE(IsHostileEntryPath(hostile)) << hostile;
  }
  // A GBK trail byte 0x5C is no separator, so this is one element, not "..".
  for (const char* harmless : {"/a.pak", "a/b", "/..a", "/a..b", "/COM0", "/COM10", "/console", "/.", "/CONx.pak",
                               "/\x81\x5C..", ""}) {
    EXPECT_FALSE(IsHostileEntryPath(harmless)) << harmless;
  }
}

TEST(ManifestPaths, DirectoriesFromTheBaseDownToTheFile) {
  EXPECT_EQ(DirectoriesFor("R", "\\a\\b\\c.pak"), (std::vector<Text>{"R", "R\\a", "R\\a\\b"}));
  EXPECT_EQ(DirectoriesFor("R", "data\\a.pak"), std::vector<Text>{"Rdata"});  // beside the base name
  EXPECT_EQ(DirectoriesFor("R", "a.pak"), std::vector<Text>{});
  // A trail byte 0x5C inside a name does not end a directory.
  EXPECT_EQ(DirectoriesFor("R", "\\\x81\x5C\\b"), (std::vector<Text>{"R", "R\\\x81\x5C"}));
}

}  // namespace
}  // namespace corvenhal::updater
