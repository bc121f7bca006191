// Where a manifest entry's file lands, and which entries are refused.
#pragma once

#include <string_view>
#include <vector>

#include "text/text.h"

namespace corvenhal::updater {

// A manifest "file" member that could reach outside the client directory: an
// element "..", an element holding ":", a start with two separators (a
// network name), or an element that is a device name (CON, PRN, AUX, NUL, COM1
// to COM9, LPT1 to LPT9, in any case, with or without an extension). Elements
// are split at "/" and "\" at character boundaries. Windows drops trailing
// dots and spaces from a name, so those are ignored when comparing.
bool IsHostileEntryPath(std::string_view file);

// The directories to make, outermost first, so that `local` (the base
// directory followed directly by `rel`, whose separators are "\") can be
// written: the base directory followed by each part of `rel` before a
// separator.
std::vector<Text> DirectoriesFor(const Text& baseDirectory, std::string_view rel);

}  // namespace corvenhal::updater
