#include "app/version_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/data_cipher.h"
#include "support/temp_dir.h"

namespace corvenhal::app {
namespace {

using namespace std::string_literals;

// Runs each test in a fresh directory, as the program runs in its own.
class VersionStoreTest : public ::testing::Test {
 protected:
  VersionStoreTest() : saved_(std::filesystem::current_path()) { std::filesystem::current_path(dir_.path()); }
  ~VersionStoreTest() override { std::filesystem::current_path(saved_); }

  testing::TempDir dir_;
  std::filesystem::path saved_;
};

TEST_F(VersionStoreTest, WritesAndReadsTheRecord) {
  EXPECT_TRUE(WriteInstalledVersion("1.0.0.1"));
  EXPECT_EQ(dir_.Read("Update.dat"), EncryptData("1.0.0.1", "blueharbor"));
  EXPECT_EQ(dir_.Read("Update.dat").size(), 16u);
  EXPECT_EQ(ReadInstalledVersion(), "1.0.0.1");

  EXPECT_TRUE(WriteInstalledVersion("1.0.0.2\r\n"));
  EXPECT_EQ(ReadInstalledVersion(), "1.0.0.2\r\n");
}

TEST_F(VersionStoreTest, EmptyVersionGivesEmptyFile) {
  ASSERT_TRUE(WriteInstalledVersion("1.0"));
  EXPECT_TRUE(WriteInstalledVersion(""));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "Update.dat"));
  EXPECT_EQ(std::filesystem::file_size(dir_.path() / "Update.dat"), 0u);
  EXPECT_EQ(ReadInstalledVersion(), "");
}

TEST_F(VersionStoreTest, UnreadableRecordsGiveEmptyVersion) {
  EXPECT_EQ(ReadInstalledVersion(), "");  // missing

  Bytes record = EncryptData("1.0.0.1", "blueharbor");
  dir_.Write("Update.dat", record.substr(0, 15));
  EXPECT_EQ(ReadInstalledVersion(), "");

  dir_.Write("Update.dat", EncryptData("1.0.0.1", "another password"));
  EXPECT_EQ(ReadInstalledVersion(), "");

  std::filesystem::remove(dir_.path() / "Update.dat");
  std::filesystem::create_directory(dir_.path() / "Update.dat");
  EXPECT_EQ(ReadInstalledVersion(), "");
}

TEST_F(VersionStoreTest, FailedWriteKeepsTheOldRecord) {
  ASSERT_TRUE(WriteInstalledVersion("1.0"));
  // A name whose directory does not exist cannot be written.
  EXPECT_FALSE(WriteVersionRecord("missing/Update.dat", "2.0"));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing"));
  EXPECT_EQ(ReadInstalledVersion(), "1.0");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace corvenhal::app
