// "VBScript.RegExp" on PCRE2's 16-bit library. The subject is UTF-16 code
// units, matched in non-UTF mode so that lone surrogates are ordinary units and
// FirstIndex and Length count units, as the Windows object does. The options
// make PCRE2 read patterns the way an ECMAScript engine does.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <optional>

#include "platform/portable/components/components.h"

namespace corvenhal::platform {
namespace {

using Code = InvokeStatus::Code;

// Backtracking budget of one search; a search that exhausts it fails like a
// pattern that does not compile, instead of hanging the program.
constexpr uint32_t kMatchLimit = 10'000'000;
constexpr uint32_t kDepthLimit = 250'000;

struct MatchRecord {
  std::u16string value;
  std::int32_t firstIndex = 0;
  std::vector<std::optional<std::u16string>> groups;
};

bool IsRead(InvokeKind kind) { return kind != InvokeKind::kPropertyPut; }

InvokeStatus NoSuchMember(std::u16string_view) { return InvokeStatus::Fail(Code::kUnknownName); }

InvokeStatus IndexArg(const std::vector<ComValue>& args, size_t count, std::int32_t& index) {
  if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
  if (InvokeStatus st = ArgInt(args[0], index); !st.ok()) return st;
  if (index < 0 || static_cast<size_t>(index) >= count) {
    return InvokeStatus::Fail(Code::kException, "invalid procedure call or argument");
  }
  return InvokeStatus::Ok();
}

// The "SubMatches" of one match: Count and Item(i); an unset group is empty.
class SubMatchesComponent final : public Component {
 public:
  explicit SubMatchesComponent(std::vector<std::optional<std::u16string>> groups) : groups_(std::move(groups)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (SameMember(member, u"Count")) {
      if (!IsRead(kind)) return InvokeStatus::Fail(Code::kMemberNotFound);
      if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
      result = ComValue::I4(static_cast<std::int32_t>(groups_.size()));
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Item") || member.empty()) {
      if (!IsRead(kind)) return InvokeStatus::Fail(Code::kMemberNotFound);
      std::int32_t i;
      if (InvokeStatus st = IndexArg(args, groups_.size(), i); !st.ok()) return st;
      result = groups_[i] ? ComValue::Str(*groups_[i]) : ComValue::Empty();
      return InvokeStatus::Ok();
    }
    return NoSuchMember(member);
  }

 private:
  std::vector<std::optional<std::u16string>> groups_;
};

// One "Match": Value (also its default value), FirstIndex, Length, SubMatches.
class MatchComponent final : public Component {
 public:
  explicit MatchComponent(MatchRecord record) : record_(std::move(record)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    bool known = member.empty() || SameMember(member, u"Value") || SameMember(member, u"FirstIndex") ||
                 SameMember(member, u"Length") || SameMember(member, u"SubMatches");
    if (!known) return NoSuchMember(member);
    if (!IsRead(kind)) return InvokeStatus::Fail(Code::kMemberNotFound);
    if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
    if (member.empty() || SameMember(member, u"Value")) {
      result = ComValue::Str(record_.value);
    } else if (SameMember(member, u"FirstIndex")) {
      result = ComValue::I4(record_.firstIndex);
    } else if (SameMember(member, u"Length")) {
      result = ComValue::I4(static_cast<std::int32_t>(record_.value.size()));
    } else {
      result = ComValue::Obj(std::make_shared<SubMatchesComponent>(record_.groups));
    }
    return InvokeStatus::Ok();
  }

 private:
  MatchRecord record_;
};

// The collection that "Execute" returns: Count and Item(i) (the default).
class MatchesComponent final : public Component {
 public:
  explicit MatchesComponent(std::vector<MatchRecord> matches) : matches_(std::move(matches)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (SameMember(member, u"Count")) {
      if (!IsRead(kind)) return InvokeStatus::Fail(Code::kMemberNotFound);
      if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
      result = ComValue::I4(static_cast<std::int32_t>(matches_.size()));
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Item") || member.empty()) {
      if (!IsRead(kind)) return InvokeStatus::Fail(Code::kMemberNotFound);
      std::int32_t i;
      if (InvokeStatus st = IndexArg(args, matches_.size(), i); !st.ok()) return st;
      result = ComValue::Obj(std::make_shared<MatchComponent>(matches_[i]));
      return InvokeStatus::Ok();
    }
    return NoSuchMember(member);
  }

