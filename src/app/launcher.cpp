#include "app/launcher.h"

#include <cstdlib>

#include "app/app_state.h"
#include "app/attachments.h"
#include "app/gbk.h"
#include "app/main_window.h"
#include "app/version_store.h"
#include "platform/automation.h"
#include "platform/services.h"
#include "platform/window.h"

namespace corvenhal::app {
namespace {

// Runs the shutdown routine when start-up returns by any path; the atexit hook
// covers a process that ends without returning.
class ShutdownOnExit {
 public:
  ShutdownOnExit() {
    static bool registered = false;
    if (!registered) {
      registered = true;
      std::atexit([] { Shutdown(); });
    }
  }
  ~ShutdownOnExit() { Shutdown(); }
  ShutdownOnExit(const ShutdownOnExit&) = delete;
  ShutdownOnExit& operator=(const ShutdownOnExit&) = delete;
};

// The executable's directory: its full path cut at the last separator.
void EnterProgramDirectory(platform::SystemInfo& system) {
  Text exe = system.ExecutablePath();
  long cut = text::FindLast(exe, std::string(1, system.PathSeparator()));
  if (cut == text::kNotFound) return;
  Text directory = text::Left(exe, cut - 1);
  system.SetCurrentDirectory(directory.empty() ? Text(1, system.PathSeparator()) : directory);
}

}  // namespace

int RunLauncher() {
  platform::Services& services = platform::Current();
  platform::WindowSystem& windows = *services.windows;
  platform::ComScope ole;  // the GUI thread's OLE initialisation, before the first window

  EnterProgramDirectory(*services.system);
  ResetState();
  ShutdownOnExit shutdown;

  // MainWindow's creation: the game-directory check comes before anything else
  // (no request, no read of Update.dat), and the window appears only once it
  // has passed.
  if (!services.files->Exists(kMarkerFile)) {
    windows.MessageBox(Gbk("出错了！不是游戏目录\r\n\r\n请将登录器复制到Corvenhal根目录下运行！"), Gbk("信息："));
    return 0;
  }
  std::shared_ptr<platform::Window> main = windows.Open(MainWindowForm(), platform::WindowRole::kMain);
  AttachMainWindowHandlers(*main);
  main->SetText(Main().announcement, AnnouncementText());
  State().localVersion = ReadInstalledVersion();
  main->SetText(Main().versionLabel, VersionCaption(State().localVersion));

  windows.RunUntilClosed(*main);
  return 0;
}

}  // namespace corvenhal::app
