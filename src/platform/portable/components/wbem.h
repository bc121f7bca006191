// "WbemScripting.SWbemLocator" on this build: the WMI scripting objects, as far
// as a query of the video controllers reaches ("ConnectServer", "ExecQuery",
// "_NewEnum", "Properties_", "Item", "Value"). The controllers are the display
// controllers (PCI class 0x03) that the system lists, named from the PCI ID
// database.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/component.h"

namespace corvenhal::platform {

// Where the display controllers are looked up.
struct DisplayControllerSources {
  // One directory per PCI device, each with "class", "vendor" and "device".
  std::string pciDevices = "/sys/bus/pci/devices";
  // The PCI ID database; empty for the one libpci was built with.
  std::string pciIds;
};

// The names of the display controllers, in the order of their device
// directories' names (the PCI addresses).
std::vector<std::u16string> ListDisplayControllers(const DisplayControllerSources& sources);

// A locator over this system's controllers, and one over other sources.
std::shared_ptr<Component> NewWbemLocatorComponent();
std::shared_ptr<Component> NewWbemLocatorComponentFrom(const DisplayControllerSources& sources);

}  // namespace corvenhal::platform
