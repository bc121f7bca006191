#include "app/sponsor_page.h"

namespace corvenhal::app {
namespace {

bool IsEdgeSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Trims ASCII white space and full-width spaces until neither is left at an end.
Text TrimAll(Text s) {
  for (;;) {
    size_t before = s.size();
    s = text::Trim(s);
    while (!s.empty() && IsEdgeSpace(s.front())) s.erase(0, 1);
    while (!s.empty() && IsEdgeSpace(s.back())) s.pop_back();
    if (s.size() == before) return s;
  }
}

}  // namespace

Text SponsorPageAddress(const Text& note) {
  Text address = TrimAll(note);
  // One line: no line break or other control character anywhere.
  for (char c : address) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return Text();
  }
  for (const char* scheme : {"http://", "https://"}) {
    if (text::StartsWith(address, scheme, true) && address.size() > std::char_traits<char>::length(scheme)) {
      return address;
    }
  }
  return Text();
}

}  // namespace corvenhal::app
