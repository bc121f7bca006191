#include "platform/portable/portable.h"

namespace corvenhal::platform::portable {

Services DefaultServices() {
  Services s;
  s.files = &Files();
  s.processes = &ProcessStarter();
  s.shell = &DesktopShell();
  s.system = &System();
  s.machine = &Machine();
  return s;
}

}  // namespace corvenhal::platform::portable
