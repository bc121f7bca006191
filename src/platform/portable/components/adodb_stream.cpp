// "Adodb.Stream": an in-memory stream of bytes that reads as text in a named
// character set. It answers what a caller needs to decode a byte buffer: Type,
// Mode, Charset, Position, Size, State, Open, Write, ReadText and Close.
// Character-set labels map to the converters that Windows and browsers use for
// them; a label it does not know reads the bytes in the system code page, so
// that such a text stays as it was received.
#include <optional>

#include "platform/codepage.h"
#include "platform/encodings.h"
#include "platform/portable/components/components.h"

namespace corvenhal::platform {
namespace {

using Code = InvokeStatus::Code;

constexpr std::int32_t kTypeBinary = 1;
constexpr std::int32_t kTypeText = 2;
constexpr std::int32_t kReadAll = -1;
constexpr unsigned kUtf16Le = 1200;

struct Label {
  const char* name;
  unsigned codePage;
};

// Labels (lower case) and the code page each one selects.
constexpr Label kLabels[] = {
    {"utf-8", 65001}, {"utf8", 65001}, {"unicode-1-1-utf-8", 65001}, {"x-unicode20utf8", 65001},
    {"unicode", 1200}, {"utf-16", 1200}, {"utf-16le", 1200}, {"ucs-2", 1200}, {"iso-10646-ucs-2", 1200},
    {"unicodefffe", 1201}, {"utf-16be", 1201},
    {"utf-7", 65000}, {"x-unicode20utf7", 65000},
    {"gb2312", 936}, {"gbk", 936}, {"x-gbk", 936}, {"gb_2312-80", 936}, {"chinese", 936}, {"csgb2312", 936},
    {"csgb231280", 936}, {"iso-ir-58", 936}, {"cp936", 936}, {"windows-936", 936}, {"ms936", 936},
    {"gb18030", 54936},
    {"big5", 950}, {"cn-big5", 950}, {"csbig5", 950}, {"x-x-big5", 950}, {"big5-hkscs", 950}, {"cp950", 950},
    {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932}, {"x-sjis", 932}, {"ms_kanji", 932}, {"csshiftjis", 932},
    {"windows-31j", 932}, {"cp932", 932}, {"x-ms-cp932", 932},
    {"euc-jp", 51932}, {"x-euc-jp", 51932}, {"cseucpkdfmtjapanese", 51932}, {"iso-2022-jp", 50220},
    {"csiso2022jp", 50220},
    {"euc-kr", 949}, {"ks_c_5601-1987", 949}, {"ks_c_5601", 949}, {"ks_c_5601-1989", 949}, {"ksc5601", 949},
    {"ksc_5601", 949}, {"korean", 949}, {"csksc56011987", 949}, {"csueckr", 949}, {"iso-ir-149", 949},
    {"windows-949", 949}, {"cp949", 949}, {"x-windows-949", 949}, {"iso-2022-kr", 50225},
    {"iso-8859-1", 1252}, {"iso8859-1", 1252}, {"iso_8859-1", 1252}, {"iso_8859-1:1987", 1252}, {"latin1", 1252},
    {"l1", 1252}, {"cp819", 1252}, {"ibm819", 1252}, {"csisolatin1", 1252}, {"iso-ir-100", 1252},
    {"us-ascii", 1252}, {"ascii", 1252}, {"ansi_x3.4-1968", 1252}, {"cp1252", 1252}, {"x-cp1252", 1252},
    {"iso-8859-11", 874}, {"tis-620", 874}, {"windows-874", 874}, {"dos-874", 874},
    {"koi8-r", 20866}, {"koi8r", 20866}, {"koi", 20866}, {"koi8", 20866}, {"cskoi8r", 20866},
    {"koi8-u", 21866}, {"koi8-ru", 21866},
    {"ibm866", 866}, {"cp866", 866}, {"866", 866}, {"csibm866", 866},
    {"macintosh", 10000}, {"mac", 10000}, {"x-mac-roman", 10000}, {"csmacintosh", 10000},
};

std::string LowerTrimmed(std::u16string_view label) {
  std::string out;
  for (char16_t c : label) {
    if (c > 0x7F) return {};  // no label has other characters
    out.push_back(text::ToLowerAscii(static_cast<char>(c)));
  }
  return text::Trim(out);
}

// The code page of a label; nothing for a label this stream does not know.
std::optional<unsigned> CodePageOfLabel(std::u16string_view label) {
  std::string name = LowerTrimmed(label);
  if (name.empty()) return std::nullopt;
  for (const Label& l : kLabels) {
    if (name == l.name) return l.codePage;
  }
  // The numbered families: windows-125x (also cp125x, x-cp125x) and iso-8859-x.
  for (const char* prefix : {"windows-", "x-cp", "cp"}) {
    if (text::StartsWith(name, prefix)) {
      std::string digits = name.substr(std::char_traits<char>::length(prefix));
      if (digits.size() == 4 && digits.compare(0, 3, "125") == 0 && digits[3] >= '0' && digits[3] <= '8') {
        return 1250u + static_cast<unsigned>(digits[3] - '0');
      }
    }
  }
  for (const char* prefix : {"iso-8859-", "iso8859-", "iso_8859-"}) {
    if (text::StartsWith(name, prefix)) {
      std::string digits = name.substr(std::char_traits<char>::length(prefix));
      if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) break;
      int n = std::stoi(digits);
      if (n == 1) return 1252u;
      if (n == 11) return 874u;
      if (n >= 2 && n <= 16 && n != 12) return 28590u + static_cast<unsigned>(n);
    }
  }
  return std::nullopt;
}

std::u16string Decode(std::string_view bytes, std::optional<unsigned> codePage) {
  std::u16string out;
  if (!codePage) {
    // Not a known label: the bytes as the system code page reads them, up to
    // the first zero byte, as the text was received.
    CodePages().ToUtf16(text::AsText(bytes), kCodePageGbk, out);
    return out;
  }
  std::string_view body = bytes;
  // A byte-order mark at the start belongs to the encoding, not to the text.
  if (*codePage == 65001 && body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  if (*codePage == kUtf16Le && body.substr(0, 2) == "\xFF\xFE") body.remove_prefix(2);
  if (*codePage == 1201 && body.substr(0, 2) == "\xFE\xFF") body.remove_prefix(2);
  if (*codePage == kUtf16Le) {
    // The units as they are, lone surrogates included.
    out.reserve(body.size() / 2);
    for (size_t i = 0; i + 1 < body.size(); i += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(body[i]) |
                                          (static_cast<unsigned char>(body[i + 1]) << 8)));
    }
    return out;
  }
  CodePages().ToUtf16(body, *codePage, out);
  return out;
}

