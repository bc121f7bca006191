// share-note: the text of a note in a cloud-drive share, as the launcher asks
// for it (its announcement and sponsorship address).
// html2text: the plain text of a piece of HTML, as the announcement shows it.
#include "announce/html_to_text.h"
#include "announce/share_note.h"
#include "build_config.h"
#include "platform/encodings.h"
#include "tool.h"

namespace corvenhal::tool {
namespace {

constexpr char kShareUsage[] = "usage: share-note LINK --origin URL [--password P] [--raw-answer]";
constexpr char kHtmlUsage[] = "usage: html2text [--utf8]  (HTML on standard input)";

int ShareNote(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"raw", "raw-answer"}, {"origin", "password"})) return UsageError(args.Error());
  if (args.Positionals().size() != 1) return UsageError(kShareUsage);
  Text origin = args.Value("origin").value_or(build::kShareOrigin);
  Text password = args.Value("password").value_or(Text());
  Text answer;
  Text note = announce::FetchShareNote(origin, args.Positionals()[0], password, &answer);
  // A failed request is an empty note: the operation itself reports nothing.
  PrintText(args.Has("raw-answer") ? answer + "\n----\n" + note : note, args.Has("raw"));
  return kOk;
}

int HtmlToText(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"raw", "utf8"}, {})) return UsageError(args.Error());
  if (!args.Positionals().empty()) return UsageError(kHtmlUsage);
  Text input = text::AsText(ReadStdin());
  if (args.Has("utf8") && text::StartsWith(input, "\xEF\xBB\xBF")) input.erase(0, 3);  // a byte-order mark
  Text html = args.Has("utf8") ? platform::Utf8ToGbkText(input) : input;
  PrintText(announce::HtmlToText(html), args.Has("raw"));
  return kOk;
}

}  // namespace

CORVENHAL_TOOL_COMMAND("share-note", "share-note LINK --origin URL [--password P] [--raw-answer]", ShareNote);
CORVENHAL_TOOL_COMMAND("html2text", "html2text [--utf8]  (HTML on standard input, GBK unless --utf8)", HtmlToText);

}  // namespace corvenhal::tool
