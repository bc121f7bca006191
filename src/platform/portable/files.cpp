#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/portable/chunk_reader.h"
#include "platform/portable/native_path.h"
#include "platform/portable/portable.h"

namespace corvenhal::platform::portable {
namespace {

// The file a write lands on: a symbolic link is followed to the file it names
// (so the link stays a link), also when that file does not exist yet.
std::string ResolveWriteTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) return current;
    std::string link(buffer, static_cast<size_t>(n));
    if (link.empty() || link[0] != '/') {
      size_t slash = current.rfind('/');
      link = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + link;
    }
    current = link;
  }
  return current;
}

// The absolute name of `path` with every symbolic link among its existing
// leading elements followed; the missing rest is appended as it is. Empty when
// that cannot be told safely: the first missing element is a dangling link, or
// the missing rest holds "." or ".." elements.
std::string Resolved(const std::string& path) {
  std::string absolute = path;
  if (absolute.empty() || absolute[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    absolute = std::string(cwd) + "/" + absolute;
  }
  std::vector<std::string> elements;
  for (size_t start = 0; start < absolute.size();) {
    size_t end = absolute.find('/', start);
    if (end == std::string::npos) end = absolute.size();
    if (end > start) elements.push_back(absolute.substr(start, end - start));
    start = end + 1;
  }
  // The longest leading part that exists.
  size_t existing = elements.size();
  std::string base;
  for (;; --existing) {
    std::string prefix;
    for (size_t i = 0; i < existing; ++i) prefix += "/" + elements[i];
    if (prefix.empty()) prefix = "/";
    char buffer[PATH_MAX];
    if (::realpath(prefix.c_str(), buffer)) {
      base = buffer;
      break;
    }
    if (existing == 0) return {};
  }
  if (existing < elements.size()) {
    struct stat st;
    std::string next = (base == "/" ? std::string() : base) + "/" + elements[existing];
    if (::lstat(next.c_str(), &st) == 0) return {};  // there, but not resolvable
  }
  for (size_t i = existing; i < elements.size(); ++i) {
    if (elements[i] == "." || elements[i] == "..") return {};
    base = (base == "/" ? std::string() : base) + "/" + elements[i];
  }
  return base;
}

// The quick answer for the common case: `path` is `root` followed by "/" and
// elements none of which is ".", ".." or a symbolic link (missing ones
// included). Anything else is left to the full resolution.
bool PlainlyBelow(const std::string& path, const std::string& root) {
  if (root.empty() || path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 ||
      path[root.size()] != '/') {
    return false;
  }
  std::string current = root;
  bool missing = false;
  for (size_t start = root.size() + 1; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string element = path.substr(start, end - start);
    start = end + 1;
    if (element.empty()) continue;
    if (element == "." || element == "..") return false;
    current += "/" + element;
    if (missing) continue;
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      missing = true;  // nothing below it exists either
    } else if (S_ISLNK(st.st_mode)) {
      return false;
    }
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

mode_t CurrentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

class AtomicFileWriter final : public FileWriter {
 public:
  AtomicFileWriter(std::string target, std::string temp, int fd, mode_t mode)
      : target_(std::move(target)), temp_(std::move(temp)), fd_(fd), mode_(mode) {}
  ~AtomicFileWriter() override { Abandon(); }

  bool Write(std::string_view bytes) override {
    if (fd_ < 0) return false;
    if (!WriteFully(fd_, bytes)) {
      Abandon();
      return false;
    }
    written_ += static_cast<off_t>(bytes.size());
    WriteBehind();
    return true;
  }

  bool Commit() override {
    if (fd_ < 0) return false;
    bool ok = ::fchmod(fd_, mode_) == 0 && ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) {
      temp_.clear();
      int dir = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
      }
      return true;
    }
    Abandon();
    return false;
  }

 private:
  void Abandon() {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
    if (!temp_.empty()) {
      ::unlink(temp_.c_str());
      temp_.clear();
    }
  }

  // A large file (a download) is sent to the disk while it is written, a range
  // at a time, so that Commit's flush has little left to wait for, and the
  // ranges already on disk leave the page cache instead of crowding it.
  void WriteBehind() {
    constexpr off_t kRange = 8 << 20;
    constexpr off_t kLag = 4 * kRange;  // at most this much waits for the disk
    while (written_ - started_ >= kRange) {
      ::sync_file_range(fd_, started_, kRange, SYNC_FILE_RANGE_WRITE);
      if (started_ >= kLag) {
        off_t previous = started_ - kLag;
        ::sync_file_range(fd_, previous, kRange,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        ::posix_fadvise(fd_, previous, kRange, POSIX_FADV_DONTNEED);
      }
      started_ += kRange;
    }
  }

  std::string target_;
  std::string temp_;
  int fd_;
  mode_t mode_;
  off_t written_ = 0;  // bytes written so far
  off_t started_ = 0;  // bytes whose writeback has been started
};

class PortableFileSystem final : public FileSystem {
 public:
  bool Exists(const Text& path) override {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0;
  }

  bool IsDirectory(const Text& path) override {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool ReadAll(const Text& path, Bytes& out) override {
    out.clear();
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return false;
    }
    char buffer[65536];
    for (;;) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ::close(fd);
        out.clear();
        return false;
      }
      if (n == 0) break;
      out.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
  }

  std::unique_ptr<FileWriter> BeginReplace(const Text& path) override {
    std::string target = ResolveWriteTarget(NativePath(path));
    std::string directory = DirectoryOf(target);

    // Refuse what could not have been opened for writing. Write bits are checked
    // as well as access(), so that a file or directory marked read-only is left
    // alone even for a privileged user.
    struct stat dirStat;
    if (::stat(directory.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode) ||
        ::access(directory.c_str(), W_OK | X_OK) != 0 || (dirStat.st_mode & 0222) == 0) {
      return nullptr;
    }
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) return nullptr;
      mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
      return nullptr;
    }

    size_t slash = target.rfind('/');
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = (directory == "/" ? std::string("/") : directory + "/") + "." + base + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<AtomicFileWriter>(target, temp, fd, mode);
  }

  bool Remove(const Text& path) override {
    std::string native = NativePath(path);
    struct stat st;
    if (::lstat(native.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) ? ::rmdir(native.c_str()) == 0 : ::unlink(native.c_str()) == 0;
  }

  bool CreateDirectory(const Text& path) override {
    std::string native = NativePath(path);
    if (::mkdir(native.c_str(), 0777) == 0) return true;
    struct stat st;
    return errno == EEXIST && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  std::string NativePath(const Text& path) override { return ToNativePath(path); }

  std::unique_ptr<ChunkReader> OpenChunks(const Text& path, size_t chunkSize) override {
    return OpenChunkReader(NativePath(path), chunkSize);
  }

  bool IsInside(const Text& path, const Text& directory) override {
    std::string nativeRoot = NativePath(directory);
    std::string nativePath = NativePath(path);
    if (PlainlyBelow(nativePath, nativeRoot)) return true;
    std::string root = Resolved(nativeRoot);
    std::string resolved = Resolved(nativePath);
    if (root.empty() || resolved.empty()) return false;
    if (root == "/") return true;
    return resolved == root || (resolved.size() > root.size() && resolved.compare(0, root.size(), root) == 0 &&
                                resolved[root.size()] == '/');
  }
};

}  // namespace

FileSystem& Files() {
  static PortableFileSystem files;
  return files;
}

}  // namespace corvenhal::platform::portable
