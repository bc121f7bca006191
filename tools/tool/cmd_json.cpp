// json PATH: a document read from standard input, and one reading of it by
// path: its text, its JSON text, its element count, its type code, or whether
// it exists.
#include "script/json_object.h"
#include "tool.h"

namespace corvenhal::tool {
namespace {

constexpr char kSynopsis[] = "json PATH [--json | --count | --type | --exists] [--as-is]";

int Json(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"json", "count", "type", "exists", "as-is", "raw"}, {})) return UsageError(args.Error());
  if (args.Positionals().size() != 1) return UsageError(std::string("usage: ") + kSynopsis);
  int readings = 0;
  for (const char* r : {"json", "count", "type", "exists"}) readings += args.Has(r) ? 1 : 0;
  if (readings > 1) return UsageError("--json, --count, --type and --exists exclude each other");

  const Text& path = args.Positionals()[0];
  script::JsonObject document;
  if (!document.Parse(ReadStdin(), args.Has("as-is"))) return kFailed;
  Text out;
  if (args.Has("count")) {
    out = text::NumberToText(static_cast<long long>(document.Count(path)));
  } else if (args.Has("type")) {
    out = text::NumberToText(static_cast<long long>(document.TypeOf(path)));
  } else if (args.Has("exists")) {
    out.push_back(document.Exists(path) ? '1' : '0');
  } else {
    out = document.GetText(path, args.Has("json"));
  }
  PrintText(out, args.Has("raw"));
  return kOk;
}

}  // namespace

CORVENHAL_TOOL_COMMAND("json", kSynopsis, Json);

}  // namespace corvenhal::tool
