// A real HTTP proxy for tests: Debian's tinyproxy, started with its own
// configuration on a free loopback port and stopped with the object. It
// forwards plain requests (adding a Via line) and tunnels CONNECT to any port.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace corvenhal::testing {

class TinyProxy {
 public:
  // With a user name, every request needs these Basic proxy credentials.
  explicit TinyProxy(const std::string& user = "", const std::string& password = "");
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  // False when the program is missing or did not start listening.
  bool Running() const { return running_; }
  std::uint16_t Port() const { return port_; }
  // "127.0.0.1:PORT".
  std::string HostPort() const;
  // What it wrote to its log so far.
  std::string Log() const;

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
  bool running_ = false;
};

// A loopback TCP port that was free a moment ago.
std::uint16_t FreeLoopbackPort();

}  // namespace corvenhal::testing
