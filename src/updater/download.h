// One URL fetched into one local file.
#pragma once

#include <string_view>

#include "text/text.h"

namespace corvenhal::updater {

// What happens when the target file exists already.
inline constexpr int kReplaceExisting = 0;  // the new file replaces it
inline constexpr int kNumberedName = 1;     // a free name "base(i)ext" beside it, i = 1 to 99
// Any other value: keep it, download nothing and report success.

// Fetches `url` ("http://" is put before a URL without "://") into `path`,
// whose directory must exist. The body goes to a temporary file beside the
// target, which replaces the target only when the whole transfer succeeded;
// otherwise the target stays as it was. True on success, or when the keep
// policy applies to an existing target.
bool DownloadToFile(const Text& url, const Text& path, int policy);

// The extension of a file name as the numbered names use it: from the last
// "." that follows the last "\" and the last space, dot included; empty when
// there is none. "/" does not end an element here.
Text FindExtension(std::string_view path);

}  // namespace corvenhal::updater
