// The real system services, except that the running executable seems to lie
// where a test put its game directory.
#pragma once

#include "platform/portable/portable.h"
#include "platform/services.h"

namespace corvenhal::testing {

class PlacedExecutable final : public platform::SystemInfo {
 public:
  explicit PlacedExecutable(Text exe) : exe_(std::move(exe)) {}
  Text ExecutablePath() override { return exe_; }
  bool SetCurrentDirectory(const Text& p) override { return platform::portable::System().SetCurrentDirectory(p); }
  Text CurrentDirectory() override { return platform::portable::System().CurrentDirectory(); }
  char PathSeparator() override { return '/'; }

 private:
  Text exe_;
};

}  // namespace corvenhal::testing
