#include "platform/portable/portable.h"

#include "platform/portable/download_curl.h"

namespace corvenhal::platform::portable {

Services DefaultServices() {
  Services s;
  s.files = &Files();
  s.processes = &ProcessStarter();
  s.shell = &DesktopShell();
  s.system = &System();
  s.http = &Http();
  s.machine = &Machine();
  s.downloads = &Downloads();
  return s;
}

}  // namespace corvenhal::platform::portable
