// Memory services for buffers of many megabytes.
#pragma once

#include <cstddef>

namespace corvenhal::platform {

// Asks the system to back the pages of a large buffer with large pages, so
// that filling it costs far fewer page faults. Only a hint: where the system
// has no large pages, or the buffer is too small, nothing changes.
void AdviseLargeBuffer(void* data, std::size_t size);

}  // namespace corvenhal::platform
