#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/portable/portable.h"
#include "support/env.h"
#include "support/temp_dir.h"

namespace corvenhal::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(IsInside, FollowsLinksOfExistingElementsOnly) {
  TempDir dir;
  fs::create_directories(dir.path() / "run/Resource/data");
  fs::create_directories(dir.path() / "outside");
  fs::create_directory_symlink(dir.path() / "outside", dir.path() / "run/Resource/escape");
  fs::create_directory_symlink(dir.path() / "run/Resource/data", dir.path() / "run/Resource/alias");
  fs::create_symlink(dir.path() / "outside/none.pak", dir.path() / "run/Resource/dangling.pak");
  const std::string run = dir.str() + "/run";
  struct Case {
    std::string path;
    bool inside;
  };
  const std::vector<Case> cases = {
      {"Resource\\data\\a.pak", true},
      {"Resource\\new\\deeper\\a.pak", true},  // missing elements below an inside directory
      {"Resource\\alias\\a.pak", true},        // a link that stays inside
      {"Resource\\escape\\a.pak", false},      // a link that leaves
      {"Resource\\escape", false},
      {"Resource\\dangling.pak", false},       // writing it would create a file outside
      {"Resource\\new\\..\\..\\..\\x", false},  // ".." in the missing part
      {"Resource/../../outside/x", false},
      {"", true},
  };
  FileSystem& files = portable::Files();
  for (const Case& c : cases) {
    EXPECT_EQ(files.IsInside(run + "/" + c.path, run), c.inside) << c.path;
  }
  EXPECT_FALSE(files.IsInside(dir.str() + "/runner/x", run));  // a sibling sharing the prefix
}

TEST(StartProgram, WindowsImageGoesToWineByItsFullPathAndLeavesNoChild) {
  TempDir dir;
  std::string record = dir.str() + "/wine.args";
  std::string bin = testing::InstallRecordingProgram(dir.str() + "/bin", "wine", record);
  testing::ScopedEnv path("PATH", bin + ":" + std::getenv("PATH"));
  dir.Write("game/Corvenhal.exe", std::string("MZ\x90\0", 4));
  fs::path original = fs::current_path();
  fs::current_path(dir.path());
  bool started = portable::ProcessStarter().Start("game\\Corvenhal.exe");
  fs::current_path(original);
  ASSERT_TRUE(started);
  EXPECT_EQ(testing::WaitForFile(record), dir.str() + "/game/Corvenhal.exe\n");
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  // Anything else runs directly, and so does a Windows image without Wine.
  std::string direct = dir.str() + "/direct.args";
  testing::InstallRecordingProgram(dir.str() + "/other", "tool", direct);
  EXPECT_TRUE(portable::ProcessStarter().Start(dir.str() + "/other/tool"));
  EXPECT_EQ(testing::WaitForFile(direct), "");
  if (!fs::exists("/usr/bin/wine") && !fs::exists("/bin/wine")) {
    testing::ScopedEnv noWine("PATH", "/usr/bin:/bin");
    EXPECT_FALSE(portable::ProcessStarter().Start(dir.str() + "/game/Corvenhal.exe"));  // not executable here
  }
}

}  // namespace
}  // namespace corvenhal::platform
