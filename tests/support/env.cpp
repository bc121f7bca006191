#include "support/env.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"

namespace corvenhal::testing {

std::string InstallRecordingProgram(const std::string& dir, const std::string& name, const std::string& record) {
  std::filesystem::create_directories(dir);
  std::string path = dir + "/" + name;
  {
    std::ofstream out(path);
    // Writes to a temporary name first so that readers never see half a record.
    out << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << record << ".part'\nmv '" << record
        << ".part' '" << record << "'\n";
  }
  ::chmod(path.c_str(), 0755);
  return dir;
}

std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 100; ++i) {
    if (std::filesystem::exists(path)) return ReadFile(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return {};
}

}  // namespace corvenhal::testing
