#include "app/app_state.h"

#include "announce/share_note.h"

namespace corvenhal::app {
namespace {

std::vector<std::function<void()>>& Releases() {
  static std::vector<std::function<void()>> releases;
  return releases;
}

bool& Armed() {
  static bool armed = false;
  return armed;
}

}  // namespace

AppState& State() {
  static AppState state;
  return state;
}

void ResetState() {
  State() = AppState{};
  announce::ClearRequestHeaders();
  Armed() = true;
}

void AtShutdown(std::function<void()> release) { Releases().push_back(std::move(release)); }

void Shutdown() {
  if (!Armed()) return;
  Armed() = false;
  for (auto it = Releases().rbegin(); it != Releases().rend(); ++it) (*it)();
  Releases().clear();
  AppState& s = State();
  s.localVersion.clear();
  s.localVersion.shrink_to_fit();
  s.remoteVersion.clear();
  s.remoteVersion.shrink_to_fit();
  announce::ReleaseRequestHeaders();
}

}  // namespace corvenhal::app
