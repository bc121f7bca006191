#include "app/commands.h"

#include "app/gbk.h"
#include "build_config.h"
#include "platform/services.h"
#include "platform/window.h"

namespace corvenhal::app {
namespace {

bool Ending() {
  platform::WindowSystem* windows = platform::Current().windows;
  return windows && windows->Ending();
}

}  // namespace

Text WebLink(WebPage page) {
  switch (page) {
    case WebPage::kOfficialSite: return build::kOfficialUrl;
    case WebPage::kUserCentre: return build::kAccountUrl;
    case WebPage::kRegister: return Text(build::kAccountUrl) + "/do.php?ac=account";
    case WebPage::kLostPassword: return Text(build::kAccountUrl) + "/do.php?ac=lostpasswd";
    case WebPage::kGuide: return build::kGuideUrl;
  }
  return Text();
}

void OpenLink(const Text& url) {
  if (Ending()) return;
  platform::Current().shell->OpenUrl(url);
}

Text ShortcutName() { return Gbk("Corvenhal启动器"); }

void CreateDesktopShortcut() {
  if (Ending()) return;
  platform::Services& s = platform::Current();
  // The target is the executable's own full path: its directory, a separator
  // and its file name.
  s.shell->CreateShortcut(s.shell->DesktopDirectory(), ShortcutName(), s.system->ExecutablePath());
}

}  // namespace corvenhal::app
