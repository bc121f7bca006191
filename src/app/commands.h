// MainWindow commands that need nothing but the shell.
#pragma once

#include "text/text.h"

namespace corvenhal::app {

enum class WebPage { kOfficialSite, kUserCentre, kRegister, kLostPassword, kGuide };

// The fixed address of a web page: a host of the build plus a fixed path.
Text WebLink(WebPage page);

// Hands a URL to the browser. Nothing is opened once the program is ending.
void OpenLink(const Text& url);

// 快捷方式: a desktop shortcut starting this executable; replaces an existing
// one. Failures are silent.
void CreateDesktopShortcut();

// The shortcut's name, without the platform's extension.
Text ShortcutName();

}  // namespace corvenhal::app
