// The platform's code-page converter: bytes in a Windows code page to UTF-16
// and back. Always lenient: an invalid input byte (or unit) and a character
// the target lacks each become "?", and conversion resumes right after it.
#pragma once

#include <string>
#include <string_view>

namespace corvenhal::platform {

class CodePageConverter {
 public:
  virtual ~CodePageConverter() = default;
  // False (and `out` empty) only when the code page is not supported. Zero
  // bytes and units are converted like any other.
  virtual bool ToUtf16(std::string_view bytes, unsigned codePage, std::u16string& out) = 0;
  virtual bool FromUtf16(std::u16string_view units, unsigned codePage, std::string& out) = 0;
};

// The converter of this build. Stateless and safe on any thread.
CodePageConverter& CodePages();

}  // namespace corvenhal::platform
