// Process-wide state: lives for the whole run and is released by the shutdown
// routine on every exit path.
#pragma once

#include <functional>
#include <vector>

#include "text/text.h"

namespace corvenhal::app {

struct AppState {
  Bytes localVersion;   // installed version, deciphered from Update.dat
  Bytes remoteVersion;  // version text last fetched from the update server
  // The pending request-header list of the share-note request is the
  // announcement's (announce::HeaderNames/HeaderValues); start-up empties it
  // and the shutdown routine releases it with the rest of this state.
};

AppState& State();

// Resets the state for a new run (start-up).
void ResetState();

// Other subsystems keep process-wide items of their own (window state); they
// register how to release them, and the shutdown routine runs these once.
void AtShutdown(std::function<void()> release);

// Releases the process-wide state. Runs once per run however often it is
// called; start-up arms it again.
void Shutdown();

}  // namespace corvenhal::app
