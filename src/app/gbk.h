// Program text from the UTF-8 literals of the source files.
#pragma once

#include <string_view>

#include "platform/encodings.h"
#include "text/text.h"

namespace corvenhal::app {

// GBK text of a UTF-8 literal.
inline Text Gbk(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

}  // namespace corvenhal::app
