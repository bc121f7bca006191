
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/md5.h"
#include "platform/encodings.h"
#include "platform/headless/headless_window_system.h"
#include "platform/portable/download_curl.h"
#include "platform/services.h"
#include "support/http_server.h"
#include "support/temp_dir.h"
#include "updater/verify_window.h"

namespace corvenhal::updater {
namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessWindow;
using platform::headless::HeadlessWindowSystem;
using testing::HttpServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::TempDir;

Text G(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

struct Entry {
  std::string file;  // UTF-8
  std::string md5;
  std::string url;
};

std::string Manifest(const std::vector<Entry>& entries) {
  std::string json = "{\"news\":[";
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i) json += ",";
    json += "{\"file\":\"" + entries[i].file + "\",\"md5\":\"" + entries[i].md5 + "\",\"url\":\"" + entries[i].url +
            "\"}";
  }
  return G(json + "]}");
}

// A run directory, a real HTTPS update server whose certificate downloads
// trust, and a headless window system.
class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = fs::current_path();
    run_ = root_.path() / "run";
    fs::create_directories(run_);
    fs::current_path(run_);
    server_.Route("/update/Vers.txt", [this](const ReceivedRequest&) {
      ++versionFetches_;
      return Reply::Ok(version_);
    });
    server_.Route("/update/Updata.ini", [this](const ReceivedRequest&) {
      ++manifestFetches_;
      if (manifestFailures_ > 0) {
        --manifestFailures_;
        return Reply::NotFound();
      }
      return Reply::Ok(manifest_);
    });
    server_.SetFallback([this](const ReceivedRequest& r) {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = bodies_.find(r.Path());
      if (it == bodies_.end()) return Reply::NotFound();
      fetched_.push_back(r.Path());
      return Reply::Ok(it->second);
    });
    downloads_ = platform::portable::MakeDownloads(testing::TestCertificatePem());
    platform::Services services = platform::Current();
    services.windows = &windows_;
    services.downloads = downloads_.get();
    scope_ = std::make_unique<platform::ScopedServices>(services);
  }
  void TearDown() override {
    scope_.reset();
    fs::current_path(original_);
    ReleaseWindowStates();
  }

  // Serves `body` at /files/<name> and gives its URL.
  std::string Serve(const std::string& name, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    bodies_["/files/" + name] = body;
    return server_.Url("/files/" + name);
  }
  std::vector<std::string> Fetched() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fetched_;
  }

  UpdateContext Context() {
    UpdateContext c;
    c.origin = server_.Origin();
    c.runDirectory = G(run_.string());
    c.recordFile = "Update.dat";
    c.recordVersion = [this](const Bytes& v) {
      written_.push_back(v);
      platform::Current().files->WriteAll("Update.dat", v);
    };
    return c;
  }

  // Opens the window; VerifyWindow is clicked `clicks` times once it is up.
  bool Run(WalkWindow which, int clicks = 1) {
    return RunVerifyWindow(which, Context(), [this, which, clicks](platform::Window&) {
      for (int i = 0; which == WalkWindow::kVerify && i < clicks; ++i) {
        windows_.PostClick("VerifyWindow", Verify().button);
      }
    });
  }
  HeadlessWindow* Window(WalkWindow which) {
    return windows_.FindWindow(which == WalkWindow::kVerify ? "VerifyWindow" : "UpdateWindow");
  }
  std::vector<Text> Progress(WalkWindow which) { return Window(which)->TextHistory(Verify().progress); }
  Text Status(WalkWindow which) { return Window(which)->GetText(Verify().status); }
  std::string Resource(const std::string& rel) const { return testing::ReadFile(run_ / "Resource" / rel); }

  TempDir root_;
  fs::path run_, original_;
  HttpServer server_{HttpServer::kHttps};
  HeadlessWindowSystem windows_;
  std::unique_ptr<platform::DownloadService> downloads_;
  std::unique_ptr<platform::ScopedServices> scope_;
  std::string manifest_ = G("{\"news\":[]}");
  std::string version_ = "1.0.6";
  std::atomic<int> versionFetches_{0}, manifestFetches_{0}, manifestFailures_{0};
  std::mutex mutex_;
  std::map<std::string, std::string> bodies_;
  std::vector<std::string> fetched_;
  std::vector<Bytes> written_;
};

