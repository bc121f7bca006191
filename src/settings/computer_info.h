// The four lines about the computer that SettingsWindow shows.
#pragma once

#include <functional>

#include "platform/services.h"
#include "text/text.h"

namespace corvenhal::settings {

// The host name when it fits in 15 characters; empty when longer or unreadable.
Text HostNameLine(platform::MachineInfo& machine);
// 100 spaces whose first 48 bytes are the processor brand, ending at its first
// zero byte; empty when the brand cannot be read.
Text ProcessorLine(platform::MachineInfo& machine);
// Total physical memory in whole megabytes followed by " MB"; empty when it
// cannot be read.
Text MemoryLine(platform::MachineInfo& machine);

// Queries the video controllers through the automation bridge and hands each
// one's name to `shown`, in the order listed; pending window events are pumped
// after every fetch. A failing step ends the query without a name.
void QueryVideoControllers(const std::function<void(const Text&)>& shown);

struct ComputerInfo {
  Text hostName;
  Text processor;
  Text memory;
  Text video;  // the last controller listed; empty when there is none
};
// The four lines from the services in force.
ComputerInfo ReadComputerInfo();

}  // namespace corvenhal::settings
