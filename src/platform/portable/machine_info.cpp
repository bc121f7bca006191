// Host name, processor brand and memory size of this machine.
#include <sys/sysinfo.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <string>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "platform/encodings.h"
#include "platform/portable/portable.h"

namespace corvenhal::platform::portable {
namespace {

constexpr size_t kBrandBytes = 48;

// The brand string of CPUID leaves 0x80000002..0x80000004; empty when the
// processor lacks them.
Bytes CpuidBrand() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned int a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(0x80000000u, &a, &b, &c, &d) || a < 0x80000004u) return Bytes();
  Bytes brand;
  for (unsigned int leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
    if (!__get_cpuid(leaf, &a, &b, &c, &d)) return Bytes();
    for (unsigned int reg : {a, b, c, d}) {
      char bytes[4];
      std::memcpy(bytes, &reg, sizeof bytes);
      brand.append(bytes, sizeof bytes);
    }
  }
  return brand;
#else
  return Bytes();
#endif
}

// The "model name" line of /proc/cpuinfo, cut or filled with zero bytes to the
// size of a brand string; empty when there is none.
Bytes CpuInfoModelName() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) != 0) continue;
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    size_t start = line.find_first_not_of(" \t", colon + 1);
    Bytes name = start == std::string::npos ? Bytes() : Utf8ToGbkText(line.substr(start));
    name.resize(kBrandBytes, '\0');
    return name;
  }
  return Bytes();
}

class PortableMachineInfo final : public MachineInfo {
 public:
  Text HostName() override {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return Text();
    return Utf8ToGbkText(buffer);
  }

  Bytes ProcessorBrand() override {
    Bytes brand = CpuidBrand();
    return brand.empty() ? CpuInfoModelName() : brand;
  }

  std::uint64_t PhysicalMemory() override {
    struct sysinfo info {};
    if (::sysinfo(&info) != 0) return 0;
    return static_cast<std::uint64_t>(info.totalram) * (info.mem_unit ? info.mem_unit : 1);
  }
};

}  // namespace

MachineInfo& Machine() {
  static PortableMachineInfo machine;
  return machine;
}

}  // namespace corvenhal::platform::portable
