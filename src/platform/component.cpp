#include "platform/component.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

#include "platform/portable/components/components.h"

namespace corvenhal::platform {
namespace {

struct Entry {
  std::string progId;
  std::string clsid;
  ComponentFactory factory;
};

struct Registry {
  std::recursive_mutex mutex;
  std::vector<Entry> entries;
  bool builtInsDone = false;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// Runs the built-in registrations once; called with the registry locked.
void EnsureBuiltIns(Registry& r) {
  if (r.builtInsDone) return;
  r.builtInsDone = true;
  RegisterBuiltInComponents();
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string_view TrimSpaces(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Text to a double as VarR8FromStr reads it: surrounding white space, a sign,
// thousands separators in the integer part, a fraction, an exponent (E or D),
// or a hexadecimal (&H) or octal (&O) integer.
bool ParseNumber(std::u16string_view text, double& out) {
  std::u16string_view s = TrimSpaces(text);
  if (s.empty()) return false;
  if (s.size() > 2 && s[0] == u'&' && (LowerAscii(s[1]) == u'h' || LowerAscii(s[1]) == u'o')) {
    unsigned base = LowerAscii(s[1]) == u'h' ? 16 : 8;
    std::uint64_t value = 0;
    for (char16_t c : s.substr(2)) {
      unsigned digit;
      if (c >= u'0' && c <= u'9') {
        digit = c - u'0';
      } else if (LowerAscii(c) >= u'a' && LowerAscii(c) <= u'f') {
        digit = LowerAscii(c) - u'a' + 10;
      } else {
        return false;
      }
      if (digit >= base) return false;
      value = value * base + digit;
      if (value > 0xFFFFFFFFull) return false;
    }
    out = static_cast<double>(value);
    return true;
  }
  std::string ascii;
  size_t i = 0;
  if (s[i] == u'+' || s[i] == u'-') ascii.push_back(static_cast<char>(s[i++]));
  bool digits = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= u'0' && s[i] <= u'9') {
      ascii.push_back(static_cast<char>(s[i]));
      digits = true;
    } else if (s[i] == u',' && digits) {
      continue;
    } else {
      break;
    }
  }
  if (i < s.size() && s[i] == u'.') {
    ascii.push_back('.');
    for (++i; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
      ascii.push_back(static_cast<char>(s[i]));
      digits = true;
    }
  }
  if (!digits) return false;
  if (i < s.size() && (LowerAscii(s[i]) == u'e' || LowerAscii(s[i]) == u'd')) {
    ascii.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ascii.push_back(static_cast<char>(s[i++]));
    bool expDigits = false;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
      ascii.push_back(static_cast<char>(s[i]));
      expDigits = true;
    }
    if (!expDigits) return false;
  }
  if (i != s.size()) return false;
  const char* begin = ascii.data();
  if (*begin == '+') ++begin;
  double value = 0;
  auto [end, ec] = std::from_chars(begin, ascii.data() + ascii.size(), value);
  if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value)) return false;
  out = value;
  return true;
}

// Round half to even, as the automation conversions to an integer do.
bool RoundToI4(double d, std::int32_t& out) {
  if (!std::isfinite(d)) return false;
  double r = std::nearbyint(d);  // the default rounding mode is to nearest, ties to even
  if (r < -2147483648.0 || r > 2147483647.0) return false;
  out = static_cast<std::int32_t>(r);
  return true;
}

std::u16string AsciiToUtf16(std::string_view s) { return std::u16string(s.begin(), s.end()); }

constexpr int kMaxDefaultValueDepth = 8;

