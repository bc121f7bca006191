// corvenhal-launcher: copied into the game's directory and started instead of
// the game.
#include "app/launcher.h"
#include "platform/portable/fltk/fltk_window_system.h"
#include "platform/services.h"

int main() {
  corvenhal::platform::portable::FltkWindowSystem windows;
  corvenhal::platform::Current().windows = &windows;
  return corvenhal::app::RunLauncher();
}
