// The platform seam. The logic never calls the operating system directly: it
// reaches every service through the interfaces collected here. Each service is
// one small interface; portable/ implements them for this machine, win32/ will
// implement them for Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "text/text.h"

namespace corvenhal::platform {

class WindowSystem;
class HttpService;
class DownloadService;

// Writes a whole file so that the target is replaced only when everything was
// written: the bytes go to a temporary file beside the target, which Commit
// flushes and renames over it. Dropping the writer without Commit (or any
// failure) removes the temporary file and leaves the target as it was.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  virtual bool Write(std::string_view bytes) = 0;
  virtual bool Commit() = 0;
};

// A regular file read front to back in chunks of a fixed size, past the
// system's file cache where the file system allows it (otherwise with ordinary
// reads of the same size). The next chunk may be read ahead while the caller
// works on the current one.
class ChunkReader {
 public:
  virtual ~ChunkReader() = default;
  // The size when opened; -1 when it could not be read.
  virtual long long Size() const = 0;
  // The next chunk (at most the chunk size; empty at the end of the file),
  // valid until the next call. False on a read error.
  virtual bool Next(std::string_view& chunk) = 0;
};

// File names are program text (GBK) with "\" and "/" both separating elements.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A file or directory of that name exists.
  virtual bool Exists(const Text& path) = 0;
  virtual bool IsDirectory(const Text& path) = 0;
  // The whole file; false (and `out` empty) when it is missing or unreadable.
  virtual bool ReadAll(const Text& path, Bytes& out) = 0;
  // Starts replacing the whole file (see FileWriter). Null when the target
  // could not have been opened for writing: a read-only or non-regular file, a
  // read-only or missing directory. Nothing is touched then.
  virtual std::unique_ptr<FileWriter> BeginReplace(const Text& path) = 0;
  // BeginReplace, Write and Commit in one step.
  bool WriteAll(const Text& path, std::string_view bytes);
  virtual bool Remove(const Text& path) = 0;
  // One directory level; true when it exists afterwards.
  virtual bool CreateDirectory(const Text& path) = 0;
  // The operating system's name for a program file name.
  virtual std::string NativePath(const Text& path) = 0;
  // Opens a regular file for reading in chunks of `chunkSize` bytes (a
  // multiple of 4096), without blocking on a FIFO or device. Null when it is
  // missing, not a regular file or cannot be opened; a backend without chunked
  // reads gives null too.
  virtual std::unique_ptr<ChunkReader> OpenChunks(const Text& path, size_t chunkSize);
  // True when `path`, with every symbolic link among its existing elements
  // followed, lies inside `directory` (itself resolved the same way). A path
  // whose next element is a dangling link, or whose missing part steps up with
  // "..", is not inside. A backend that cannot tell gives false.
  virtual bool IsInside(const Text& path, const Text& directory);
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Starts a program by its full path, without a shell, with the launcher's
  // environment and current directory; does not wait for it to end.
  virtual bool Start(const Text& path) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // The current user's desktop directory, with a trailing separator.
  virtual Text DesktopDirectory() = 0;
  // Creates or replaces the desktop shortcut `linkName` (without extension) in
  // `directory`, starting `target`.
  virtual bool CreateShortcut(const Text& directory, const Text& linkName, const Text& target) = 0;
  // Hands a URL to the browser; no character of it is interpreted by a shell.
  virtual bool OpenUrl(const Text& url) = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // Full path of the running executable.
  virtual Text ExecutablePath() = 0;
  virtual bool SetCurrentDirectory(const Text& path) = 0;
  virtual Text CurrentDirectory() = 0;
  // The separator the executable path uses between directory and file name.
  virtual char PathSeparator() = 0;
};

// Facts about the computer, shown in the settings window.
class MachineInfo {
 public:
  virtual ~MachineInfo() = default;
  // The computer's host name, whatever its length; empty when it cannot be
  // read.
  virtual Text HostName() = 0;
  // The 48 bytes of the processor brand string as CPUID leaves 0x80000002 to
  // 0x80000004 give them (EAX, EBX, ECX, EDX of each, in that order); where
  // those leaves are missing, the processor name the system reports, cut or
  // filled with zero bytes to 48. Empty when neither can be read.
  virtual Bytes ProcessorBrand() = 0;
  // Total physical memory in bytes; 0 when it cannot be read.
  virtual std::uint64_t PhysicalMemory() = 0;
};

// The set of services in force. Start-up fills it with the backends of this
// build; tests replace single services where a real one cannot produce a fault.
struct Services {
  FileSystem* files = nullptr;
  Processes* processes = nullptr;
  Shell* shell = nullptr;
  SystemInfo* system = nullptr;
  WindowSystem* windows = nullptr;
  HttpService* http = nullptr;
  MachineInfo* machine = nullptr;
  DownloadService* downloads = nullptr;
};

// The services in force; starts with the portable backends (and no window
// system, which the program's entry installs).
Services& Current();

// Installs other services for the lifetime of the guard, restoring the previous
// ones afterwards.
class ScopedServices {
 public:
  explicit ScopedServices(const Services& replacement) : saved_(Current()) { Current() = replacement; }
  ~ScopedServices() { Current() = saved_; }
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services saved_;
};

}  // namespace corvenhal::platform
