#include "updater/manifest_paths.h"

namespace corvenhal::updater {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Positions of the separators, stepping over double-byte characters.
std::vector<size_t> Separators(std::string_view s) {
  std::vector<size_t> at;
  for (size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    if (IsSeparator(s[i])) at.push_back(i);
    i += (text::IsLeadByte(b) && i + 1 < s.size()) ? 2 : 1;
  }
  return at;
}

std::string_view WithoutTrailingDotsAndSpaces(std::string_view s) {
  while (!s.empty() && (s.back() == '.' || s.back() == ' ')) s.remove_suffix(1);
  return s;
}

bool IsDeviceName(std::string_view element) {
  std::string_view stem = element.substr(0, element.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (const char* name : {"CON", "PRN", "AUX", "NUL"}) {
    if (text::EqualsIgnoreCase(stem, name)) return true;
  }
  if (stem.size() == 4 && (text::EqualsIgnoreCase(stem.substr(0, 3), "COM") ||
                           text::EqualsIgnoreCase(stem.substr(0, 3), "LPT"))) {
    return stem[3] >= '1' && stem[3] <= '9';
  }
  return false;
}

bool IsHostileElement(std::string_view element) {
  if (element.find(':') != std::string_view::npos) return true;
  // "..", and names Windows reads as ".." once it has dropped trailing dots
  // and spaces ("...", ".. ").
  if (element.size() >= 2 && element.substr(0, 2) == ".." && WithoutTrailingDotsAndSpaces(element).empty()) {
    return true;
  }
  return IsDeviceName(element);
}

}  // namespace

bool IsHostileEntryPath(std::string_view file) {
  if (file.size() >= 2 && IsSeparator(file[0]) && IsSeparator(file[1])) return true;
  size_t start = 0;
  std::vector<size_t> separators = Separators(file);
  separators.push_back(file.size());
  for (size_t end : separators) {
    // A ":" can only be a character of its own, so a byte search is safe.
    if (IsHostileElement(file.substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

std::vector<Text> DirectoriesFor(const Text& baseDirectory, std::string_view rel) {
  std::vector<Text> out;
  for (size_t at : Separators(rel)) out.push_back(baseDirectory + Text(rel.substr(0, at)));
  return out;
}

}  // namespace corvenhal::updater
