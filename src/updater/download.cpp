#include "updater/download.h"

#include <memory>

#include "platform/download_transport.h"
#include "platform/services.h"

namespace corvenhal::updater {

Text FindExtension(std::string_view path) {
  long dot = -1;
  for (size_t i = 0; i < path.size() && path[i] != '\0';) {
    auto b = static_cast<unsigned char>(path[i]);
    if (b == '\\' || b == ' ') {
      dot = -1;
    } else if (b == '.') {
      dot = static_cast<long>(i);
    }
    i += (text::IsLeadByte(b) && i + 1 < path.size()) ? 2 : 1;
  }
  return dot < 0 ? Text() : Text(text::AsText(path.substr(static_cast<size_t>(dot))));
}

bool DownloadToFile(const Text& url, const Text& path, int policy) {
  platform::Services& services = platform::Current();
  platform::FileSystem& files = *services.files;
  const Text working = text::Contains(url, "://") ? url : "http://" + url;

  Text target = path;
  if (files.Exists(path)) {
    if (policy == kNumberedName) {
      const Text extension = FindExtension(path);
      const Text base = path.substr(0, path.size() - extension.size());
      for (int i = 1; i <= 99; ++i) {
        target = base + "(" + text::NumberToText(static_cast<long long>(i)) + ")" + extension;
        if (!files.Exists(target)) break;
      }
    } else if (policy != kReplaceExisting) {
      return true;
    }
  }
  // A target that could not be replaced (read-only, not a regular file, in a
  // missing or read-only directory) is refused before anything is fetched;
  // with the replace policy the old file stays until the new one is complete.
  std::unique_ptr<platform::FileWriter> writer = files.BeginReplace(target);
  if (!writer || !services.downloads) return false;
  if (!services.downloads->Fetch(working, *writer)) return false;  // the writer removes its temporary file
  return writer->Commit();
}

}  // namespace corvenhal::updater
