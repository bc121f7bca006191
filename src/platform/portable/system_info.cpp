#include <unistd.h>

#include <climits>
#include <string>

#include "platform/portable/native_path.h"
#include "platform/portable/portable.h"

namespace corvenhal::platform::portable {
namespace {

class PortableSystemInfo final : public SystemInfo {
 public:
  Text ExecutablePath() override {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return Text();
    return FromNativePath(std::string(buffer, static_cast<size_t>(n)));
  }

  bool SetCurrentDirectory(const Text& path) override { return ::chdir(ToNativePath(path).c_str()) == 0; }

  Text CurrentDirectory() override {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer)) return Text();
    return FromNativePath(buffer);
  }

  char PathSeparator() override { return '/'; }
};

}  // namespace

SystemInfo& System() {
  static PortableSystemInfo system;
  return system;
}

}  // namespace corvenhal::platform::portable
