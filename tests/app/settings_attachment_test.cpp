#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/attachments.h"
#include "app/launcher.h"
#include "app/main_window.h"
#include "platform/headless/headless_window_system.h"
#include "platform/portable/portable.h"
#include "settings/settings_window.h"
#include "support/placed_executable.h"
#include "support/temp_dir.h"

namespace corvenhal::app {
namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessWindowSystem;

TEST(SettingsAttachmentTest, SettingsButtonOpensTheWindowModallyAndShutdownEmptiesTheRecord) {
  testing::TempDir game;
  fs::path original = fs::current_path();
  std::ofstream(game.path() / kMarkerFile) << "";
  HeadlessWindowSystem windows;
  testing::PlacedExecutable system((game.path() / "corvenhal-launcher").string());
  platform::Services services = platform::Current();
  services.system = &system;
  services.windows = &windows;

  const settings::SettingsControls& n = settings::Controls();
  bool mainWaited = false;
  windows.PostClick("MainWindow", Main().settings);
  windows.PostChoose("SettingsWindow", n.resolution, 2);
  windows.PostClick("SettingsWindow", n.confirm);
  // Runs once the settings window has closed and the click handler returned.
  windows.Post([&] { mainWaited = !windows.FindWindow("SettingsWindow")->IsOpen(); });
  {
    platform::ScopedServices scope(services);
    EXPECT_EQ(RunLauncher(), 0);
  }
  fs::current_path(original);

  ASSERT_EQ(windows.Opened().size(), 2u);
  EXPECT_EQ(windows.Opened()[1]->Form().name, "SettingsWindow");
  EXPECT_EQ(windows.Opened()[1]->Role(), platform::WindowRole::kModal);
  EXPECT_TRUE(mainWaited);
  EXPECT_EQ(game.Read(settings::kSettingsFileName),
            settings::SettingsFileBytes({"1280", "800", "0", "1", "1", "3"}));
  // The record lived for that run only.
  EXPECT_EQ(settings::Record(), settings::SettingsRecord());
}

}  // namespace
}  // namespace corvenhal::app
