// The URL download service: one URL's body streamed into a file writer.
//
// Only http and https are fetched, also after a redirect; every transfer goes
// to the server (no cached copy is ever used); server certificates are
// verified against the system's trust store plus the CA that the build names;
// a connection must be made within 30 seconds and a transfer ends when no byte
// has arrived for 30 seconds.
#pragma once

#include "platform/services.h"

namespace corvenhal::platform {

class DownloadService {
 public:
  virtual ~DownloadService() = default;
  // Writes the body of `url` (program text; characters a URL cannot carry are
  // sent percent-escaped in UTF-8) into `sink`, which the caller commits. True
  // when the final answer was 2xx and every byte it announced arrived and was
  // written.
  virtual bool Fetch(const Text& url, FileWriter& sink) = 0;
};

}  // namespace corvenhal::platform