TEST_F(WalkTest, EmptyNewsArray) {
  for (WalkWindow which : {WalkWindow::kVerify, WalkWindow::kUpdate}) {
    EXPECT_TRUE(Run(which));
    EXPECT_EQ(Progress(which), std::vector<Text>{"0/0"});
  }
  EXPECT_EQ(Status(WalkWindow::kVerify), G("客户端文件验证完成！"));
  EXPECT_EQ(Status(WalkWindow::kUpdate), G("正在自动更新，请稍后..."));
  EXPECT_EQ(Window(WalkWindow::kUpdate)->Form().title, G("发现新版本"));
  EXPECT_FALSE(fs::exists(run_ / "Update.dat"));
}

TEST_F(WalkTest, UpToDateFilesAreNeitherFetchedNorRecorded) {
  const std::vector<std::pair<std::string, std::string>> files = {{"a.pak", "alpha"}, {"data/b.pak", "beta"}};
  std::vector<Entry> entries;
  for (const auto& [name, body] : files) {
    fs::create_directories((run_ / "Resource" / name).parent_path());
    std::ofstream(run_ / "Resource" / name) << body;
    entries.push_back({"/" + name, testing::ReferenceMd5(body), Serve(name, body)});
  }
  manifest_ = Manifest(entries);
  for (WalkWindow which : {WalkWindow::kVerify, WalkWindow::kUpdate}) {
    EXPECT_TRUE(Run(which));
    EXPECT_EQ(Progress(which), (std::vector<Text>{"0/2", G("效验文件：1/2"), G("效验文件：2/2")}));
  }
  EXPECT_EQ(Status(WalkWindow::kVerify), G("客户端文件验证完成！"));
  EXPECT_EQ(Status(WalkWindow::kUpdate), G("正在自动更新，请稍后..."));
  EXPECT_TRUE(Fetched().empty());
  EXPECT_EQ(versionFetches_, 0);
  EXPECT_FALSE(fs::exists(run_ / "Update.dat"));
  EXPECT_EQ(manifestFetches_, 2);  // once per opening
}

TEST_F(WalkTest, MissingAndDifferingFilesAreDeliveredAndEachDownloadRenewsTheRecord) {
  fs::create_directories(run_ / "Resource");
  std::ofstream(run_ / "Resource" / "old.pak") << "stale";
  manifest_ = Manifest({
      {"/old.pak", testing::ReferenceMd5("fresh"), Serve("old.pak", "fresh")},
      {"/new/deeper/b.pak", testing::ReferenceMd5("b"), Serve("b.pak", "b")},  // folders new to the client
      {"data/c.pak", testing::ReferenceMd5("c"), Serve("c.pak", "c")},        // no leading "/": beside the base name
  });
  EXPECT_TRUE(Run(WalkWindow::kUpdate));
  EXPECT_EQ(Resource("old.pak"), "fresh");
  EXPECT_EQ(Resource("new/deeper/b.pak"), "b");
  EXPECT_EQ(testing::ReadFile(run_ / "Resourcedata" / "c.pak"), "c");
  EXPECT_EQ(versionFetches_, 3);
  EXPECT_EQ(written_, (std::vector<Bytes>{"1.0.6", "1.0.6", "1.0.6"}));
  EXPECT_EQ(testing::ReadFile(run_ / "Update.dat"), "1.0.6");
  EXPECT_EQ(Status(WalkWindow::kUpdate), G("客户端更新完成！请关闭窗口。"));
}

TEST_F(WalkTest, MissingBaseDirectoryIsCreated) {
  manifest_ = Manifest({{"/a.pak", testing::ReferenceMd5("a"), Serve("a.pak", "a")}});
  EXPECT_TRUE(Run(WalkWindow::kVerify));
  EXPECT_EQ(Resource("a.pak"), "a");
  EXPECT_EQ(Status(WalkWindow::kVerify), G("客户端文件验证完成！"));
}

TEST_F(WalkTest, LowerCaseDigestsNeverMatch) {
  fs::create_directories(run_ / "Resource");
  std::ofstream(run_ / "Resource" / "a.pak") << "a";
  std::string lower = testing::ReferenceMd5("a");
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  manifest_ = Manifest({{"/a.pak", lower, Serve("a.pak", "a")}});
  EXPECT_TRUE(Run(WalkWindow::kVerify));
  EXPECT_TRUE(Run(WalkWindow::kVerify));
  EXPECT_EQ(Fetched().size(), 2u);
}