 private:
  std::vector<MatchRecord> matches_;
};

struct CodeDeleter {
  void operator()(pcre2_code* c) const { pcre2_code_free(c); }
};
struct MatchDataDeleter {
  void operator()(pcre2_match_data* m) const { pcre2_match_data_free(m); }
};
struct MatchContextDeleter {
  void operator()(pcre2_match_context* m) const { pcre2_match_context_free(m); }
};

class RegExpComponent final : public Component {
 public:
  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (SameMember(member, u"Pattern")) return Property(kind, args, result, pattern_);
    if (SameMember(member, u"IgnoreCase")) return Property(kind, args, result, ignoreCase_);
    if (SameMember(member, u"Global")) return Property(kind, args, result, global_);
    if (SameMember(member, u"Multiline")) return Property(kind, args, result, multiline_);
    bool execute = SameMember(member, u"Execute");
    bool test = SameMember(member, u"Test");
    bool replace = SameMember(member, u"Replace");
    if (!execute && !test && !replace) return NoSuchMember(member);
    if (!IsRead(kind)) return InvokeStatus::Fail(Code::kMemberNotFound);
    if (args.size() != (replace ? 2u : 1u)) return InvokeStatus::Fail(Code::kBadParamCount);
    std::u16string subject;
    if (InvokeStatus st = ArgText(args[0], subject); !st.ok()) return st;
    std::u16string replacement;
    if (replace) {
      if (InvokeStatus st = ArgText(args[1], replacement); !st.ok()) return st;
    }
    std::vector<MatchRecord> matches;
    std::vector<std::pair<size_t, size_t>> spans;  // start and end of each match
    if (InvokeStatus st = Search(subject, test ? false : global_, matches, spans); !st.ok()) return st;
    if (execute) {
      result = ComValue::Obj(std::make_shared<MatchesComponent>(std::move(matches)));
    } else if (test) {
      result = ComValue::Bool(!matches.empty());
    } else {
      result = ComValue::Str(Substitute(subject, replacement, matches, spans));
    }
    return InvokeStatus::Ok();
  }

 private:
  InvokeStatus Property(InvokeKind kind, std::vector<ComValue>& args, ComValue& result, std::u16string& field) {
    if (IsRead(kind)) {
      if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
      result = ComValue::Str(field);
      return InvokeStatus::Ok();
    }
    if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
    std::u16string value;
    if (InvokeStatus st = ArgText(args[0], value); !st.ok()) return st;
    field = std::move(value);
    compiled_.reset();
    return InvokeStatus::Ok();
  }

  InvokeStatus Property(InvokeKind kind, std::vector<ComValue>& args, ComValue& result, bool& field) {
    if (IsRead(kind)) {
      if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
      result = ComValue::Bool(field);
      return InvokeStatus::Ok();
    }
    if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
    bool value;
    if (InvokeStatus st = ArgBool(args[0], value); !st.ok()) return st;
    field = value;
    compiled_.reset();
    return InvokeStatus::Ok();
  }

