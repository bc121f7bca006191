#include "app/launcher.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/gbk.h"
#include "app/main_window.h"
#include "app/version_store.h"
#include "platform/headless/headless_window_system.h"
#include "platform/portable/portable.h"
#include "support/env.h"
#include "support/http_server.h"
#include "support/redirected_http.h"
#include "support/placed_executable.h"
#include "support/temp_dir.h"

namespace corvenhal::app {
namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessWindowSystem;
using testing::TempDir;

// The real file system, recording the names it was asked about.
class RecordingFiles final : public platform::FileSystem {
 public:
  bool Exists(const Text& p) override { return Note(p), real().Exists(p); }
  bool IsDirectory(const Text& p) override { return Note(p), real().IsDirectory(p); }
  bool ReadAll(const Text& p, Bytes& out) override { return Note(p), real().ReadAll(p, out); }
  std::unique_ptr<platform::FileWriter> BeginReplace(const Text& p) override { return Note(p), real().BeginReplace(p); }
  bool Remove(const Text& p) override { return Note(p), real().Remove(p); }
  bool CreateDirectory(const Text& p) override { return Note(p), real().CreateDirectory(p); }
  std::string NativePath(const Text& p) override { return real().NativePath(p); }
  std::vector<Text> touched;

 private:
  static platform::FileSystem& real() { return platform::portable::Files(); }
  void Note(const Text& p) { touched.push_back(p); }
};

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = fs::current_path();
    game_ = root_.path() / "game";
    fs::create_directories(game_);
    // Start from somewhere else, as a shortcut with another working directory would.
    fs::create_directories(root_.path() / "elsewhere");
    fs::current_path(root_.path() / "elsewhere");
  }
  void TearDown() override { fs::current_path(original_); }

  // Runs the launcher as if placed in the game directory. Every request,
  // whatever host the build values name, reaches server_.
  int Run(platform::WindowSystem& windows, platform::FileSystem& files) {
    testing::PlacedExecutable system((game_ / "corvenhal-launcher").string());
    testing::RedirectedHttp http = testing::RedirectedHttp::To(server_.Port());
    platform::Services services = platform::Current();
    services.system = &system;
    services.files = &files;
    services.windows = &windows;
    services.http = &http;
    platform::ScopedServices scope(services);
    return RunLauncher();
  }
  int Run() { return Run(windows_, files_); }

  platform::headless::HeadlessWindow* Main() { return windows_.FindWindow("MainWindow"); }

  testing::HttpServer server_{testing::HttpServer::kHttps};
  TempDir root_;
  fs::path game_;
  fs::path original_;
  RecordingFiles files_;
  HeadlessWindowSystem windows_;
};

TEST_F(LauncherTest, WithoutMarkerShowsOnlyTheMessageAndEndsWithZero) {
  // The working directory holds a marker, the program's directory does not.
  std::ofstream(root_.path() / "elsewhere" / kMarkerFile) << "";
  fs::path record = game_ / "Update.dat";
  std::ofstream(record) << "x";

  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(windows_.Messages().size(), 1u);
  EXPECT_EQ(windows_.Messages()[0].text, Gbk("出错了！不是游戏目录\r\n\r\n请将登录器复制到Corvenhal根目录下运行！"));
  EXPECT_EQ(windows_.Messages()[0].caption, Gbk("信息："));
  EXPECT_TRUE(windows_.Opened().empty());
  // Only the marker was looked at: Update.dat was not read, nothing was asked
  // of the network.
  EXPECT_EQ(files_.touched, std::vector<Text>{kMarkerFile});
  EXPECT_EQ(server_.ConnectionCount(), 0);
  EXPECT_EQ(fs::current_path(), game_);
}

TEST_F(LauncherTest, InGameDirectoryShowsMainWindowWithInstalledVersion) {
  std::ofstream(game_ / kMarkerFile) << "";
  fs::current_path(game_);
  ASSERT_TRUE(WriteInstalledVersion("1.0.5"));
  fs::current_path(root_.path() / "elsewhere");

  std::string seenLabel;
  windows_.Post([&] { seenLabel = Main()->GetText(app::Main().versionLabel); });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(windows_.Messages().empty());
  ASSERT_EQ(windows_.Opened().size(), 1u);
  auto* main = Main();
  EXPECT_EQ(main->Form().title, "Corvenhal ");
  EXPECT_EQ(main->Form().width, 640);
  EXPECT_EQ(main->Form().height, 628);
  EXPECT_EQ(main->Left(), 50);
  EXPECT_EQ(main->Top(), 50);
  EXPECT_EQ(seenLabel, Gbk("当前版本号：1.0.5"));
  // The announcement was asked for before the window ran.
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(State().localVersion, "");  // released by the shutdown routine
}

TEST_F(LauncherTest, MissingOrDamagedRecordShowsEmptyVersion) {
  std::ofstream(game_ / kMarkerFile) << "";
  for (const std::string& record : {std::string(), std::string("0123456789")}) {
    fs::remove(game_ / "Update.dat");
    if (!record.empty()) std::ofstream(game_ / "Update.dat", std::ios::binary) << record;
    HeadlessWindowSystem windows;
    std::string label;
    windows.Post([&] { label = windows.FindWindow("MainWindow")->GetText(app::Main().versionLabel); });
    EXPECT_EQ(Run(windows, files_), 0);
    EXPECT_EQ(label, Gbk("当前版本号：")) << "record of " << record.size() << " bytes";
  }
}

TEST_F(LauncherTest, ShortcutButtonWritesOneDesktopEntry) {
  std::ofstream(game_ / kMarkerFile) << "";
  testing::ScopedEnv home("HOME", root_.str());
  testing::ScopedEnv config("XDG_CONFIG_HOME", root_.str() + "/.config");
  windows_.PostClick("MainWindow", app::Main().shortcut);
  windows_.PostClick("MainWindow", app::Main().shortcut);
  EXPECT_EQ(Run(), 0);
  fs::path entry = root_.path() / "Desktop" / "Corvenhal启动器.desktop";
  std::string content = testing::ReadFile(entry);
  EXPECT_NE(content.find("Exec=\"" + (game_ / "corvenhal-launcher").string() + "\"\n"), std::string::npos) << content;
  EXPECT_EQ(std::distance(fs::directory_iterator(root_.path() / "Desktop"), fs::directory_iterator()), 1);
}

TEST_F(LauncherTest, WebButtonsOpenTheirPages) {
  std::ofstream(game_ / kMarkerFile) << "";
  std::string record = root_.str() + "/opened.txt";
  testing::ScopedEnv path("PATH", testing::InstallRecordingProgram(root_.str() + "/bin", "xdg-open", record) + ":/usr/bin:/bin");
  struct Case {
    Text button;
    WebPage page;
    std::string suffix;
  };
  const Case cases[] = {
      {app::Main().officialSite, WebPage::kOfficialSite, ""},
      {app::Main().userCentre, WebPage::kUserCentre, ""},
      {app::Main().register_, WebPage::kRegister, "/do.php?ac=account"},
      {app::Main().lostPassword, WebPage::kLostPassword, "/do.php?ac=lostpasswd"},
      {app::Main().guide, WebPage::kGuide, ""},
  };
  for (const auto& c : cases) {
    fs::remove(record);
    HeadlessWindowSystem windows;
    windows.PostClick("MainWindow", c.button);
    EXPECT_EQ(Run(windows, files_), 0);
    EXPECT_EQ(testing::WaitForFile(record), WebLink(c.page) + "\n");
    EXPECT_TRUE(text::EndsWith(WebLink(c.page), c.suffix));
  }
}

}  // namespace
}  // namespace corvenhal::app
