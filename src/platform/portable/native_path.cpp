#include "platform/portable/native_path.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/encodings.h"

namespace corvenhal::platform::portable {

std::string ToNativePath(const Text& path) {
  std::string native = GbkToUtf8(text::AsText(path));
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

Text FromNativePath(const std::string& native) { return Utf8ToGbkText(native); }

bool SpawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // The grandchild reports a failed exec through a close-on-exec pipe: no byte
  // arriving means the exec succeeded.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::execvp(args[0], args.data());
      int err = errno;
      ssize_t ignored = ::write(report[1], &err, sizeof err);
      (void)ignored;
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

}  // namespace corvenhal::platform::portable
