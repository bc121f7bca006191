#include "app/attachments.h"

#include "announce/share_note.h"
#include "app/app_state.h"
#include "app/commands.h"
#include "app/sponsor_page.h"
#include "build_config.h"
#include "platform/services.h"
#include "settings/settings_window.h"

namespace corvenhal::app {

// The announcement, sponsorship and settings commands; the enter-game flow
// and the verification window live in their own files.
Text AnnouncementText() { return announce::FetchShareNote(build::kShareOrigin, build::kAnnounceLink); }
void OpenSponsorPage() {
  // The note comes from the network: only a web address is handed on.
  Text address = SponsorPageAddress(announce::FetchShareNote(build::kShareOrigin, build::kSponsorLink));
  if (!address.empty()) OpenLink(address);
}
void OpenSettingsWindow() {
  // The settings record lives for the run; the first opening arranges its
  // release at shutdown, which also re-arms this for the next run.
  static bool releaseRegistered = false;
  if (!releaseRegistered) {
    releaseRegistered = true;
    AtShutdown([] {
      settings::ResetRecord();
      releaseRegistered = false;
    });
  }
  if (platform::WindowSystem* windows = platform::Current().windows) settings::OpenSettingsWindow(*windows);
}

}  // namespace corvenhal::app
