// HTTP services for tests of code whose addresses are build values: every
// connection goes to one local server whatever host the URL names, or any
// host other than the loopback one is refused. Requests never leave the
// loopback interface either way; everything else is the real transport.
#pragma once

#include <memory>
#include <string>

#include "platform/http_transport.h"

namespace corvenhal::testing {

class RedirectedHttp final : public platform::HttpService {
 public:
  // Every connection goes to 127.0.0.1:`port`.
  static RedirectedHttp To(unsigned port) { return RedirectedHttp(port); }
  // Connections to 127.0.0.1, ::1 and localhost go through; others fail.
  static RedirectedHttp LoopbackOnly() { return RedirectedHttp(0); }

  std::unique_ptr<platform::HttpTransport> NewTransport() override;

 private:
  explicit RedirectedHttp(unsigned port) : port_(port) {}
  unsigned port_;
};

}  // namespace corvenhal::testing
