#include "app/client_update.h"

#include "app/app_state.h"
#include "app/attachments.h"
#include "app/version_store.h"
#include "build_config.h"
#include "platform/services.h"

namespace corvenhal::app {
namespace {

// The window pairs of both update windows live for the run; the first opening
// arranges their release at shutdown, which also re-arms this for the next run.
void KeepWindowStatesForTheRun() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  AtShutdown([] {
    updater::ReleaseWindowStates();
    registered = false;
  });
}

}  // namespace

Text RunDirectory() {
  platform::SystemInfo& system = *platform::Current().system;
  Text exe = system.ExecutablePath();
  long cut = text::FindLast(exe, Text(1, system.PathSeparator()));
  if (cut == text::kNotFound) return Text();
  return text::Left(exe, cut - 1);
}

updater::UpdateContext LauncherUpdateContext() {
  KeepWindowStatesForTheRun();
  updater::UpdateContext context;
  context.origin = build::kUpdateOrigin;
  context.runDirectory = RunDirectory();
  context.recordFile = kVersionFileName;
  context.recordVersion = [](const Bytes& version) {
    State().remoteVersion = version;
    WriteInstalledVersion(version);
  };
  return context;
}

bool SameVersion(const Bytes& remote, const Bytes& local) { return remote == local; }

void OpenVerifyWindow() { updater::RunVerifyWindow(updater::WalkWindow::kVerify, LauncherUpdateContext()); }

}  // namespace corvenhal::app
