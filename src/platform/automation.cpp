#include "platform/automation.h"

#include <limits>

#include "platform/encodings.h"

namespace corvenhal::platform {
namespace {

thread_local ComCallCounts comCalls;

const char* CodeText(InvokeStatus::Code code) {
  switch (code) {
    case InvokeStatus::Code::kOk: return "ok";
    case InvokeStatus::Code::kUnknownName: return "unknown name";
    case InvokeStatus::Code::kMemberNotFound: return "member not found";
    case InvokeStatus::Code::kBadParamCount: return "wrong number of arguments";
    case InvokeStatus::Code::kTypeMismatch: return "type mismatch";
    case InvokeStatus::Code::kException: return "exception";
    case InvokeStatus::Code::kNotImplemented: return "not implemented";
  }
  return "failure";
}

}  // namespace

void ComInitialize() { ++comCalls.initialize; }
void ComUninitialize() { ++comCalls.uninitialize; }
ComCallCounts ComCalls() { return comCalls; }
long ComInitializeDepth() { return comCalls.initialize - comCalls.uninitialize; }

// --- AutomationVariant ---

void AutomationVariant::AssignText(std::string_view gbk) { value_ = ComValue::Str(GbkToUtf16(text::AsText(gbk))); }
void AutomationVariant::AssignBytes(std::string_view bytes) { value_ = ComValue::Blob(Bytes(bytes)); }
void AutomationVariant::AssignNumber(double number) { value_ = ComValue::R8(number); }
void AutomationVariant::AssignBoolean(bool boolean) { value_ = ComValue::Bool(boolean); }
void AutomationVariant::AssignObject(const AutomationObject& object) {
  value_ = object.IsEmpty() ? ComValue::Empty() : ComValue::Obj(object.component());
}

Text AutomationVariant::AsText() const {
  ComValue v;
  return ChangeType(value_, ComValue::Type::kText, v) ? Utf16ToGbk(v.text) : Text();
}

Bytes AutomationVariant::AsBytes() const {
  ComValue v;
  return ChangeType(value_, ComValue::Type::kBytes, v) ? v.bytes : Bytes();
}

double AutomationVariant::AsNumber() const {
  ComValue v;
  return ChangeType(value_, ComValue::Type::kR8, v) ? v.r8 : 0.0;
}

bool AutomationVariant::AsBoolean() const {
  ComValue v;
  return ChangeType(value_, ComValue::Type::kBool, v) && v.boolean;
}

AutomationObject AutomationVariant::AsObject() const {
  return value_.type == ComValue::Type::kObject ? AutomationObject(value_.object) : AutomationObject();
}

// --- AutomationArg ---

AutomationArg::AutomationArg(const char* gbk) : AutomationArg(std::string_view(gbk ? gbk : "")) {}
AutomationArg::AutomationArg(const std::string& gbk) : AutomationArg(std::string_view(gbk)) {}
AutomationArg::AutomationArg(std::string_view gbk) : value_(ComValue::Str(GbkToUtf16(text::AsText(gbk)))) {}

ComValue AutomationArg::FromInteger(long long n) {
  if (n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max()) {
    return ComValue::I4(static_cast<std::int32_t>(n));
  }
  return ComValue::R8(static_cast<double>(n));
}

// --- AutomationBridge ---

bool AutomationBridge::Create(AutomationObject& holder, std::string_view id) {
  holder.Release();
  std::shared_ptr<Component> component = CreateComponent(id);
  if (!component) {
    lastFailure_ = "cannot create " + Text(id);
    return false;
  }
  holder = AutomationObject(std::move(component));
  lastFailure_.clear();
  return true;
}

bool AutomationBridge::Invoke(const AutomationObject& o, std::string_view member, InvokeKind kind,
                              std::vector<ComValue> args, ComValue& result) {
  result = ComValue::Empty();
  if (o.IsEmpty()) {
    lastFailure_ = Text(member) + ": no object";
    return false;
  }
  std::u16string name = GbkToUtf16(text::AsText(member));
  auto attempt = [&](InvokeKind k) {
    std::vector<ComValue> copy = args;
    ComValue r;
    InvokeStatus st;
    try {
      st = o.component()->Invoke(name, k, copy, r);
    } catch (...) {
      st = InvokeStatus::Fail(InvokeStatus::Code::kException, "the object threw");
    }
    if (st.ok()) result = std::move(r);
    return st;
  };
  InvokeStatus st = attempt(kind);
  // A method reaches a property of that name and a read reaches a method.
  if (st.code == InvokeStatus::Code::kMemberNotFound && kind != InvokeKind::kPropertyPut) {
    st = attempt(kind == InvokeKind::kMethod ? InvokeKind::kPropertyGet : InvokeKind::kMethod);
  }
  if (!st.ok()) {
    lastFailure_ = Text(member) + ": " + CodeText(st.code);
    if (!st.message.empty()) lastFailure_ += ": " + Utf8ToGbkText(st.message);
    result = ComValue::Empty();
    return false;
  }
  lastFailure_.clear();
  return true;
}

bool AutomationBridge::Put(const AutomationObject& o, std::string_view member, const AutomationArg& value) {
  ComValue r;
  return Invoke(o, member, InvokeKind::kPropertyPut, {value.value()}, r);
}

bool AutomationBridge::PutAt(const AutomationObject& o, std::string_view member, const AutomationArg& index,
                             const AutomationArg& value) {
  ComValue r;
  return Invoke(o, member, InvokeKind::kPropertyPut, {index.value(), value.value()}, r);
}

bool AutomationBridge::Next(const AutomationObject& enumerator, AutomationVariant& item) {
  item.Clear();
  auto* e = dynamic_cast<EnumeratorComponent*>(enumerator.component().get());
  if (!e) {
    lastFailure_ = enumerator.IsEmpty() ? "Next: no object" : "Next: not an enumerator";
    return false;
  }
  ComValue v;
  bool delivered = false;
  try {
    delivered = e->Next(v);
  } catch (...) {
    lastFailure_ = "Next: the object threw";
    return false;
  }
  // The end of the enumeration is no failure.
  lastFailure_.clear();
  if (!delivered) return false;
  item = AutomationVariant(std::move(v));
  return true;
}

AutomationBridge::Outcome AutomationBridge::Dispatch(const AutomationObject& o, std::string_view member,
                                                     InvokeKind kind, std::vector<ComValue> args) {
  Outcome r;
  r.ok = Invoke(o, member, kind, std::move(args), r.value);
  return r;
}

void AutomationBridge::ConversionFailed(const char* kind) {
  lastFailure_ = Text("the result does not convert to ") + kind;
}

Text AutomationBridge::ToText(const Outcome& r) {
  if (!r.ok) return {};
  ComValue v;
  if (!ChangeType(r.value, ComValue::Type::kText, v)) {
    ConversionFailed("text");
    return {};
  }
  return Utf16ToGbk(v.text);
}

double AutomationBridge::ToNumber(const Outcome& r) {
  if (!r.ok) return 0;
  ComValue v;
  if (!ChangeType(r.value, ComValue::Type::kR8, v)) {
    ConversionFailed("a number");
    return 0;
  }
  return v.r8;
}

bool AutomationBridge::ToBoolean(const Outcome& r) {
  if (!r.ok) return false;
  ComValue v;
  if (!ChangeType(r.value, ComValue::Type::kBool, v)) {
    ConversionFailed("a boolean");
    return false;
  }
  return v.boolean;
}

AutomationObject AutomationBridge::ToObject(const Outcome& r) {
  if (!r.ok) return {};
  if (r.value.type != ComValue::Type::kObject || !r.value.object) {
    ConversionFailed("an object");
    return {};
  }
  return AutomationObject(r.value.object);
}

AutomationVariant AutomationBridge::ToVariant(const Outcome& r) {
  return r.ok ? AutomationVariant(r.value) : AutomationVariant();
}

}  // namespace corvenhal::platform
