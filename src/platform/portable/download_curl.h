// The URL download service on libcurl.
#pragma once

#include <memory>
#include <string>

#include "platform/download_transport.h"

namespace corvenhal::platform::portable {

// The service of this build: the system's trust store plus the build's CA.
DownloadService& Downloads();

// A service that also trusts the certificates of `extraCaPem` (PEM text),
// besides the system's trust store and the build's CA.
std::unique_ptr<DownloadService> MakeDownloads(std::string extraCaPem);

}  // namespace corvenhal::platform::portable
