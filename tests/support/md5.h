// A reference MD5 for tests: OpenSSL's one-shot digest as 32 upper-case hex
// digits, to compare the program's streaming digest with.
#pragma once

#include <string>
#include <string_view>

namespace corvenhal::testing {

std::string ReferenceMd5(std::string_view bytes);

}  // namespace corvenhal::testing
