// The MainWindow commands that other subsystems supply: the announcement at
// start, the sponsorship page, the verification and settings windows and the
// enter-game flow. Each is an attachment point that the owning subsystem fills.
#pragma once

#include "platform/window.h"
#include "text/text.h"

namespace corvenhal::app {

// The text written into the announcement box at start.
Text AnnouncementText();
// 友情赞助: opens the page that the sponsorship note names.
void OpenSponsorPage();
// 检查更新: VerifyWindow, modal.
void OpenVerifyWindow();
// 游戏设置: SettingsWindow, modal.
void OpenSettingsWindow();
// 进入游戏: the version gate in front of the game.
void EnterGame(platform::Window& mainWindow);

}  // namespace corvenhal::app
