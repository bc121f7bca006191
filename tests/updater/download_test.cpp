#include "updater/download.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/download_transport.h"
#include "platform/encodings.h"
#include "platform/portable/download_curl.h"
#include "support/http_server.h"
#include "support/temp_dir.h"

namespace corvenhal::updater {
namespace {

namespace fs = std::filesystem;
using testing::HttpServer;
using testing::Reply;
using testing::TempDir;

// Every name in the directory, to see what was written and that no temporary
// file was left behind.
std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
  return out;
}

Text G(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

TEST(FindExtension, FollowsTheShellsRule) {
  struct Case {
    std::string path, extension;
  };
  const std::vector<Case> cases = {
      {"C:\\Game/Resource\\data\\a.pak", ".pak"},
      {"a.tar.gz", ".gz"},
      {"C:\\v1.2\\readme", ""},         // a dot before the last "\" does not count
      {"/tmp/v1.2/readme", ".2/readme"},  // "/" does not end an element
      {"my file.x y", ""},              // nor does a dot before a space
      {"noext", ""},
      {".hidden", ".hidden"},
      {"\xCA\xFD\xBE\xDD.\xB0\xFC", ".\xB0\xFC"},  // 数据.包
      // 0x5C as the trail byte of a double-byte character is no separator.
      {"a.b\x81\x5C", ".b\x81\x5C"},
  };
  for (const Case& c : cases) EXPECT_EQ(FindExtension(c.path), c.extension) << c.path;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Route("/x.pak", Reply::Ok("new contents"));
    server_.Route("/short", [](const testing::ReceivedRequest&) {
      return Reply().Write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 'n')).Close();
    });
    server_.Route("/to-file", Reply::Redirect(302, "file:///etc/hostname"));
    server_.Route("/missing", Reply::NotFound());
  }
  std::string Path(const std::string& utf8) const { return dir_.str() + "/" + utf8; }
  Text GbkPath(const std::string& utf8) const { return G(Path(utf8)); }

  HttpServer server_;
  TempDir dir_;
};

TEST_F(DownloadTest, PoliciesForAnExistingTarget) {
  // Replace: the new body takes the name.
  dir_.Write("a.pak", "old");
  EXPECT_TRUE(DownloadToFile(server_.Url("/x.pak"), GbkPath("a.pak"), kReplaceExisting));
  EXPECT_EQ(dir_.Read("a.pak"), "new contents");

  // Number: the first free name; a(1).pak is taken already.
  dir_.Write("a(1).pak", "one");
  EXPECT_TRUE(DownloadToFile(server_.Url("/x.pak"), GbkPath("a.pak"), kNumberedName));
  EXPECT_EQ(dir_.Read("a(2).pak"), "new contents");
  EXPECT_EQ(dir_.Read("a.pak"), "new contents");
  EXPECT_EQ(dir_.Read("a(1).pak"), "one");

  // Without an extension the number ends the name; Chinese names stay whole.
  dir_.Write("data", "d");
  EXPECT_TRUE(DownloadToFile(server_.Url("/x.pak"), GbkPath("data"), kNumberedName));
  EXPECT_EQ(dir_.Read("data(1)"), "new contents");
  dir_.Write("数据.包", "d");
  EXPECT_TRUE(DownloadToFile(server_.Url("/x.pak"), GbkPath("数据.包"), kNumberedName));
  EXPECT_EQ(dir_.Read("数据(1).包"), "new contents");

  // Keep: success without a request.
  size_t before = server_.RequestCount();
  dir_.Write("kept.pak", "kept");
  EXPECT_TRUE(DownloadToFile(server_.Url("/x.pak"), GbkPath("kept.pak"), 2));
  EXPECT_TRUE(DownloadToFile(server_.Url("/x.pak"), GbkPath("kept.pak"), -7));
  EXPECT_EQ(dir_.Read("kept.pak"), "kept");
  EXPECT_EQ(server_.RequestCount(), before);

  EXPECT_EQ(Names(dir_.path()), (std::set<std::string>{"a.pak", "a(1).pak", "a(2).pak", "data", "data(1)", "数据.包",
                                                         "数据(1).包", "kept.pak"}));
}

