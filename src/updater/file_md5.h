// MD5 digest of one client file, in the form the update manifest carries.
#pragma once

#include <functional>

#include "text/text.h"

namespace corvenhal::updater {

// Bytes read per chunk: a multiple of every disk sector size.
inline constexpr size_t kMd5ChunkSize = 8 * 1024 * 1024;

// Called after every chunk with the percentage of the file read so far.
using Md5Progress = std::function<void(int percent)>;

// The digest as 32 upper-case hexadecimal digits, or empty text when `path` is
// missing, not a regular file, cannot be opened or a read fails. Pending window
// events are handled after every chunk, so other handlers may run meanwhile.
Text FileMd5(const Text& path, const Md5Progress& progress = {});

}  // namespace corvenhal::updater
