#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "platform/encodings.h"
#include "platform/portable/portable.h"
#include "support/temp_dir.h"

namespace corvenhal::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

FileSystem& Files() { return portable::Files(); }

// Everything in the directory besides the names given: a left-over temporary
// file shows up here.
std::vector<std::string> Strays(const fs::path& dir, const std::set<std::string>& expected) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (!expected.count(e.path().filename().string())) out.push_back(e.path().filename().string());
  }
  return out;
}

mode_t Mode(const fs::path& p) {
  struct stat st;
  ::stat(p.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(AtomicReplace, ReplacesWholeFileKeepingPermissionBits) {
  TempDir dir;
  fs::path target = dir.Write("Update.dat", "old contents that are longer");
  ::chmod(target.c_str(), 0640);
  ASSERT_TRUE(Files().WriteAll(dir.str() + "/Update.dat", "new"));
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(Mode(target), 0640u);
  EXPECT_TRUE(Strays(dir.path(), {"Update.dat"}).empty());

  // A new file gets the usual permissions, not the temporary file's 0600.
  ASSERT_TRUE(Files().WriteAll(dir.str() + "/fresh.bin", std::string("a\0b", 3)));
  EXPECT_EQ(ReadFile(dir.path() / "fresh.bin"), std::string("a\0b", 3));
  mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(Mode(dir.path() / "fresh.bin"), 0666u & ~mask);
}

TEST(AtomicReplace, WritesThroughSymbolicLink) {
  TempDir dir;
  dir.Write("real/SysSetting.xml", "old");
  fs::create_symlink("real/SysSetting.xml", dir.path() / "link.xml");
  ASSERT_TRUE(Files().WriteAll(dir.str() + "/link.xml", "new"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.xml"));
  EXPECT_EQ(ReadFile(dir.path() / "real/SysSetting.xml"), "new");
  EXPECT_TRUE(Strays(dir.path(), {"real", "link.xml"}).empty());
  EXPECT_TRUE(Strays(dir.path() / "real", {"SysSetting.xml"}).empty());
}

TEST(AtomicReplace, RefusesWhatCouldNotBeOpenedForWriting) {
  TempDir dir;
  fs::path readOnly = dir.Write("ro.dat", "keep");
  ::chmod(readOnly.c_str(), 0444);
  EXPECT_FALSE(Files().WriteAll(dir.str() + "/ro.dat", "new"));
  EXPECT_EQ(ReadFile(readOnly), "keep");

  fs::path lockedDir = dir.path() / "locked";
  fs::create_directory(lockedDir);
  dir.Write("locked/a.dat", "keep");
  ::chmod(lockedDir.c_str(), 0555);
  EXPECT_FALSE(Files().WriteAll(dir.str() + "/locked/a.dat", "new"));
  EXPECT_FALSE(Files().WriteAll(dir.str() + "/locked/b.dat", "new"));
  ::chmod(lockedDir.c_str(), 0755);
  EXPECT_EQ(ReadFile(lockedDir / "a.dat"), "keep");
  EXPECT_TRUE(Strays(lockedDir, {"a.dat"}).empty());

  EXPECT_FALSE(Files().WriteAll(dir.str() + "/missing/a.dat", "new"));
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));

  fs::create_directory(dir.path() / "adir");
  EXPECT_FALSE(Files().WriteAll(dir.str() + "/adir", "new"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "adir"));
}

TEST(AtomicReplace, FailedWriteLeavesTargetAndNoTemporaryFile) {
  TempDir dir;
  fs::path target = dir.Write("client.pak", "complete old file");
  // A file-size limit makes the write fail part-way, as a full disk would.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    bool ok = Files().WriteAll(dir.str() + "/client.pak", std::string(1 << 20, 'x'));
    ::_exit(ok ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed";
  EXPECT_EQ(ReadFile(target), "complete old file");
  EXPECT_TRUE(Strays(dir.path(), {"client.pak"}).empty());

  // A writer dropped before Commit (an interrupted download) changes nothing.
  {
    auto writer = Files().BeginReplace(dir.str() + "/client.pak");
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writer->Write("partial"));
  }
  EXPECT_EQ(ReadFile(target), "complete old file");
  EXPECT_TRUE(Strays(dir.path(), {"client.pak"}).empty());
}

TEST(NativePaths, DecodeGbkBeforeMappingSeparators) {
  // 0x81 0x5C is one GBK character whose trail byte is a backslash.
  Text name = Text("C:\\Game/Resource\\") + "\x81\x5C" + ".pak";
  std::string native = Files().NativePath(name);
  EXPECT_EQ(native, "C:/Game/Resource/" + GbkToUtf8("\x81\x5C") + ".pak");
  EXPECT_EQ(native.find("//"), std::string::npos);

  TempDir dir;
  Text gbkFile = Text(dir.str()) + "/" + Utf8ToGbkText("更新") + ".dat";
  ASSERT_TRUE(Files().WriteAll(gbkFile, "x"));
  EXPECT_TRUE(fs::exists(dir.path() / "更新.dat"));
  EXPECT_TRUE(Files().Exists(gbkFile));
  Bytes back;
  EXPECT_TRUE(Files().ReadAll(gbkFile, back));
  EXPECT_EQ(back, "x");
  EXPECT_TRUE(Files().Remove(gbkFile));
  EXPECT_FALSE(Files().Exists(gbkFile));
  EXPECT_FALSE(Files().ReadAll(gbkFile, back));
  EXPECT_TRUE(back.empty());
}

}  // namespace
}  // namespace corvenhal::platform
