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
  enum class Code { kOk, kUnknownName, kBadParamCount, kTypeMismatch, kException, kNotImplemented };
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

using ComponentFactory = std::function<std::shared_ptr<Component>()>;

// Creates the component registered under a ProgID (case ignored) or a CLSID in
// braces (case ignored); null when none is.
std::shared_ptr<Component> CreateComponent(std::string_view id);

// Adds a component; the built-in ones are registered on first use.
void RegisterComponent(std::string progId, std::string clsid, ComponentFactory factory);

}  // namespace corvenhal::platform
