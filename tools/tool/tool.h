// corvenhal-tool: the operators' command-line companion. Each subcommand group
// lives in its own file and registers itself with CORVENHAL_TOOL_COMMAND.
//
// Conventions every subcommand keeps:
// - arguments arrive as UTF-8 and are handed over as program text (GBK);
//   options may come before or after the positional arguments;
// - a text result is printed as UTF-8 unless --raw is given (then the GBK bytes
//   unchanged); byte results are printed unchanged;
// - a single text or number is printed exactly, with no newline added; line
//   output ends each line with LF;
// - exit 0 on success, 1 when the operation failed, 2 on a usage error with a
//   one-line message on stderr.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace corvenhal::tool {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// The command line of one subcommand, split into positionals and options.
class Args {
 public:
  // `flags` take no value; `valued` take the next argument. Every option may
  // appear anywhere; a valued option may repeat. "--" ends the options.
  bool Parse(const std::vector<std::string>& argv, const std::set<std::string>& flags,
             const std::set<std::string>& valued);
  const std::string& Error() const { return error_; }

  // Positional arguments as program text (GBK).
  const std::vector<Text>& Positionals() const { return positionals_; }
  bool Has(const std::string& option) const;
  // The last value given, as program text.
  std::optional<Text> Value(const std::string& option) const;
  // Every value given, in order, as program text.
  std::vector<Text> Values(const std::string& option) const;
  // The last value exactly as typed (UTF-8), e.g. for a file name.
  std::optional<std::string> RawValue(const std::string& option) const;
  const std::vector<std::string>& RawPositionals() const { return rawPositionals_; }

 private:
  std::vector<Text> positionals_;
  std::vector<std::string> rawPositionals_;
  std::map<std::string, std::vector<std::string>> options_;
  std::string error_;
};

// Writes to stdout: a text result (UTF-8 unless raw), or bytes unchanged.
void PrintText(std::string_view gbk, bool raw);
void PrintBytes(std::string_view bytes);
// One-line message on stderr; returns kUsage.
int UsageError(const std::string& message);
// A file as the operating system names it (the argument as typed).
bool ReadFileBytes(const std::string& path, Bytes& out);
// All of standard input.
Bytes ReadStdin();

using Handler = std::function<int(const std::vector<std::string>& argv)>;

struct Registration {
  Registration(const char* name, const char* synopsis, Handler handler);
};

#define CORVENHAL_TOOL_CONCAT2(a, b) a##b
#define CORVENHAL_TOOL_CONCAT(a, b) CORVENHAL_TOOL_CONCAT2(a, b)
// CORVENHAL_TOOL_COMMAND("version", "version read [FILE] | version write TEXT [FILE]", handler);
#define CORVENHAL_TOOL_COMMAND(name, synopsis, handler) \
  static ::corvenhal::tool::Registration CORVENHAL_TOOL_CONCAT(registration_, __LINE__)(name, synopsis, handler)

}  // namespace corvenhal::tool
