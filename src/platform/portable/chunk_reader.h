// Chunked reads of a regular file past the page cache (O_DIRECT), with the
// next chunk read ahead while the caller hashes the current one.
#pragma once

#include <memory>
#include <string>

#include "platform/services.h"

namespace corvenhal::platform::portable {

// Null when `native` is missing, not a regular file or cannot be opened.
// `chunkSize` must be a multiple of 4096.
std::unique_ptr<ChunkReader> OpenChunkReader(const std::string& native, size_t chunkSize);

}  // namespace corvenhal::platform::portable
