// The portable (Linux) backends of the platform services.
#pragma once

#include "platform/services.h"

namespace corvenhal::platform::portable {

FileSystem& Files();
Processes& ProcessStarter();
Shell& DesktopShell();
SystemInfo& System();
HttpService& Http();
MachineInfo& Machine();

// File, process, shell, system and machine services of this machine; no
// window system.
Services DefaultServices();

}  // namespace corvenhal::platform::portable