TEST_F(WalkTest, HostileEntriesWriteNothingOutsideTheRunDirectory) {
  fs::create_directories(run_ / "Resource");
  fs::create_directories(root_.path() / "outside");
  fs::create_directory_symlink(root_.path() / "outside", run_ / "Resource" / "link");
  std::string url = Serve("evil.pak", "evil");
  std::vector<Entry> entries;
  for (const char* file : {"/../../evil.pak", "/sub/../../../evil.pak", "../evil.pak", "/.../evil.pak",
                           "C:/evil.pak", "/d:evil.pak", "//127.0.0.1/share/evil.pak", "\\\\\\\\host\\\\evil.pak",
                           "/CON", "/aux.txt", "/sub/Lpt1.pak", "/com9 .x", "/link/evil.pak", "/link"}) {
    entries.push_back({file, testing::ReferenceMd5("evil"), url});
  }
  entries.push_back({"/good.pak", testing::ReferenceMd5("good"), Serve("good.pak", "good")});
  manifest_ = Manifest(entries);
  EXPECT_TRUE(Run(WalkWindow::kVerify));
  EXPECT_EQ(Fetched(), std::vector<std::string>{"/files/good.pak"});
  EXPECT_EQ(Progress(WalkWindow::kVerify).back(), G("效验文件：15/15"));
  EXPECT_TRUE(fs::is_empty(root_.path() / "outside"));
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root_.path())) {
    names.insert(e.path().lexically_relative(root_.path()).string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"run", "run/Resource", "run/Resource/link", "run/Resource/good.pak",
                                          "run/Update.dat", "outside"}));
}

TEST_F(WalkTest, FailedDownloadPutsTheRecordBackAndSaysSo) {
  manifest_ = Manifest({
      {"/good.pak", testing::ReferenceMd5("good"), Serve("good.pak", "good")},
      {"/gone.pak", testing::ReferenceMd5("gone"), server_.Url("/files/missing.pak")},
  });
  // With a record: it is put back as it was.
  std::ofstream("Update.dat") << "old record";
  EXPECT_FALSE(Run(WalkWindow::kUpdate));
  EXPECT_EQ(Resource("good.pak"), "good");
  EXPECT_FALSE(fs::exists(run_ / "Resource" / "gone.pak"));
  EXPECT_EQ(written_.size(), 1u);  // the good file wrote it, the failed one did not
  EXPECT_EQ(versionFetches_, 1);
  EXPECT_EQ(testing::ReadFile(run_ / "Update.dat"), "old record");
  EXPECT_EQ(Status(WalkWindow::kUpdate), G("部分文件更新失败，请重新检查更新！"));

  // Without one: none is left behind.
  fs::remove(run_ / "Update.dat");
  fs::remove(run_ / "Resource" / "good.pak");
  EXPECT_FALSE(Run(WalkWindow::kVerify));
  EXPECT_FALSE(fs::exists(run_ / "Update.dat"));
  EXPECT_EQ(Status(WalkWindow::kVerify), G("部分文件更新失败，请重新检查更新！"));
}

TEST_F(WalkTest, ManifestThatCannotBeFetchedIsTriedOnceMore) {
  manifestFailures_ = 2;
  EXPECT_FALSE(Run(WalkWindow::kVerify));
  EXPECT_EQ(manifestFetches_, 2);
  EXPECT_EQ(Progress(WalkWindow::kVerify), std::vector<Text>{"0/0"});
  EXPECT_EQ(Status(WalkWindow::kVerify), G("获取更新列表失败，请检查网络后重试！"));

  // Fetched at the second try: the walk goes on with it.
  manifest_ = Manifest({{"/a.pak", testing::ReferenceMd5("a"), Serve("a.pak", "a")}});
  manifestFailures_ = 1;
  EXPECT_TRUE(Run(WalkWindow::kUpdate));
  EXPECT_EQ(Resource("a.pak"), "a");
  EXPECT_EQ(Status(WalkWindow::kUpdate), G("客户端更新完成！请关闭窗口。"));
}

TEST_F(WalkTest, SecondClickWhileHashingRunsANestedWalk) {
  fs::create_directories(run_ / "Resource");
  std::ofstream(run_ / "Resource" / "a.pak") << "a";
  manifest_ = Manifest({{"/a.pak", testing::ReferenceMd5("a"), Serve("a.pak", "a")}, {"/b.pak", testing::ReferenceMd5("b"), Serve("b.pak", "b")}});
  // Both clicks are queued: the first starts the walk, and the digest's pump
  // runs the second inside it.
  EXPECT_TRUE(Run(WalkWindow::kVerify, 2));
  EXPECT_EQ(Progress(WalkWindow::kVerify),
            (std::vector<Text>{"0/2", "0/2", G("效验文件：1/2"), G("效验文件：2/2"), G("效验文件：1/2"),
                               G("效验文件：2/2")}));
  EXPECT_EQ(Resource("b.pak"), "b");
  // The inner walk delivered b.pak; the outer one found it in place.
  EXPECT_EQ(Fetched(), std::vector<std::string>{"/files/b.pak"});
}

}  // namespace
}  // namespace corvenhal::updater
