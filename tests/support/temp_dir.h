// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes away.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvenhal::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // Writes a file below the directory (creating parents) and gives its path.
  std::filesystem::path Write(const std::string& relative, std::string_view bytes) const;
  // The content of a file below the directory ("" when missing).
  std::string Read(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

// The whole content of a file ("" when missing).
std::string ReadFile(const std::filesystem::path& path);

}  // namespace corvenhal::testing
