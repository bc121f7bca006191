#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/encodings.h"
#include "platform/portable/native_path.h"
#include "platform/portable/portable.h"

namespace corvenhal::platform::portable {
namespace {

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

// XDG_DESKTOP_DIR from user-dirs.dirs, with $HOME expanded; empty when unset.
std::string XdgDesktopDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string file = (config && *config ? std::string(config) : HomeDirectory() + "/.config") + "/user-dirs.dirs";
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DESKTOP_DIR=";
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, key.size(), key) != 0) continue;
    std::string value = line.substr(at + key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = HomeDirectory() + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return {};
}

// One argument of an Exec line: quoted, with the characters that are special
// inside quotes escaped, "%" doubled, then the backslash escape that applies to
// every string value of a desktop entry.
std::string ExecArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string escaped;
  for (char c : quoted) {
    switch (c) {
      case '\\': escaped += "\\\\"; break;
      case '\n': escaped += "\\n"; break;
      case '\t': escaped += "\\t"; break;
      case '\r': escaped += "\\r"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

// A value of a desktop entry's string key.
std::string EntryString(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

class PortableShell final : public Shell {
 public:
  Text DesktopDirectory() override {
    std::string dir = XdgDesktopDirectory();
    if (dir.empty()) dir = HomeDirectory() + "/Desktop";
    if (dir.back() != '/') dir += '/';
    return FromNativePath(dir);
  }

  bool CreateShortcut(const Text& directory, const Text& linkName, const Text& target) override {
    std::string dir = ToNativePath(directory);
    ::mkdir(dir.c_str(), 0755);  // a fresh account may have no desktop folder yet
    std::string name = GbkToUtf8(text::AsText(linkName));
    std::string entry = "[Desktop Entry]\nType=Application\nName=" + EntryString(name) +
                        "\nExec=" + ExecArgument(ToNativePath(target)) + "\nTerminal=false\n";
    Text path = directory + linkName + ".desktop";
    if (!Files().WriteAll(path, entry)) return false;
    return ::chmod(ToNativePath(path).c_str(), 0755) == 0;
  }

  bool OpenUrl(const Text& url) override { return SpawnDetached({"xdg-open", GbkToUtf8(text::AsText(url))}); }
};

}  // namespace

Shell& DesktopShell() {
  static PortableShell shell;
  return shell;
}

}  // namespace corvenhal::platform::portable
