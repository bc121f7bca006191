// The launcher's side of the client updater: where the client lives, which
// server updates it, and how a walk records the version it brought.
#pragma once

#include "platform/window.h"
#include "text/text.h"
#include "updater/verify_window.h"

namespace corvenhal::app {

// The directory of the launcher's executable, without a trailing separator.
Text RunDirectory();

// The update server of the build, the run directory, Update.dat, and
// RemoteVersion kept in step with what a walk writes.
updater::UpdateContext LauncherUpdateContext();

// The starter's file name below the run directory, and its embedded image.
inline constexpr char kStarterName[] = "\\Corvenhal.exe";
inline constexpr char kStarterResource[] = "Corvenhal.exe";

// The enter-game gate against the update server and run directory of
// `context` (EnterGame uses the launcher's).
void EnterGameWith(platform::Window& mainWindow, const updater::UpdateContext& context);

// Versions are equal when they have the same bytes: no trimming, no case
// folding, no reading of version numbers.
bool SameVersion(const Bytes& remote, const Bytes& local);

}  // namespace corvenhal::app
