#include "support/md5.h"
#include "updater/file_md5.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless_window_system.h"
#include "platform/portable/portable.h"
#include "support/temp_dir.h"

namespace corvenhal::updater {
namespace {

using testing::TempDir;

// Runs FileMd5 with a headless window system installed, counting the pumps.
struct Hashed {
  Text digest;
  std::vector<int> progress;
  int pumps = 0;
};
Hashed Hash(const std::string& path) {
  platform::headless::HeadlessWindowSystem windows;
  platform::Services services = platform::Current();
  services.windows = &windows;
  platform::ScopedServices scope(services);
  Hashed h;
  h.digest = FileMd5(path, [&](int percent) { h.progress.push_back(percent); });
  h.pumps = windows.PumpCount();
  return h;
}

TEST(FileMd5, GivesUpperCaseDigestsOfRfc1321Vectors) {
  struct Case {
    std::string input, digest;
  };
  const std::vector<Case> cases = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},  // a digest byte below 16 keeps its zero
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    std::string path = dir.Write("f.bin", c.input).string();
    EXPECT_EQ(FileMd5(path), c.digest) << c.input;
  }
}

TEST(FileMd5, ReadsInChunksOfEightMebibytesReportingProgressAndPumpingAfterEach) {
  TempDir dir;
  struct Case {
    size_t size;
    std::vector<int> progress;
  };
  const std::vector<Case> cases = {
      {0, {0}},                                  // one read of no bytes
      {kMd5ChunkSize, {100}},                    // exactly one chunk: one read
      {kMd5ChunkSize + 1, {99, 100}},            // one byte more: two
      {2 * kMd5ChunkSize + 4097, {49, 99, 100}},
  };
  for (const Case& c : cases) {
    std::string bytes(c.size, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::string path = dir.Write("big.bin", bytes).string();
    Hashed h = Hash(path);
    EXPECT_EQ(h.digest, testing::ReferenceMd5(bytes)) << c.size;
    EXPECT_EQ(h.progress, c.progress) << c.size;
    EXPECT_EQ(h.pumps, static_cast<int>(c.progress.size())) << c.size;
  }
}

TEST(FileMd5, GivesNothingForWhatIsNoReadableRegularFile) {
  TempDir dir;
  std::string fifo = dir.str() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // No writer on the FIFO: a blocking open would hang here.
  for (const std::string& path : {dir.str(), fifo, std::string("/dev/zero"), dir.str() + "/missing"}) {
    Hashed h = Hash(path);
    EXPECT_EQ(h.digest, "") << path;
    EXPECT_TRUE(h.progress.empty()) << path;
  }
}

TEST(FileMd5, FallsBackToOrdinaryReadsWhereUnbufferedOnesAreRefused) {
  // procfs and sysfs refuse O_DIRECT at open; the sysfs file also announces
  // more bytes than it yields, so the loop has to end at the empty read.
  for (const std::string& path : {std::string("/proc/version"),
                                  std::string("/sys/kernel/mm/transparent_hugepage/enabled")}) {
    std::string bytes = testing::ReadFile(path);
    if (bytes.empty()) continue;
    EXPECT_EQ(FileMd5(path), testing::ReferenceMd5(bytes)) << path;
  }
}

TEST(FileMd5, ChineseFileName) {
  TempDir dir;
  dir.Write("\xE6\x95\xB0\xE6\x8D\xAE.pak", "abc");  // 数据.pak
  EXPECT_EQ(FileMd5(dir.str() + "/\xCA\xFD\xBE\xDD.pak"), "900150983CD24FB0D6963F7D28E17F72");
}

// The real file system, but reads fail after the first chunk: a fault no
// real file on this machine produces on demand.
class FailingReads final : public platform::FileSystem {
 public:
  explicit FailingReads(bool failSecond) : failSecond_(failSecond) {}
  bool Exists(const Text& p) override { return real().Exists(p); }
  bool IsDirectory(const Text& p) override { return real().IsDirectory(p); }
  bool ReadAll(const Text& p, Bytes& out) override { return real().ReadAll(p, out); }
  std::unique_ptr<platform::FileWriter> BeginReplace(const Text& p) override { return real().BeginReplace(p); }
  bool Remove(const Text& p) override { return real().Remove(p); }
  bool CreateDirectory(const Text& p) override { return real().CreateDirectory(p); }
  std::string NativePath(const Text& p) override { return real().NativePath(p); }
  std::unique_ptr<platform::ChunkReader> OpenChunks(const Text&, size_t) override {
    return std::make_unique<Reader>(failSecond_);
  }

 private:
  // Announces 100 bytes; gives 10, then a read error or nothing.
  class Reader final : public platform::ChunkReader {
   public:
    explicit Reader(bool failSecond) : failSecond_(failSecond) {}
    long long Size() const override { return 100; }
    bool Next(std::string_view& chunk) override {
      chunk = calls_++ == 0 ? std::string_view("0123456789") : std::string_view();
      return calls_ == 1 || !failSecond_;
    }

   private:
    bool failSecond_;
    int calls_ = 0;
  };
  static platform::FileSystem& real() { return platform::portable::Files(); }
  bool failSecond_;
};

TEST(FileMd5, ReadErrorGivesNoDigestAndShortFileEndsTheLoop) {
  TempDir dir;
  std::string path = dir.Write("a.pak", "x").string();
  for (bool failSecond : {true, false}) {
    FailingReads files(failSecond);
    platform::Services services = platform::Current();
    services.files = &files;
    platform::ScopedServices scope(services);
    std::vector<int> progress;
    Text digest = FileMd5(path, [&](int p) { progress.push_back(p); });
    EXPECT_EQ(digest, failSecond ? "" : testing::ReferenceMd5("0123456789"));
    EXPECT_EQ(progress, failSecond ? std::vector<int>{10} : std::vector<int>({10, 10}));
  }
}

}  // namespace
}  // namespace corvenhal::updater
