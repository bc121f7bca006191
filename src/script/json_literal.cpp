#include "script/json_literal.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace corvenhal::script {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029; }

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x0B || c == 0x0C || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// Letters a hand-written member name may use beyond ASCII: Latin, Greek and
// Cyrillic letters, kana, CJK ideographs and Hangul.
bool IsWideLetter(char16_t c) {
  return (c >= 0x00C0 && c <= 0x024F && c != 0xD7 && c != 0xF7) || (c >= 0x0386 && c <= 0x03FF) ||
         (c >= 0x0400 && c <= 0x04FF) || (c >= 0x3041 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF);
}

bool IsIdentifierStart(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$' || IsWideLetter(c);
}

bool IsIdentifierPart(char16_t c) { return IsIdentifierStart(c) || IsDigit(c); }

class Reader {
 public:
  Reader(std::u16string_view text, std::u16string& out) : s_(text), out_(out) {}

  bool Document(bool allowString) {
    std::vector<char16_t> open;  // the containers entered, innermost last
    if (!Space() || AtEnd()) return false;
    if ((Peek() == u'"' || Peek() == u'\'') && !allowString) return false;
    for (;;) {
      // A value is expected here.
      if (!Space() || AtEnd()) return false;
      char16_t c = Peek();
      if (c == u'{' || c == u'[') {
        ++i_;
        out_.push_back(c);
        if (!Space()) return false;
        const char16_t close = c == u'{' ? u'}' : u']';
        if (Peek() == close) {
          ++i_;
          out_.push_back(close);
        } else {
          open.push_back(c);
          if (c == u'{' && !Member()) return false;
          continue;
        }
      } else if (!Scalar()) {
        return false;
      }
      // After a value: a separator, the end of containers, or the end.
      for (;;) {
        if (!Space()) return false;
        if (open.empty()) return AtEnd();
        const char16_t close = open.back() == u'{' ? u'}' : u']';
        char16_t d = Peek();
        if (d == close) {
          ++i_;
          out_.push_back(close);
          open.pop_back();
          continue;
        }
        if (d != u',') return false;
        ++i_;
        if (!Space()) return false;
        if (Peek() == close) {  // a trailing comma is dropped
          ++i_;
          out_.push_back(close);
          open.pop_back();
          continue;
        }
        out_.push_back(u',');
        if (open.back() == u'{' && !Member()) return false;
        break;
      }
    }
  }

 private:
  bool AtEnd() const { return i_ >= s_.size(); }
  char16_t Peek() const { return i_ < s_.size() ? s_[i_] : 0; }
  char16_t PeekAt(size_t k) const { return i_ + k < s_.size() ? s_[i_ + k] : 0; }

