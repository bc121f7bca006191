#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/portable/native_path.h"
#include "platform/portable/portable.h"

namespace corvenhal::platform::portable {
namespace {

// A Windows program image begins with the DOS header's "MZ".
bool IsWindowsImage(const std::string& native) {
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  char magic[2] = {0, 0};
  bool image = ::read(fd, magic, sizeof magic) == 2 && magic[0] == 'M' && magic[1] == 'Z';
  ::close(fd);
  return image;
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(start, end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

std::string Absolute(const std::string& native) {
  if (!native.empty() && native[0] == '/') return native;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return native;
  return std::string(cwd) + "/" + native;
}

class PortableProcesses final : public Processes {
 public:
  // A Windows image goes to Wine (with its full path) where Wine is installed;
  // everything else is executed directly.
  bool Start(const Text& path) override {
    std::string native = ToNativePath(path);
    if (IsWindowsImage(native) && OnPath("wine")) return SpawnDetached({"wine", Absolute(native)});
    return SpawnDetached({native});
  }
};

}  // namespace

Processes& ProcessStarter() {
  static PortableProcesses processes;
  return processes;
}

}  // namespace corvenhal::platform::portable