InvokeStatus NotAllowed(const char* why) { return InvokeStatus::Fail(Code::kException, why); }

class AdodbStreamComponent final : public Component {
 public:
  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    bool put = kind == InvokeKind::kPropertyPut;
    if (SameMember(member, u"Type")) {
      if (!put) return Read(args, result, ComValue::I4(type_));
      std::int32_t t;
      if (InvokeStatus st = OneArg(args, t); !st.ok()) return st;
      if (t != kTypeBinary && t != kTypeText) return NotAllowed("arguments are of the wrong type or out of range");
      if (open_ && position_ != 0) return NotAllowed("operation is not allowed in this context");
      type_ = t;
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Mode")) {
      if (!put) return Read(args, result, ComValue::I4(mode_));
      std::int32_t m;
      if (InvokeStatus st = OneArg(args, m); !st.ok()) return st;
      if (open_) return NotAllowed("operation is not allowed when the object is open");
      mode_ = m;
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Charset")) {
      if (!put) return Read(args, result, ComValue::Str(charset_));
      if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
      std::u16string label;
      if (InvokeStatus st = ArgText(args[0], label); !st.ok()) return st;
      if (open_ && position_ != 0) return NotAllowed("operation is not allowed in this context");
      charset_ = std::move(label);
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Position")) {
      if (!open_) return Closed();
      if (!put) return Read(args, result, ComValue::I4(static_cast<std::int32_t>(position_)));
      std::int32_t p;
      if (InvokeStatus st = OneArg(args, p); !st.ok()) return st;
      if (p < 0 || static_cast<size_t>(p) > data_.size()) return NotAllowed("arguments are out of range");
      position_ = static_cast<size_t>(p);
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Size")) {
      if (put) return InvokeStatus::Fail(Code::kMemberNotFound);
      if (!open_) return Closed();
      return Read(args, result, ComValue::I4(static_cast<std::int32_t>(data_.size())));
    }
    if (SameMember(member, u"State")) {
      if (put) return InvokeStatus::Fail(Code::kMemberNotFound);
      return Read(args, result, ComValue::I4(open_ ? 1 : 0));
    }
    bool isMethod = SameMember(member, u"Open") || SameMember(member, u"Close") || SameMember(member, u"Write") ||
                    SameMember(member, u"ReadText");
    if (!isMethod) return InvokeStatus::Fail(Code::kUnknownName);
    if (put) return InvokeStatus::Fail(Code::kMemberNotFound);
    if (SameMember(member, u"Open")) {
      // Opens an empty stream; a source (the optional arguments) is not supported.
      if (args.size() > 5) return InvokeStatus::Fail(Code::kBadParamCount);
      if (!args.empty() && args[0].type != ComValue::Type::kEmpty) return NotAllowed("no such source");
      if (open_) return NotAllowed("operation is not allowed when the object is open");
      open_ = true;
      data_.clear();
      position_ = 0;
      return InvokeStatus::Ok();
    }
    if (!open_) return Closed();
    if (SameMember(member, u"Close")) {
      if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
      open_ = false;
      data_.clear();
      position_ = 0;
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"Write")) {
      if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
      if (type_ != kTypeBinary) return NotAllowed("operation is not allowed in this context");
      if (args[0].type != ComValue::Type::kBytes) return InvokeStatus::Fail(Code::kTypeMismatch, "not a byte array");
      const Bytes& bytes = args[0].bytes;
      if (position_ + bytes.size() > data_.size()) data_.resize(position_ + bytes.size());
      data_.replace(position_, bytes.size(), bytes);
      position_ += bytes.size();
      return InvokeStatus::Ok();
    }
    // ReadText([NumChars]): the rest of the stream as text, or its first
    // NumChars characters.
    if (args.size() > 1) return InvokeStatus::Fail(Code::kBadParamCount);
    std::int32_t count = kReadAll;
    if (!args.empty() && args[0].type != ComValue::Type::kEmpty) {
      if (InvokeStatus st = ArgInt(args[0], count); !st.ok()) return st;
    }
    if (count < kReadAll) return NotAllowed("arguments are out of range");
    if (type_ != kTypeText) return NotAllowed("operation is not allowed in this context");
    std::u16string decoded = Decode(std::string_view(data_).substr(position_), CodePageOfLabel(charset_));
    if (count != kReadAll && static_cast<size_t>(count) < decoded.size()) decoded.resize(static_cast<size_t>(count));
    position_ = data_.size();
    result = ComValue::Str(std::move(decoded));
    return InvokeStatus::Ok();
  }

 private:
  static InvokeStatus Closed() { return NotAllowed("operation is not allowed when the object is closed"); }

  static InvokeStatus Read(const std::vector<ComValue>& args, ComValue& result, ComValue value) {
    if (!args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
    result = std::move(value);
    return InvokeStatus::Ok();
  }

  static InvokeStatus OneArg(const std::vector<ComValue>& args, std::int32_t& out) {
    if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
    return ArgInt(args[0], out);
  }

  std::int32_t type_ = kTypeText;
  std::int32_t mode_ = 0;
  std::u16string charset_ = u"Unicode";
  bool open_ = false;
  Bytes data_;
  size_t position_ = 0;
};

}  // namespace

std::shared_ptr<Component> NewAdodbStreamComponent() { return std::make_shared<AdodbStreamComponent>(); }

}  // namespace corvenhal::platform
