#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <unistd.h>

#include "platform/encodings.h"
#include "tool.h"

namespace corvenhal::tool {
namespace {

struct Command {
  std::string synopsis;
  Handler handler;
};

std::map<std::string, Command>& Commands() {
  static std::map<std::string, Command> commands;
  return commands;
}

}  // namespace

Registration::Registration(const char* name, const char* synopsis, Handler handler) {
  Commands()[name] = Command{synopsis, std::move(handler)};
}

bool Args::Parse(const std::vector<std::string>& argv, const std::set<std::string>& flags,
                 const std::set<std::string>& valued) {
  bool optionsEnded = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && a.size() > 2 && a.compare(0, 2, "--") == 0) {
      std::string name = a.substr(2);
      std::optional<std::string> inlineValue;
      if (size_t eq = name.find('='); eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
      }
      if (flags.count(name) && !inlineValue) {
        options_[name].push_back("");
      } else if (valued.count(name)) {
        if (inlineValue) {
          options_[name].push_back(*inlineValue);
        } else if (i + 1 < argv.size()) {
          options_[name].push_back(argv[++i]);
        } else {
          error_ = "option --" + name + " needs a value";
          return false;
        }
      } else {
        error_ = "unknown option --" + name;
        return false;
      }
    } else {
      rawPositionals_.push_back(a);
      positionals_.push_back(platform::Utf8ToGbkText(a));
    }
  }
  return true;
}

bool Args::Has(const std::string& option) const { return options_.count(option) != 0; }

std::optional<std::string> Args::RawValue(const std::string& option) const {
  auto it = options_.find(option);
  if (it == options_.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

std::optional<Text> Args::Value(const std::string& option) const {
  auto raw = RawValue(option);
  if (!raw) return std::nullopt;
  return platform::Utf8ToGbkText(*raw);
}

std::vector<Text> Args::Values(const std::string& option) const {
  std::vector<Text> out;
  auto it = options_.find(option);
  if (it != options_.end()) {
    for (const auto& v : it->second) out.push_back(platform::Utf8ToGbkText(v));
  }
  return out;
}

void PrintBytes(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void PrintText(std::string_view gbk, bool raw) { PrintBytes(raw ? std::string(gbk) : platform::GbkToUtf8(gbk)); }

int UsageError(const std::string& message) {
  std::fprintf(stderr, "corvenhal-tool: %s\n", message.c_str());
  return kUsage;
}

bool ReadFileBytes(const std::string& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

Bytes ReadStdin() {
  Bytes out;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(0, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  return out;
}

}  // namespace corvenhal::tool

int main(int argc, char** argv) {
  using namespace corvenhal::tool;
  auto& commands = Commands();
  if (argc < 2) {
    std::fprintf(stderr, "usage: corvenhal-tool COMMAND ...\n");
    for (const auto& [name, command] : commands) std::fprintf(stderr, "  %s\n", command.synopsis.c_str());
    return kUsage;
  }
  auto it = commands.find(argv[1]);
  if (it == commands.end()) return UsageError(std::string("unknown command ") + argv[1]);
  std::vector<std::string> rest(argv + 2, argv + argc);
  return it->second.handler(rest);
}
