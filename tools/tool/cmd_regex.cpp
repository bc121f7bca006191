// regex PATTERN SUBJECT: one regular-expression search, its matches and their
// capture groups, one per line.
#include "script/regex_object.h"
#include "tool.h"

namespace corvenhal::tool {
namespace {

constexpr char kUsage[] =
    "usage: regex PATTERN SUBJECT [--case-sensitive] [--no-multiline] [--no-global] [--quote-marker]";

// Line breaks inside a text are written as \r and \n so that each result keeps
// to one line.
Text OneLine(const Text& text) {
  Text out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

int Regex(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"case-sensitive", "no-multiline", "no-global", "quote-marker", "raw"}, {})) {
    return UsageError(args.Error());
  }
  if (args.Positionals().size() != 2) return UsageError(kUsage);
  script::RegexObject regex;
  if (!regex.SearchText(args.Positionals()[0], args.Positionals()[1], args.Has("case-sensitive"),
                        !args.Has("no-multiline"), !args.Has("no-global"), args.Has("quote-marker"))) {
    return kFailed;
  }
  long count = regex.MatchCount();
  long groups = regex.SubmatchCount();
  Text out = "count " + text::NumberToText(static_cast<long long>(count)) + "\n";
  for (long i = 1; i <= count; ++i) {
    Text index = text::NumberToText(static_cast<long long>(i));
    out += index + ": " + OneLine(regex.MatchText(i)) + "\n";
    for (long g = 1; g <= groups; ++g) {
      out += index + "." + text::NumberToText(static_cast<long long>(g)) + ": " + OneLine(regex.SubmatchText(i, g)) +
             "\n";
    }
  }
  PrintText(out, args.Has("raw"));
  return kOk;
}

}  // namespace

CORVENHAL_TOOL_COMMAND("regex", "regex PATTERN SUBJECT [--case-sensitive] [--no-multiline] [--no-global] [--quote-marker]",
                       Regex);

}  // namespace corvenhal::tool