TEST_F(DownloadTest, AbsentTargetIsDownloadedUnderEveryPolicy) {
  for (int policy : {kReplaceExisting, kNumberedName, 2}) {
    std::string name = "p" + std::to_string(policy) + ".pak";
    EXPECT_TRUE(DownloadToFile(server_.Url("/x.pak"), GbkPath(name), policy)) << policy;
    EXPECT_EQ(dir_.Read(name), "new contents") << policy;
  }
}

TEST_F(DownloadTest, UrlWithoutSchemeIsFetchedOverHttpWithoutCachedCopies) {
  EXPECT_TRUE(DownloadToFile(server_.HostPort() + "/x.pak", GbkPath("a.pak"), kReplaceExisting));
  EXPECT_EQ(dir_.Read("a.pak"), "new contents");
  testing::ReceivedRequest r = server_.LastRequest();
  EXPECT_EQ(r.requestLine, "GET /x.pak HTTP/1.1");
  EXPECT_EQ(r.Header("Cache-Control"), "no-cache");
}

TEST_F(DownloadTest, FailedTransfersLeaveTheOldFileWhole) {
  struct Case {
    std::string target;  // server path or full URL
    const char* why;
  };
  const std::vector<Case> cases = {
      {server_.Url("/short"), "connection closed after half the announced bytes"},
      {server_.Url("/missing"), "404"},
      {server_.Url("/to-file"), "redirect to a file: URL"},
      {"file:///etc/hostname", "file: URL"},
      {"ftp://127.0.0.1:1/x.pak", "other scheme"},
      {"http://127.0.0.1:1/x.pak", "nobody listening"},
  };
  dir_.Write("a.pak", "old");
  for (const Case& c : cases) {
    EXPECT_FALSE(DownloadToFile(c.target, GbkPath("a.pak"), kReplaceExisting)) << c.why;
    EXPECT_EQ(dir_.Read("a.pak"), "old") << c.why;
    EXPECT_EQ(Names(dir_.path()), std::set<std::string>{"a.pak"}) << c.why;
  }
  // An absent target stays absent.
  EXPECT_FALSE(DownloadToFile(server_.Url("/short"), GbkPath("b.pak"), kReplaceExisting));
  EXPECT_FALSE(fs::exists(Path("b.pak")));
}

TEST_F(DownloadTest, TargetThatCannotBeReplacedIsNotFetched) {
  fs::path target = dir_.Write("a.pak", "old");
  ::chmod(target.c_str(), 0444);
  EXPECT_FALSE(DownloadToFile(server_.Url("/x.pak"), GbkPath("a.pak"), kReplaceExisting));
  EXPECT_EQ(dir_.Read("a.pak"), "old");
  fs::create_directory(Path("dir.pak"));
  EXPECT_FALSE(DownloadToFile(server_.Url("/x.pak"), GbkPath("dir.pak"), kReplaceExisting));
  // The directory must exist: none is created.
  EXPECT_FALSE(DownloadToFile(server_.Url("/x.pak"), GbkPath("new/a.pak"), kReplaceExisting));
  EXPECT_FALSE(fs::exists(Path("new")));
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST(DownloadOverHttps, SelfSignedServerIsRefusedUnlessItsCaIsTrusted) {
  HttpServer server(HttpServer::kHttps);
  server.Route("/x.pak", Reply::Ok("secure"));
  TempDir dir;
  Text target = G(dir.str() + "/a.pak");
  EXPECT_FALSE(DownloadToFile(server.Url("/x.pak"), target, kReplaceExisting));
  EXPECT_FALSE(fs::exists(dir.path() / "a.pak"));

  std::unique_ptr<platform::DownloadService> trusting = platform::portable::MakeDownloads(testing::TestCertificatePem());
  platform::Services services = platform::Current();
  services.downloads = trusting.get();
  platform::ScopedServices scope(services);
  EXPECT_TRUE(DownloadToFile(server.Url("/x.pak"), target, kReplaceExisting));
  EXPECT_EQ(dir.Read("a.pak"), "secure");
}

}  // namespace
}  // namespace corvenhal::updater
