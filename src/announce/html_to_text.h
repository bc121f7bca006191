// Plain text of a piece of HTML, rendered by the platform's HTML document.
#pragma once

#include "text/text.h"

namespace corvenhal::announce {

// The visible text of `html` (program text): the line breaks that blocks,
// paragraphs, br and table rows and cells make, white space collapsed, pre
// kept, entities decoded, script, style and head contents left out; CR LF
// line breaks and no white space at either end. Nothing is fetched and no
// script runs. Empty text when the document cannot be made.
Text HtmlToText(const Text& html);

}  // namespace corvenhal::announce