  InvokeStatus Compile() {
    if (compiled_) return InvokeStatus::Ok();
    uint32_t options = PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF;
    options |= multiline_ ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
    if (ignoreCase_) options |= PCRE2_CASELESS;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context) return InvokeStatus::Fail(Code::kException, "out of memory");
    // CR, LF and CR LF end a line for "^", "$" and ".".
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(), options, &error,
                                     &offset, context);
    pcre2_compile_context_free(context);
    if (!code) return InvokeStatus::Fail(Code::kException, "syntax error in regular expression");
    compiled_.reset(code);
    return InvokeStatus::Ok();
  }

  // Every match (or the first when not `all`), in the manner of an
  // ECMAScript global search: after an empty match the next search starts one
  // unit further on.
  InvokeStatus Search(const std::u16string& subject, bool all, std::vector<MatchRecord>& matches,
                      std::vector<std::pair<size_t, size_t>>& spans) {
    if (InvokeStatus st = Compile(); !st.ok()) return st;
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(compiled_.get(), nullptr));
    std::unique_ptr<pcre2_match_context, MatchContextDeleter> context(pcre2_match_context_create(nullptr));
    if (!data || !context) return InvokeStatus::Fail(Code::kException, "out of memory");
    pcre2_set_match_limit(context.get(), kMatchLimit);
    pcre2_set_depth_limit(context.get(), kDepthLimit);
    uint32_t groupCount = 0;
    pcre2_pattern_info(compiled_.get(), PCRE2_INFO_CAPTURECOUNT, &groupCount);
    auto sp = reinterpret_cast<PCRE2_SPTR>(subject.data());
    size_t start = 0;
    while (start <= subject.size()) {
      int rc = pcre2_match(compiled_.get(), sp, subject.size(), start, 0, data.get(), context.get());
      if (rc == PCRE2_ERROR_NOMATCH) break;
      if (rc < 0) {
        return InvokeStatus::Fail(Code::kException, rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
                                                            rc == PCRE2_ERROR_HEAPLIMIT
                                                        ? "the search is too complex"
                                                        : "the search failed");
      }
      PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
      size_t begin = ov[0], end = ov[1];
      if (end < begin) end = begin;  // \K in a lookahead can put the end first
      MatchRecord m;
      m.value = subject.substr(begin, end - begin);
      m.firstIndex = static_cast<std::int32_t>(begin);
      for (uint32_t g = 1; g <= groupCount; ++g) {
        if (static_cast<int>(g) < rc && ov[2 * g] != PCRE2_UNSET) {
          m.groups.emplace_back(subject.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
        } else {
          m.groups.emplace_back(std::nullopt);
        }
      }
      matches.push_back(std::move(m));
      spans.emplace_back(begin, end);
      if (!all) break;
      start = end > begin ? end : end + 1;
    }
    return InvokeStatus::Ok();
  }

  // The replacement text for one match: $$, $&, $`, $' and $n / $nn as an
  // ECMAScript replacement reads them; anything else is literal.
  static void AppendReplacement(std::u16string& out, const std::u16string& replacement, const std::u16string& subject,
                                const MatchRecord& m, size_t begin, size_t end) {
    for (size_t i = 0; i < replacement.size(); ++i) {
      char16_t c = replacement[i];
      if (c != u'$' || i + 1 >= replacement.size()) {
        out.push_back(c);
        continue;
      }
      char16_t n = replacement[i + 1];
      if (n == u'$') {
        out.push_back(u'$');
        ++i;
      } else if (n == u'&') {
        out += m.value;
        ++i;
      } else if (n == u'`') {
        out.append(subject, 0, begin);
        ++i;
      } else if (n == u'\'') {
        out.append(subject, end, std::u16string::npos);
        ++i;
      } else if (n >= u'0' && n <= u'9') {
        size_t count = m.groups.size();
        size_t one = n - u'0';
        size_t two = i + 2 < replacement.size() && replacement[i + 2] >= u'0' && replacement[i + 2] <= u'9'
                         ? one * 10 + (replacement[i + 2] - u'0')
                         : 0;
        size_t group = 0, used = 0;
        if (two >= 1 && two <= count) {
          group = two;
          used = 2;
        } else if (one >= 1 && one <= count) {
          group = one;
          used = 1;
        }
        if (used == 0) {
          out.push_back(c);
          continue;
        }
        if (m.groups[group - 1]) out += *m.groups[group - 1];
        i += used;
      } else {
        out.push_back(c);
      }
    }
  }

  static std::u16string Substitute(const std::u16string& subject, const std::u16string& replacement,
                                   const std::vector<MatchRecord>& matches,
                                   const std::vector<std::pair<size_t, size_t>>& spans) {
    std::u16string out;
    size_t copied = 0;
    for (size_t k = 0; k < matches.size(); ++k) {
      auto [begin, end] = spans[k];
      out.append(subject, copied, begin - copied);
      AppendReplacement(out, replacement, subject, matches[k], begin, end);
      copied = end;
    }
    out.append(subject, copied, std::u16string::npos);
    return out;
  }

  std::u16string pattern_;
  bool ignoreCase_ = false;
  bool global_ = false;
  bool multiline_ = false;
  std::unique_ptr<pcre2_code, CodeDeleter> compiled_;
};

}  // namespace

std::shared_ptr<Component> NewRegExpComponent() { return std::make_shared<RegExpComponent>(); }

}  // namespace corvenhal::platform
