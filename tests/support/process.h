// Runs a program to its end with given standard input, collecting its output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvenhal::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when it could not start or did not exit normally
  std::string out;
  std::string err;
};

// argv[0] is the program's path; `directory` (when not empty) becomes its
// current directory.
ProcessResult RunProcess(const std::vector<std::string>& argv, std::string_view input = {},
                         const std::string& directory = {});

}  // namespace corvenhal::testing
