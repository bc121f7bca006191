#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/app_state.h"
#include "app/client_update.h"
#include "app/gbk.h"
#include "app/main_window.h"
#include "app/version_store.h"
#include "platform/headless/headless_window_system.h"
#include "platform/portable/download_curl.h"
#include "resources.h"
#include "support/env.h"
#include "support/http_server.h"
#include "support/temp_dir.h"

namespace corvenhal::app {
namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessWindowSystem;
using testing::HttpServer;
using testing::Reply;
using testing::TempDir;

// A game directory as the current directory, a real HTTPS update server, and
// a recording "wine" first on PATH that notes what it was asked to start.
class EnterGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = fs::current_path();
    game_ = root_.path() / "game";
    fs::create_directories(game_);
    fs::current_path(game_);
    wineRecord_ = root_.str() + "/wine.args";
    std::string bin = testing::InstallRecordingProgram(root_.str() + "/bin", "wine", wineRecord_);
    path_ = std::make_unique<testing::ScopedEnv>("PATH", bin + ":" + std::getenv("PATH"));
    server_.Route("/update/Updata.ini", Reply::Ok("{\"news\":[]}"));
    downloads_ = platform::portable::MakeDownloads(testing::TestCertificatePem());
    platform::Services services = platform::Current();
    services.windows = &windows_;
    services.downloads = downloads_.get();
    scope_ = std::make_unique<platform::ScopedServices>(services);
    ResetState();
    main_ = windows_.Open(MainWindowForm(), platform::WindowRole::kMain);
  }
  void TearDown() override {
    Shutdown();
    scope_.reset();
    fs::current_path(original_);
  }

  void Publish(const std::string& version, bool reachable = true) {
    if (reachable) {
      server_.Route("/update/Vers.txt", Reply::Ok(version));
    } else {
      server_.Route("/update/Vers.txt", Reply().Close());  // no answer at all
    }
  }
  // The player closes UpdateWindow once its walk has shown something (an
  // empty queue would close every window, the main one too).
  void CloseUpdateWindowWhenShown() {
    windows_.Post([this] {
      auto* w = windows_.FindWindow("UpdateWindow");
      if (w && w->IsOpen() && !w->TextHistory(updater::Verify().progress).empty()) {
        w->Close();
      } else {
        CloseUpdateWindowWhenShown();
      }
    });
  }
  void Press() {
    CloseUpdateWindowWhenShown();
    updater::UpdateContext context = LauncherUpdateContext();
    context.origin = server_.Origin();
    context.runDirectory = Gbk(game_.string());
    EnterGameWith(*main_, context);
  }
  int UpdateWindowsOpened() const {
    int n = 0;
    for (const auto& w : windows_.Opened()) n += w->Form().name == "UpdateWindow";
    return n;
  }
  Text Label() const { return main_->GetText(Main().versionLabel); }
  fs::path Starter() const { return game_ / "Corvenhal.exe"; }

  TempDir root_;
  fs::path game_, original_;
  std::string wineRecord_;
  std::unique_ptr<testing::ScopedEnv> path_;
  HttpServer server_{HttpServer::kHttps};
  HeadlessWindowSystem windows_;
  std::unique_ptr<platform::DownloadService> downloads_;
  std::unique_ptr<platform::ScopedServices> scope_;
  std::shared_ptr<platform::Window> main_;
};

TEST_F(EnterGameTest, VersionsAreComparedByteForByte) {
  using namespace std::string_literals;
  struct Case {
    const char* what;
    std::string remote;
    bool reachable;
    std::optional<std::string> record;
    bool updates;
    bool starts;
    std::string label;  // UTF-8, when the game starts
  };
  const std::vector<Case> cases = {
      {"equal", "1.0.5", true, "1.0.5", false, true, "当前版本号：1.0.5"},
      {"trailing CR LF", "1.0.5\r\n", true, "1.0.5", true, false, ""},
      {"same length, other bytes", "1.0.6", true, "1.0.5", true, false, ""},
      {"no record", "1.0.5", true, std::nullopt, true, true, "当前版本号："},
      {"no answer, empty record", "", false, "", false, true, "当前版本号："},
      {"no answer, a record", "", false, "1.0.5", true, false, ""},
      {"zero byte in the body", "1.0.5\0tail"s, true, "1.0.5", false, true, "当前版本号：1.0.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(game_ / "Update.dat");
    fs::remove(Starter());
    fs::remove(wineRecord_);
    if (c.record) {
      ASSERT_TRUE(WriteInstalledVersion(*c.record));
    }
    Publish(c.remote, c.reachable);
    main_->SetText(Main().versionLabel, "before");
    int before = UpdateWindowsOpened();

    Press();
    EXPECT_EQ(UpdateWindowsOpened() - before, c.updates ? 1 : 0);
    EXPECT_EQ(fs::exists(Starter()), c.starts);
    if (c.starts) {
      EXPECT_EQ(Label(), Gbk(c.label));
      EXPECT_EQ(testing::WaitForFile(wineRecord_), Starter().string() + "\n");
    } else {
      EXPECT_EQ(Label(), "before");
    }
    EXPECT_EQ(State().remoteVersion, text::AsText(c.remote));
  }
  // Every started starter was waited for by nobody and left no zombie.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(EnterGameTest, StarterIsRewrittenOnEveryStart) {
  ASSERT_TRUE(WriteInstalledVersion("1.0.5"));
  Publish("1.0.5");
  Press();
  ASSERT_EQ(fs::file_size(Starter()), 807936u);
  std::ofstream(Starter(), std::ios::trunc) << "damaged";
  Press();
  EXPECT_EQ(testing::ReadFile(Starter()), std::string(resources::Get(kStarterResource)));
  EXPECT_EQ(UpdateWindowsOpened(), 0);
}

TEST_F(EnterGameTest, PartlyFailedUpdateKeepsTheGateClosed) {
  server_.Route("/files/good.pak", Reply::Ok("good"));
  server_.Route("/update/Updata.ini",
                Reply::Ok("{\"news\":[{\"file\":\"/good.pak\",\"md5\":\"x\",\"url\":\"" + server_.Url("/files/good.pak") +
                          "\"},{\"file\":\"/gone.pak\",\"md5\":\"x\",\"url\":\"" + server_.Url("/files/gone.pak") +
                          "\"}]}"));
  ASSERT_TRUE(WriteInstalledVersion("1.0.5"));
  Publish("1.0.6");
  Press();
  EXPECT_EQ(UpdateWindowsOpened(), 1);
  EXPECT_EQ(testing::ReadFile(game_ / "Resource" / "good.pak"), "good");
  EXPECT_EQ(ReadInstalledVersion(), "1.0.5");  // put back after the failed download
  Press();
  EXPECT_EQ(UpdateWindowsOpened(), 2);
  EXPECT_FALSE(fs::exists(Starter()));
}

}  // namespace
}  // namespace corvenhal::app