bool ChangeTypeAt(const ComValue& in, ComValue::Type to, ComValue& out, int depth) {
  using T = ComValue::Type;
  if (in.type == to) {
    out = in;
    return true;
  }
  if (in.type == T::kObject) {
    // An object stands for its default value.
    if (!in.object || depth >= kMaxDefaultValueDepth) return false;
    std::vector<ComValue> none;
    ComValue value;
    InvokeStatus st = InvokeStatus::Fail(InvokeStatus::Code::kException);
    try {
      st = in.object->Invoke(u"", InvokeKind::kPropertyGet, none, value);
    } catch (...) {
      return false;
    }
    if (!st.ok()) return false;
    return ChangeTypeAt(value, to, out, depth + 1);
  }
  if (in.type == T::kNull) return false;
  switch (to) {
    case T::kEmpty:
      out = ComValue::Empty();
      return true;
    case T::kNull:
      out = ComValue::Null();
      return true;
    case T::kText:
      switch (in.type) {
        case T::kEmpty: out = ComValue::Str(u""); return true;
        case T::kI4: out = ComValue::Str(AsciiToUtf16(std::to_string(in.i4))); return true;
        case T::kR8: out = ComValue::Str(NumberToComText(in.r8)); return true;
        case T::kBool: out = ComValue::Str(in.boolean ? u"-1" : u"0"); return true;
        case T::kBytes: {
          // The array's bytes become the units of the text; an odd last byte
          // is no whole unit.
          std::u16string units;
          units.reserve(in.bytes.size() / 2);
          for (size_t i = 0; i + 1 < in.bytes.size(); i += 2) {
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(in.bytes[i]) |
                                                  (static_cast<unsigned char>(in.bytes[i + 1]) << 8)));
          }
          out = ComValue::Str(std::move(units));
          return true;
        }
        default: return false;
      }
    case T::kR8:
    case T::kI4: {
      double d;
      switch (in.type) {
        case T::kEmpty: d = 0; break;
        case T::kI4: d = in.i4; break;
        case T::kR8: d = in.r8; break;
        case T::kBool: d = in.boolean ? -1 : 0; break;
        case T::kText:
          if (!ParseNumber(in.text, d)) return false;
          break;
        default: return false;
      }
      if (to == T::kR8) {
        out = ComValue::R8(d);
        return true;
      }
      std::int32_t i;
      if (!RoundToI4(d, i)) return false;
      out = ComValue::I4(i);
      return true;
    }
    case T::kBool:
      switch (in.type) {
        case T::kEmpty: out = ComValue::Bool(false); return true;
        case T::kI4: out = ComValue::Bool(in.i4 != 0); return true;
        case T::kR8: out = ComValue::Bool(in.r8 != 0); return true;
        case T::kText: {
          std::u16string_view s = TrimSpaces(in.text);
          std::u16string lower;
          for (char16_t c : s) lower.push_back(LowerAscii(c));
          if (lower == u"true" || lower == u"#true#") {
            out = ComValue::Bool(true);
            return true;
          }
          if (lower == u"false" || lower == u"#false#") {
            out = ComValue::Bool(false);
            return true;
          }
          double d;
          if (!ParseNumber(in.text, d)) return false;
          out = ComValue::Bool(d != 0);
          return true;
        }
        default: return false;
      }
    case T::kBytes:
      switch (in.type) {
        case T::kEmpty: out = ComValue::Blob({}); return true;
        case T::kText: {
          Bytes b;
          b.reserve(in.text.size() * 2);
          for (char16_t u : in.text) {
            b.push_back(static_cast<char>(u & 0xFF));
            b.push_back(static_cast<char>(u >> 8));
          }
          out = ComValue::Blob(std::move(b));
          return true;
        }
        default: return false;
      }
    case T::kObject:
      return false;
  }
  return false;
}

InvokeStatus Mismatch() { return InvokeStatus::Fail(InvokeStatus::Code::kTypeMismatch, "type mismatch"); }

}  // namespace

bool SameMember(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::u16string NumberToComText(double value) {
  if (value == 0) return u"0";  // also for -0
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value > 0 ? u"Infinity" : u"-Infinity";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return AsciiToUtf16(buffer);
}

bool ChangeType(const ComValue& in, ComValue::Type to, ComValue& out) {
  ComValue result;
  if (!ChangeTypeAt(in, to, result, 0)) return false;
  out = std::move(result);
  return true;
}

InvokeStatus ArgText(const ComValue& in, std::u16string& out) {
  ComValue v;
  if (!ChangeType(in, ComValue::Type::kText, v)) return Mismatch();
  out = std::move(v.text);
  return InvokeStatus::Ok();
}

InvokeStatus ArgNumber(const ComValue& in, double& out) {
  ComValue v;
  if (!ChangeType(in, ComValue::Type::kR8, v)) return Mismatch();
  out = v.r8;
  return InvokeStatus::Ok();
}

InvokeStatus ArgInt(const ComValue& in, std::int32_t& out) {
  ComValue v;
  if (!ChangeType(in, ComValue::Type::kI4, v)) return Mismatch();
  out = v.i4;
  return InvokeStatus::Ok();
}

InvokeStatus ArgBool(const ComValue& in, bool& out) {
  ComValue v;
  if (!ChangeType(in, ComValue::Type::kBool, v)) return Mismatch();
  out = v.boolean;
  return InvokeStatus::Ok();
}

std::shared_ptr<Component> CreateComponent(std::string_view id) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  EnsureBuiltIns(r);
  bool byClsid = !id.empty() && id.front() == '{';
  for (const Entry& e : r.entries) {
    const std::string& key = byClsid ? e.clsid : e.progId;
    if (!key.empty() && text::EqualsIgnoreCase(key, id)) {
      try {
        return e.factory ? e.factory() : nullptr;
      } catch (...) {
        return nullptr;
      }
    }
  }
  return nullptr;
}

void RegisterComponent(std::string progId, std::string clsid, ComponentFactory factory) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  EnsureBuiltIns(r);
  std::erase_if(r.entries, [&](const Entry& e) {
    return (!progId.empty() && text::EqualsIgnoreCase(e.progId, progId)) ||
           (!clsid.empty() && text::EqualsIgnoreCase(e.clsid, clsid));
  });
  r.entries.push_back(Entry{std::move(progId), std::move(clsid), std::move(factory)});
}

}  // namespace corvenhal::platform
