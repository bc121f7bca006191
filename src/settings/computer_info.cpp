#include "settings/computer_info.h"

#include <algorithm>

#include "platform/automation.h"
#include "platform/window.h"

namespace corvenhal::settings {
namespace {

// Room the host-name buffer leaves for the name (16 bytes with the zero).
constexpr size_t kHostNameRoom = 15;
constexpr size_t kProcessorLineBytes = 100;
constexpr size_t kBrandBytes = 48;

void PumpEvents() {
  if (platform::WindowSystem* windows = platform::Current().windows) windows->PumpEvents();
}

}  // namespace

Text HostNameLine(platform::MachineInfo& machine) {
  Text name = text::AsText(machine.HostName());
  return name.size() > kHostNameRoom ? Text() : name;
}

Text ProcessorLine(platform::MachineInfo& machine) {
  Bytes brand = machine.ProcessorBrand();
  if (brand.empty()) return Text();
  Text line(kProcessorLineBytes, ' ');
  std::copy_n(brand.begin(), std::min(brand.size(), kBrandBytes), line.begin());
  return text::AsText(line);
}

Text MemoryLine(platform::MachineInfo& machine) {
  std::uint64_t bytes = machine.PhysicalMemory();
  if (bytes == 0) return Text();
  return text::NumberToText(static_cast<long long>(bytes >> 20)) + " MB";
}

void QueryVideoControllers(const std::function<void(const Text&)>& shown) {
  platform::AutomationBridge bridge;
  platform::AutomationObject locator;
  bridge.Create(locator, "WbemScripting.SWbemLocator");
  platform::AutomationObject services = bridge.CallObject(locator, "ConnectServer", ".", "root\\CIMV2");
  if (services.IsEmpty()) return;
  platform::AutomationObject controllers =
      bridge.CallObject(services, "ExecQuery", "SELECT * FROM Win32_VideoController");
  if (controllers.IsEmpty()) return;
  platform::AutomationObject enumerator = bridge.CallObject(controllers, "_NewEnum");
  if (enumerator.IsEmpty()) return;
  platform::AutomationVariant item;
  for (;;) {
    bool fetched = bridge.Next(enumerator, item);
    if (fetched) {
      platform::AutomationObject properties = bridge.GetObject(item.AsObject(), "Properties_");
      platform::AutomationObject name = bridge.CallObject(properties, "Item", "Name");
      Text value = bridge.GetText(name, "value");
      if (bridge.LastFailure().empty()) shown(value);
    }
    // Keeps the window painted and answering while the query runs.
    PumpEvents();
    if (!fetched) break;
  }
}

ComputerInfo ReadComputerInfo() {
  ComputerInfo info;
  if (platform::MachineInfo* machine = platform::Current().machine) {
    info.hostName = HostNameLine(*machine);
    info.processor = ProcessorLine(*machine);
    info.memory = MemoryLine(*machine);
  }
  QueryVideoControllers([&info](const Text& name) { info.video = name; });
  return info;
}

}  // namespace corvenhal::settings
