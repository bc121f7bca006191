#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/encodings.h"
#include "platform/portable/portable.h"
#include "support/env.h"
#include "support/temp_dir.h"

namespace corvenhal::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;

TEST(DesktopDirectory, ComesFromUserDirsElseHomeDesktop) {
  TempDir home;
  ScopedEnv h("HOME", home.str());
  ScopedEnv c("XDG_CONFIG_HOME", home.str() + "/.config");
  EXPECT_EQ(portable::DesktopShell().DesktopDirectory(), home.str() + "/Desktop/");
  home.Write(".config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/" "桌面" "\"\n");
  EXPECT_EQ(portable::DesktopShell().DesktopDirectory(), Utf8ToGbkText(home.str() + "/桌面/"));
}

TEST(DesktopShortcut, IsAnExecutableEntryWhoseExecIsQuotedAndEscaped) {
  TempDir dir;
  Shell& shell = portable::DesktopShell();
  Text desktop = dir.str() + "/Desktop/";
  Text name = Utf8ToGbkText("Corvenhal启动器");
  Text target = Utf8ToGbkText(dir.str() + "/my \"game\" 100% $HOME `x` 启动/corvenhal-launcher");
  ASSERT_TRUE(shell.CreateShortcut(desktop, name, target));
  fs::path entry = dir.path() / "Desktop" / "Corvenhal启动器.desktop";
  std::string content = ReadFile(entry);
  EXPECT_NE(content.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(content.find("Type=Application\n"), std::string::npos);
  EXPECT_NE(content.find("Name=Corvenhal启动器\n"), std::string::npos);
  // Quoting escapes " ` $ with a backslash, "%" is doubled, and then every
  // backslash is escaped once more as a string value. (A program file name
  // cannot hold a backslash: it separates directories.)
  const std::string exec = "Exec=\"" + dir.str() +
                           "/my \\\\\"game\\\\\" 100%% \\\\$HOME \\\\`x\\\\` 启动/corvenhal-launcher\"\n";
  EXPECT_NE(content.find(exec), std::string::npos) << content;
  struct stat st;
  ASSERT_EQ(::stat(entry.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);

  // A second press replaces the first: still one entry, with the new target.
  ASSERT_TRUE(shell.CreateShortcut(desktop, name, "/opt/other"));
  EXPECT_NE(ReadFile(entry).find("Exec=\"/opt/other\"\n"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "Desktop"), fs::directory_iterator()), 1);
}

TEST(OpenUrl, StartsTheBrowserWithoutAShell) {
  TempDir dir;
  std::string record = dir.str() + "/args.txt";
  std::string bin = testing::InstallRecordingProgram(dir.str() + "/bin", "xdg-open", record);
  ScopedEnv path("PATH", bin + ":/usr/bin:/bin");
  const std::string url = "https://example.test/a?b=1&c=$(touch " + dir.str() + "/pwned);d`id`|e>f";
  ASSERT_TRUE(portable::DesktopShell().OpenUrl(url));
  EXPECT_EQ(testing::WaitForFile(record), url + "\n");
  EXPECT_FALSE(fs::exists(dir.path() / "pwned"));
}

TEST(OpenUrl, FailsWhenNoBrowserCanBeStarted) {
  TempDir dir;
  ScopedEnv path("PATH", dir.str());
  EXPECT_FALSE(portable::DesktopShell().OpenUrl("https://example.test/"));
}

}  // namespace
}  // namespace corvenhal::platform
