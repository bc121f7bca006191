// Program file names to this machine's names and back.
#pragma once

#include <string>
#include <vector>

#include "text/text.h"

namespace corvenhal::platform::portable {

// GBK is decoded to UTF-8 first and only then "\" becomes "/": a GBK trail byte
// can be 0x5C, so mapping bytes before decoding would corrupt names.
std::string ToNativePath(const Text& path);
Text FromNativePath(const std::string& native);

// Starts `argv[0]` (searched on PATH when it has no "/") with the given
// arguments, without a shell, detached: the launcher never waits for it and it
// never lingers as a zombie. False when the program could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

}  // namespace corvenhal::platform::portable
