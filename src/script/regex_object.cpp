#include "script/regex_object.h"

namespace corvenhal::script {
namespace {

constexpr char kQuoteMarker[] = "#\xD2\xFD\xBA\xC5";  // #引号

}  // namespace

RegexObject::RegexObject() { platform::ComInitialize(); }

RegexObject::~RegexObject() {
  compiled_.Release();
  matches_.Release();
  subject_.Clear();
  platform::ComUninitialize();
}

bool RegexObject::SearchText(const Text& pattern, const Text& subject, bool caseSensitive, bool multiLine,
                             bool global, bool quoteMarker) {
  subject_.AssignText(subject);
  return Search(pattern, caseSensitive, multiLine, global, quoteMarker);
}

bool RegexObject::SearchBytes(const Text& pattern, const Bytes& subject, bool caseSensitive, bool multiLine,
                              bool global, bool quoteMarker) {
  subject_.AssignBytes(subject);
  return Search(pattern, caseSensitive, multiLine, global, quoteMarker);
}

bool RegexObject::Search(const Text& pattern, bool caseSensitive, bool multiLine, bool global, bool quoteMarker) {
  compiled_.Release();
  matches_.Release();
  // A failure to create shows as the missing match collection below.
  bridge_.Create(compiled_, "VBScript.RegExp");
  bridge_.Put(compiled_, "IgnoreCase", !caseSensitive);
  bridge_.Put(compiled_, "Multiline", multiLine);
  bridge_.Put(compiled_, "Singleline", true);  // not a member everywhere; the outcome does not matter
  bridge_.Put(compiled_, "Global", global);
  bridge_.Put(compiled_, "Pattern", quoteMarker ? text::ReplaceAll(pattern, kQuoteMarker, "\"") : pattern);
  matches_ = bridge_.CallObject(compiled_, "Execute", subject_);
  return !matches_.IsEmpty();
}

Text RegexObject::PatternText() { return bridge_.GetText(compiled_, "Pattern"); }

Text RegexObject::ReplaceText(const Text& replacement) {
  return bridge_.CallText(compiled_, "Replace", subject_, replacement);
}

Bytes RegexObject::ReplaceBytes(const Bytes& replacement) {
  platform::AutomationVariant with;
  with.AssignBytes(replacement);
  return bridge_.CallVariant(compiled_, "Replace", subject_, with).AsBytes();
}

long RegexObject::MatchCount() { return static_cast<long>(text::Truncate(bridge_.GetNumber(matches_, "Count"))); }

platform::AutomationObject RegexObject::Match(long index) {
  return bridge_.GetObject(matches_, "Item", static_cast<long long>(index) - 1);
}

Text RegexObject::MatchText(long index) { return bridge_.GetText(Match(index), "Value"); }

Bytes RegexObject::MatchBytes(long index) { return bridge_.GetVariant(Match(index), "Value").AsBytes(); }

platform::AutomationVariant RegexObject::Submatch(long match, long group) {
  platform::AutomationObject groups = bridge_.GetObject(Match(match), "SubMatches");
  return bridge_.GetVariant(groups, "Item", static_cast<long long>(group) - 1);
}

Text RegexObject::SubmatchText(long match, long group) { return Submatch(match, group).AsText(); }

Bytes RegexObject::SubmatchBytes(long match, long group) { return Submatch(match, group).AsBytes(); }

long RegexObject::SubmatchCount() {
  platform::AutomationObject groups = bridge_.GetObject(Match(1), "SubMatches");
  return static_cast<long>(text::Truncate(bridge_.GetNumber(groups, "Count")));
}

}  // namespace corvenhal::script
