// sysinfo: the four lines about the computer that the settings window shows.
#include "settings/computer_info.h"
#include "tool.h"

namespace corvenhal::tool {
namespace {

constexpr char kSysinfoUsage[] = "usage: sysinfo [--raw]";

// Host name, processor, memory and video controller, one per line, exactly as
// the labels show them (the processor line keeps its trailing spaces).
int Sysinfo(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"raw"}, {})) return UsageError(args.Error());
  if (!args.Positionals().empty()) return UsageError(kSysinfoUsage);
  bool raw = args.Has("raw");
  settings::ComputerInfo info = settings::ReadComputerInfo();
  for (const Text* line : {&info.hostName, &info.processor, &info.memory, &info.video}) {
    PrintText(*line, raw);
    PrintBytes("\n");
  }
  return kOk;
}

}  // namespace

CORVENHAL_TOOL_COMMAND("sysinfo", "sysinfo [--raw]  (host name, processor, memory, video controller)", Sysinfo);

}  // namespace corvenhal::tool
