// The installed client's version, kept enciphered in "Update.dat" in the
// current directory.
#pragma once

#include <string_view>

#include "text/text.h"

namespace corvenhal::app {

inline constexpr char kVersionFileName[] = "Update.dat";
inline constexpr char kVersionPassword[] = "blueharbor";

// The deciphered version; empty when the record is missing, unreadable, empty
// or not a valid ciphertext.
Bytes ReadInstalledVersion();
// Replaces the record atomically; an empty version gives an empty file. The
// callers do not act on the outcome; false means the old record (if any) was
// left untouched.
bool WriteInstalledVersion(std::string_view version);

// The same for a record of another name (program text).
Bytes ReadVersionRecord(const Text& path);
bool WriteVersionRecord(const Text& path, std::string_view version);

}  // namespace corvenhal::app
