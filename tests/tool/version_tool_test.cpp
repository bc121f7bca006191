#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/data_cipher.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace corvenhal {
namespace {

using namespace std::string_literals;
using testing::ProcessResult;
using testing::RunProcess;

class VersionToolTest : public ::testing::Test {
 protected:
  ProcessResult Tool(std::vector<std::string> args, std::string_view input = {}) {
    args.insert(args.begin(), CORVENHAL_TOOL_PATH);
    return RunProcess(args, input, dir_.str());
  }
  testing::TempDir dir_;
};

TEST_F(VersionToolTest, WriteThenReadInTheCurrentDirectory) {
  ProcessResult w = Tool({"version", "write", "1.0.0.1"});
  EXPECT_EQ(w.exitCode, 0) << w.err;
  EXPECT_EQ(w.out, "");
  EXPECT_EQ(dir_.Read("Update.dat"), app::EncryptData("1.0.0.1", "blueharbor"));

  ProcessResult r = Tool({"version", "read"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "1.0.0.1");  // no newline added
}

TEST_F(VersionToolTest, WriteFromStdinKeepsBytes) {
  const std::string version = "2.0\xFF\xD6\xD0\0x\r\n"s;
  // --stdin before or after the file name.
  ProcessResult w = Tool({"version", "write", "--stdin", "v.dat"}, version);
  EXPECT_EQ(w.exitCode, 0) << w.err;
  EXPECT_EQ(Tool({"version", "read", "v.dat"}).out, version);
  EXPECT_EQ(Tool({"version", "write", "other.dat", "--stdin"}, "3.0\r\n").exitCode, 0);
  EXPECT_EQ(Tool({"version", "read", "other.dat"}).out, "3.0\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Update.dat"));
}

TEST_F(VersionToolTest, FileNamesAndTextAreTypedInUtf8) {
  // "版本.dat" and the version "中" typed as UTF-8.
  const std::string name = "\xE7\x89\x88\xE6\x9C\xAC.dat";
  EXPECT_EQ(Tool({"version", "write", "\xE4\xB8\xAD", name}).exitCode, 0);
  ASSERT_TRUE(std::filesystem::exists(dir_.path() / name));
  // The version is program text; read prints its bytes unchanged.
  EXPECT_EQ(Tool({"version", "read", name}).out, "\xD6\xD0");
  EXPECT_EQ(Tool({"version", "read", (dir_.path() / name).string()}).out, "\xD6\xD0");
}

TEST_F(VersionToolTest, EmptyAndUnreadableRecordsReadAsNothing) {
  EXPECT_EQ(Tool({"version", "write", ""}).exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "Update.dat"));
  EXPECT_EQ(dir_.Read("Update.dat"), "");

  dir_.Write("short.dat", app::EncryptData("1.0.0.1", "blueharbor").substr(0, 15));
  dir_.Write("foreign.dat", app::EncryptData("1.0.0.1", "not the password"));
  for (const char* file : {"Update.dat", "short.dat", "foreign.dat", "missing.dat"}) {
    ProcessResult r = Tool({"version", "read", file});
    EXPECT_EQ(r.exitCode, 0) << file;
    EXPECT_EQ(r.out, "") << file;
  }
}

TEST_F(VersionToolTest, FailedWriteExitsOneAndKeepsTheRecord) {
  ASSERT_EQ(Tool({"version", "write", "1.0"}).exitCode, 0);
  EXPECT_EQ(Tool({"version", "write", "2.0", "no/such/dir/Update.dat"}).exitCode, 1);
  std::filesystem::create_directory(dir_.path() / "adir");
  EXPECT_EQ(Tool({"version", "write", "2.0", "adir"}).exitCode, 1);
  EXPECT_EQ(Tool({"version", "read"}).out, "1.0");
}

TEST_F(VersionToolTest, CipherOverStdin) {
  const std::string data = "some\0bytes\xFF\r\n"s;
  ProcessResult e = Tool({"cipher", "encrypt", "--password", "blueharbor"}, data);
  EXPECT_EQ(e.exitCode, 0);
  EXPECT_EQ(e.out, app::EncryptData(data, "blueharbor"));
  ProcessResult d = Tool({"cipher", "decrypt", "--password=blueharbor"}, e.out);
  EXPECT_EQ(d.exitCode, 0);
  EXPECT_EQ(d.out, data);

  // The password is typed as UTF-8 and used as program text; options may
  // also come before the subcommand.
  ProcessResult g = Tool({"cipher", "--password", "\xE4\xB8\xAD", "encrypt"}, "x");
  EXPECT_EQ(g.exitCode, 0);
  EXPECT_EQ(g.out, app::EncryptData("x", "\xD6\xD0"));

  ProcessResult empty = Tool({"cipher", "encrypt", "--password", "p"});
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_EQ(empty.out, "");
}

TEST_F(VersionToolTest, DecryptOfInvalidDataFails) {
  const std::string good = app::EncryptData("1.0", "blueharbor");
  const std::string inputs[] = {"", good.substr(0, 7), good + "x", app::EncryptData("1.0", "other")};
  for (const std::string& input : inputs) {
    ProcessResult r = Tool({"cipher", "decrypt", "--password", "blueharbor"}, input);
    EXPECT_EQ(r.exitCode, 1) << input.size();
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(VersionToolTest, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"version"},
      {"version", "frob"},
      {"version", "read", "a", "b"},
      {"version", "read", "--bogus"},
      {"version", "read", "--stdin"},
      {"version", "write"},
      {"version", "write", "a", "b", "c"},
      {"version", "write", "--stdin", "a", "b"},
      {"cipher"},
      {"cipher", "rot13", "--password", "p"},
      {"cipher", "encrypt"},
      {"cipher", "decrypt", "--password"},
      {"cipher", "encrypt", "--password", "p", "extra"},
  };
  for (const auto& args : cases) {
    ProcessResult r = Tool(args);
    std::string shown = args[0] + (args.size() > 1 ? " " + args[1] : "");
    EXPECT_EQ(r.exitCode, 2) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << ": " << r.err;
    EXPECT_EQ(r.err.back(), '\n') << shown;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Update.dat"));
}

}  // namespace
}  // namespace corvenhal
