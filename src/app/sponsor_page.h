// The address the sponsorship note names, checked before it is opened.
#pragma once

#include "text/text.h"

namespace corvenhal::app {

// The note's text trimmed (spaces, full-width spaces, tabs and line breaks at
// both ends) when it is one line that begins with "http://" or "https://"
// (case ignored) and has more after it; empty otherwise, so that a path, a
// program, an option or anything else the network sends is never opened.
Text SponsorPageAddress(const Text& note);

}  // namespace corvenhal::app
