// The verification walk and its two windows: VerifyWindow (check for updates,
// walks on each click) and UpdateWindow (new version found, walks at once and
// on each click). The walk checks every file the server's manifest lists by
// MD5 and downloads the missing and differing ones.
#pragma once

#include <functional>

#include "platform/window.h"
#include "text/text.h"

namespace corvenhal::updater {

enum class WalkWindow { kVerify, kUpdate };

// What a walk needs from the launcher shell.
struct UpdateContext {
  Text origin;        // the update server, scheme and host without a trailing "/"
  Text runDirectory;  // the program's directory, without a trailing separator
  Text recordFile;    // the installed-version record, put back after a walk with a failed download
  // After each successful download: keep the version text just fetched as the
  // published version and write it as the installed one.
  std::function<void(const Bytes& version)> recordVersion;
};

// Window state, one pair per window, kept for the run.
struct WindowState {
  Text baseDirectory;  // run directory + "/Resource"
  Text manifest;       // the body of /update/Updata.ini fetched when the window opened
};
WindowState& StateOf(WalkWindow which);
// Releases both pairs (shutdown).
void ReleaseWindowStates();

struct VerifyControls {
  Text picture, progress, status, button;
};
const VerifyControls& Verify();
const platform::WindowForm& VerifyWindowForm();
const platform::WindowForm& UpdateWindowForm();

// One walk in `window`. False when a download failed or the manifest could
// not be read.
bool VerifyClientFiles(platform::Window& window, WalkWindow which, const UpdateContext& context);

// Opens the window modally on the window system in force and returns when it
// has closed. False when any walk in it failed. `opened`, when given, runs
// once the window's creation work is done (a driver queues its clicks there).
bool RunVerifyWindow(WalkWindow which, const UpdateContext& context,
                     const std::function<void(platform::Window&)>& opened = {});

}  // namespace corvenhal::updater