  // White space and comments; false for a comment that never ends.
  bool Space() {
    while (!AtEnd()) {
      char16_t c = Peek();
      if (IsSpace(c) || IsLineBreak(c)) {
        ++i_;
      } else if (c == u'/' && PeekAt(1) == u'/') {
        i_ += 2;
        while (!AtEnd() && !IsLineBreak(Peek())) ++i_;
      } else if (c == u'/' && PeekAt(1) == u'*') {
        size_t end = s_.find(u"*/", i_ + 2);
        if (end == std::u16string_view::npos) return false;
        i_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  // A member name and its colon; the value follows.
  bool Member() {
    if (!Space()) return false;
    char16_t c = Peek();
    if (c == u'"' || c == u'\'') {
      if (!String()) return false;
    } else if (IsIdentifierStart(c)) {
      size_t start = i_;
      while (!AtEnd() && IsIdentifierPart(Peek())) ++i_;
      out_.push_back(u'"');
      out_.append(s_.substr(start, i_ - start));
      out_.push_back(u'"');
    } else if (IsDigit(c)) {
      // A decimal integer name, which is its own text as a member name.
      size_t start = i_;
      while (!AtEnd() && IsDigit(Peek())) ++i_;
      size_t n = i_ - start;
      if ((n > 1 && s_[start] == u'0') || n > 15 || IsIdentifierPart(Peek()) || Peek() == u'.') return false;
      out_.push_back(u'"');
      out_.append(s_.substr(start, n));
      out_.push_back(u'"');
    } else {
      return false;
    }
    if (!Space() || Peek() != u':') return false;
    ++i_;
    out_.push_back(u':');
    return true;
  }

  bool Scalar() {
    char16_t c = Peek();
    if (c == u'"' || c == u'\'') return String();
    if (c == u'-') {
      ++i_;
      if (!Space()) return false;
      out_.push_back(u'-');
      return Number();
    }
    if (IsDigit(c) || c == u'.') return Number();
    if (IsIdentifierStart(c)) {
      size_t start = i_;
      while (!AtEnd() && IsIdentifierPart(Peek())) ++i_;
      std::u16string_view word = s_.substr(start, i_ - start);
      if (word != u"true" && word != u"false" && word != u"null") return false;
      out_.append(word);
      return true;
    }
    return false;
  }

  // A numeric literal, written in JSON's form.
  bool Number() {
    char16_t c = Peek();
    if (c == u'0' && (PeekAt(1) == u'x' || PeekAt(1) == u'X')) {
      i_ += 2;
      std::uint64_t value = 0;
      int digits = 0;
      for (int h; (h = HexValue(Peek())) >= 0; ++i_) {
        if (++digits > 16) return false;
        value = value * 16 + static_cast<std::uint64_t>(h);
      }
      if (digits == 0 || IsIdentifierPart(Peek())) return false;
      if (value <= (std::uint64_t{1} << 53)) {
        AppendAscii(std::to_string(value));
      } else {
        // Beyond 2^53 the value is rounded to a double, as the script does.
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", static_cast<double>(value));
        AppendAscii(buffer);
      }
      return true;
    }
    size_t start = i_;
    while (IsDigit(Peek())) ++i_;
    size_t intDigits = i_ - start;
    // 010 is octal in a script and 08 decimal: neither is taken.
    if (intDigits > 1 && s_[start] == u'0') return false;
    size_t fracStart = 0, fracDigits = 0;
    if (Peek() == u'.') {
      ++i_;
      fracStart = i_;
      while (IsDigit(Peek())) ++i_;
      fracDigits = i_ - fracStart;
    }
    if (intDigits == 0 && fracDigits == 0) return false;
    out_.append(intDigits ? s_.substr(start, intDigits) : u"0");
    if (fracDigits) {
      out_.push_back(u'.');
      out_.append(s_.substr(fracStart, fracDigits));
    }
    if (Peek() == u'e' || Peek() == u'E') {
      ++i_;
      out_.push_back(u'e');
      if (Peek() == u'+' || Peek() == u'-') out_.push_back(s_[i_++]);
      size_t expStart = i_;
      while (IsDigit(Peek())) ++i_;
      if (i_ == expStart) return false;
      out_.append(s_.substr(expStart, i_ - expStart));
    }
    return !IsIdentifierPart(Peek()) && Peek() != u'.';
  }

  // A string literal in either quote, written as a JSON string.
  bool String() {
    const char16_t quote = s_[i_++];
    out_.push_back(u'"');
    for (;;) {
      // Copy the run of characters that need nothing done in one go.
      size_t run = i_;
      while (run < s_.size() && IsPlain(s_[run])) ++run;
      out_.append(s_.data() + i_, run - i_);
      i_ = run;
      if (AtEnd()) return false;
      char16_t c = s_[i_++];
      if (c == quote) break;
      if (IsLineBreak(c)) return false;
      if (c == u'\\') {
        if (!Escape()) return false;
      } else if (c == u'"') {
        out_.append(u"\\\"");
      } else {
        Unit(c);
      }
    }
    out_.push_back(u'"');
    return true;
  }

  bool Escape() {
    if (AtEnd()) return false;
    char16_t c = s_[i_++];
    switch (c) {
      case u'"': out_.append(u"\\\""); return true;
      case u'\\': out_.append(u"\\\\"); return true;
      case u'b': case u'f': case u'n': case u'r': case u't': case u'/':
        out_.push_back(u'\\');
        out_.push_back(c);
        return true;
      case u'v': Unit(0x0B); return true;
      case u'\r':  // a line continuation
        if (Peek() == u'\n') ++i_;
        return true;
      case u'\n': return true;
      case u'x': {
        int h1 = HexValue(Peek()), h2 = HexValue(PeekAt(1));
        if (h1 < 0 || h2 < 0) return false;
        i_ += 2;
        Unit(static_cast<char16_t>(h1 * 16 + h2));
        return true;
      }
      case u'u': {
        for (size_t k = 0; k < 4; ++k) {
          if (HexValue(PeekAt(k)) < 0) return false;
        }
        out_.append(u"\\u");
        out_.append(s_.substr(i_, 4));
        i_ += 4;
        return true;
      }
      case u'0':
        if (IsDigit(Peek())) return false;  // a legacy octal escape
        Unit(0);
        return true;
      default:
        if (IsDigit(c)) return false;
        if (IsLineBreak(c)) return true;  // a line continuation
        Unit(c);  // any other character stands for itself
        return true;
    }
  }

  // A character of a string that both forms write alike.
  static bool IsPlain(char16_t c) {
    return c >= 0x20 && c != u'"' && c != u'\'' && c != u'\\' && c != 0x2028 && c != 0x2029;
  }

  // One character of a string's value, escaped where JSON needs it.
  void Unit(char16_t c) {
    if (c == u'"' || c == u'\\') {
      out_.push_back(u'\\');
      out_.push_back(c);
    } else if (c < 0x20) {
      static const char16_t kHex[] = u"0123456789abcdef";
      out_.append(u"\\u00");
      out_.push_back(kHex[c >> 4]);
      out_.push_back(kHex[c & 0xF]);
    } else {
      out_.push_back(c);
    }
  }

  void AppendAscii(const std::string& s) { out_.append(s.begin(), s.end()); }

  std::u16string_view s_;
  size_t i_ = 0;
  std::u16string& out_;
};

}  // namespace

bool LiteralToJson(std::u16string_view text, bool allowString, std::u16string& json) {
  json.clear();
  json.reserve(text.size() + 16);
  Reader reader(text, json);
  if (!reader.Document(allowString)) {
    json.clear();
    return false;
  }
  return true;
}

}  // namespace corvenhal::script
