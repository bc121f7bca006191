// The inside of the automation bridge: values as an automation VARIANT holds
// them and the components that answer member calls. On Windows the bridge
// drives real COM objects; on the portable build each ProgID or CLSID is
// answered by a built-in component with the same member names and results.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace corvenhal::platform {

class Component;

// A VARIANT: text is UTF-16 as in a BSTR.
struct ComValue {
  enum class Type { kEmpty, kNull, kI4, kR8, kBool, kText, kBytes, kObject };
  Type type = Type::kEmpty;
  std::int32_t i4 = 0;
  double r8 = 0;
  bool boolean = false;
  std::u16string text;
  Bytes bytes;                        // VT_ARRAY | VT_UI1
  std::shared_ptr<Component> object;  // VT_DISPATCH

  static ComValue Empty() { return {}; }
  static ComValue Null() { ComValue v; v.type = Type::kNull; return v; }
  static ComValue I4(std::int32_t x) { ComValue v; v.type = Type::kI4; v.i4 = x; return v; }
  static ComValue R8(double x) { ComValue v; v.type = Type::kR8; v.r8 = x; return v; }
  static ComValue Bool(bool x) { ComValue v; v.type = Type::kBool; v.boolean = x; return v; }
  static ComValue Str(std::u16string x) { ComValue v; v.type = Type::kText; v.text = std::move(x); return v; }
  static ComValue Blob(Bytes x) { ComValue v; v.type = Type::kBytes; v.bytes = std::move(x); return v; }
  static ComValue Obj(std::shared_ptr<Component> x) { ComValue v; v.type = Type::kObject; v.object = std::move(x); return v; }
};

enum class InvokeKind { kMethod, kPropertyGet, kPropertyPut };

// The outcome of a member call, as the HRESULT families callers can tell apart.
struct InvokeStatus {
  // kUnknownName: no member of that name (DISP_E_UNKNOWNNAME). kMemberNotFound:
  // the name exists but not as that kind of member (DISP_E_MEMBERNOTFOUND);
  // the bridge then tries a method as a property read and the other way round.
  enum class Code { kOk, kUnknownName, kMemberNotFound, kBadParamCount, kTypeMismatch, kException, kNotImplemented };
  Code code = Code::kOk;
  std::string message;  // UTF-8, for the bridge's last-failure text

  bool ok() const { return code == Code::kOk; }
  static InvokeStatus Ok() { return {}; }
  static InvokeStatus Fail(Code c, std::string m = {}) { return {c, std::move(m)}; }
};

// One automation object. Member names are matched without case, as IDispatch
// does. Index arguments of a parameterised property come first in `args`; a
// property write passes the new value last.
class Component {
 public:
  virtual ~Component() = default;
  virtual InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                              ComValue& result) = 0;
};

// An enumerator, as "_NewEnum" gives one (IEnumVARIANT on Windows): hands out
// the items of a collection one at a time.
class EnumeratorComponent : public Component {
 public:
  // The next item (IEnumVARIANT::Next with a count of 1); false when none is
  // left.
  virtual bool Next(ComValue& item) = 0;
};

using ComponentFactory = std::function<std::shared_ptr<Component>()>;

// Member names compare without case (ASCII letters), as IDispatch names do.
bool SameMember(std::u16string_view a, std::u16string_view b);

// VariantChangeType with no flags: converts `in` to `to` (kText, kR8, kI4,
// kBool, kBytes or kObject). Text <-> bytes copies the raw UTF-16LE units, an
// object converts through its default value (member "" read), null converts to
// nothing but null. False (and `out` untouched) when the conversion fails.
bool ChangeType(const ComValue& in, ComValue::Type to, ComValue& out);
// The same for the common targets, with the status a component answers when an
// argument does not convert.
InvokeStatus ArgText(const ComValue& in, std::u16string& out);
InvokeStatus ArgNumber(const ComValue& in, double& out);
InvokeStatus ArgInt(const ComValue& in, std::int32_t& out);
InvokeStatus ArgBool(const ComValue& in, bool& out);
// A number as VarBstrFromR8 writes it: at most 15 significant digits, the form
// "1.79699364343956E+16" when they would not fit.
std::u16string NumberToComText(double value);

// Creates the component registered under a ProgID (case ignored) or a CLSID in
// braces (case ignored); null when none is.
std::shared_ptr<Component> CreateComponent(std::string_view id);

// Adds a component, replacing one registered under the same ProgID or CLSID;
// the built-in ones (portable/components/components.h) are registered first,
// on first use of either function.
void RegisterComponent(std::string progId, std::string clsid, ComponentFactory factory);

}  // namespace corvenhal::platform
