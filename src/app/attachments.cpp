#include "app/attachments.h"

namespace corvenhal::app {

// Not attached yet: the announcement service, the updater and the settings
// window bring these.
Text AnnouncementText() { return Text(); }
void OpenSponsorPage() {}
void OpenVerifyWindow() {}
void OpenSettingsWindow() {}
void EnterGame(platform::Window&) {}

}  // namespace corvenhal::app
