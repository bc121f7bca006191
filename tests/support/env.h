// Environment changes undone at the end of a test.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace corvenhal::testing {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (saved_) {
      ::setenv(name_.c_str(), saved_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// Puts an executable script `name` first on PATH that appends each of its
// arguments, one per line, to `record` (a file). Gives the directory.
std::string InstallRecordingProgram(const std::string& dir, const std::string& name, const std::string& record);

// Waits (up to a few seconds) until `path` exists and has stopped growing; gives
// its content.
std::string WaitForFile(const std::string& path);

}  // namespace corvenhal::testing
