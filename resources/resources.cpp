#include "resources.h"

namespace corvenhal::resources {

extern const Entry kEntries[];

std::string_view Get(std::string_view name) {
  for (const Entry* e = kEntries; e->name; ++e) {
    if (name == e->name) return e->bytes;
  }
  return {};
}

}  // namespace corvenhal::resources
