// Files carried inside the executable.
#pragma once

#include <string_view>

namespace corvenhal::resources {

struct Entry {
  const char* name;
  std::string_view bytes;
};

// The bytes of the embedded file `name` (its file name in resources/); empty
// when there is none.
std::string_view Get(std::string_view name);

}  // namespace corvenhal::resources
