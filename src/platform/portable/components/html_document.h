// The HTML document ({25336920-03F9-11CF-8FD0-00AA00686F13}) on this build,
// parsed by gumbo: "open", "write", "writeln", "close" and "body", whose
// element answers "innerHTML" (read and write), "innerText", "outerText" and
// "tagName". Nothing is fetched and no script runs: the document only parses
// markup and renders its visible text, with CR LF line breaks and its ends
// trimmed of white space.
#pragma once

#include <memory>

#include "platform/component.h"

namespace corvenhal::platform {

inline constexpr char kHtmlDocumentClsid[] = "{25336920-03F9-11CF-8FD0-00AA00686F13}";

std::shared_ptr<Component> NewHtmlDocumentComponent();

}  // namespace corvenhal::platform
