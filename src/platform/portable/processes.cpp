#include "platform/portable/native_path.h"
#include "platform/portable/portable.h"

namespace corvenhal::platform::portable {
namespace {

class PortableProcesses final : public Processes {
 public:
  bool Start(const Text& path) override { return SpawnDetached({ToNativePath(path)}); }
};

}  // namespace

Processes& ProcessStarter() {
  static PortableProcesses processes;
  return processes;
}

}  // namespace corvenhal::platform::portable
