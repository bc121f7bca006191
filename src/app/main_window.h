// MainWindow: the window the program starts with and ends with.
#pragma once

#include "platform/window.h"
#include "text/text.h"

namespace corvenhal::app {

// Control names of MainWindow (program text).
struct MainControls {
  Text background, versionLabel, announcement;
  Text enterGame, checkUpdates, shortcut, officialSite, register_, sponsor, userCentre, lostPassword, guide,
      settings;
};
const MainControls& Main();

const platform::WindowForm& MainWindowForm();

// "当前版本号：" followed by the version taken as text.
Text VersionCaption(const Bytes& version);

// Attaches the click handlers of every button.
void AttachMainWindowHandlers(platform::Window& window);

}  // namespace corvenhal::app
