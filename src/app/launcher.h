// The entry routine's body: start-up, MainWindow, and the message loop.
#pragma once

namespace corvenhal::app {

// Runs the program on the services in force (platform::Current(), whose window
// system must be set). Gives the process's exit code.
int RunLauncher();

// The marker file of a game directory.
inline constexpr char kMarkerFile[] = "ORVELLE_SIG.sys";

}  // namespace corvenhal::app
