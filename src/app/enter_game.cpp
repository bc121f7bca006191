// 进入游戏: the version gate in front of the game.
#include "app/app_state.h"
#include "app/attachments.h"
#include "app/client_update.h"
#include "app/main_window.h"
#include "app/version_store.h"
#include "http/winhttp_fetch.h"
#include "platform/services.h"
#include "platform/window.h"
#include "resources.h"

namespace corvenhal::app {

void EnterGame(platform::Window& mainWindow) { EnterGameWith(mainWindow, LauncherUpdateContext()); }

void EnterGameWith(platform::Window& mainWindow, const updater::UpdateContext& context) {
  platform::Services& services = platform::Current();
  AppState& state = State();

  state.remoteVersion = text::AsText(http::WinHttpFetch(context.origin + "/update/Vers.txt"));
  const Bytes local = ReadInstalledVersion();
  state.localVersion = local;

  if (services.files->Exists(kVersionFileName)) {
    if (!SameVersion(state.remoteVersion, local)) {
      updater::RunVerifyWindow(updater::WalkWindow::kUpdate, context);
      return;
    }
  } else {
    // No record: update first, then start the game in the same press.
    updater::RunVerifyWindow(updater::WalkWindow::kUpdate, context);
    if (services.windows && services.windows->Ending()) return;
  }

  // The version read before any update, not a fresh read.
  mainWindow.SetText(Main().versionLabel, VersionCaption(local));
  // Rewritten on every start through the atomic helper: a running copy keeps
  // its old image and the new one is complete. A failed write leaves the old
  // file to be started.
  const Text starter = context.runDirectory + kStarterName;
  services.files->WriteAll(starter, resources::Get(kStarterResource));
  services.processes->Start(starter);
}

}  // namespace corvenhal::app
