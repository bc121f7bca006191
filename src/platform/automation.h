// The automation bridge: drives automation objects by member name at run time.
//
// Objects live in AutomationObject holders and values in AutomationVariants.
// Every call names its result kind (none, text, number, boolean, object or
// variant); a failure of any kind (empty holder, unknown member, bad argument,
// an exception inside the object, a result that does not convert) gives the
// empty value of that kind and sets the bridge's last-failure text, which a
// success empties. Nothing throws.
//
// Text crosses as GBK on this side and UTF-16 on the object's side. Numbers
// are doubles; results of another type are converted as VariantChangeType does
// without flags (true reads as "-1" or -1, a double as "1.79699364343956E+16",
// null converts to nothing, an object to its default value).
#pragma once

#include <concepts>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/component.h"
#include "text/text.h"

namespace corvenhal::platform {

// COM initialisation of the calling thread, paired by every user of automation
// objects. This build has no COM library: the calls only count, per thread, so
// that the pairing can be checked.
void ComInitialize();
void ComUninitialize();
struct ComCallCounts {
  long initialize = 0;
  long uninitialize = 0;
};
// The calls made so far on this thread.
ComCallCounts ComCalls();
// Initialisations on this thread not yet matched by an uninitialisation.
long ComInitializeDepth();

// ComInitialize for the lifetime of the scope.
class ComScope {
 public:
  ComScope() { ComInitialize(); }
  ~ComScope() { ComUninitialize(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
};

// A holder of one automation object: empty, or one shared reference. Copying
// shares the object; Release empties this holder only.
class AutomationObject {
 public:
  AutomationObject() = default;
  explicit AutomationObject(std::shared_ptr<Component> component) : component_(std::move(component)) {}

  bool IsEmpty() const { return !component_; }
  void Release() { component_.reset(); }
  const std::shared_ptr<Component>& component() const { return component_; }
  // Both hold the same object (or both are empty).
  bool SameObject(const AutomationObject& other) const { return component_ == other.component_; }

 private:
  std::shared_ptr<Component> component_;
};

// One automation value: empty, text, number, boolean, byte array or object.
class AutomationVariant {
 public:
  AutomationVariant() = default;
  explicit AutomationVariant(ComValue value) : value_(std::move(value)) {}

  void AssignText(std::string_view gbk);  // up to its first zero byte
  void AssignBytes(std::string_view bytes);  // an array of bytes, every byte kept
  void AssignNumber(double number);
  void AssignBoolean(bool boolean);
  void AssignObject(const AutomationObject& object);
  void Clear() { value_ = ComValue::Empty(); }

  bool IsEmpty() const { return value_.type == ComValue::Type::kEmpty; }
  ComValue::Type type() const { return value_.type; }

  // The value converted; the empty value of the kind when it does not convert.
  // Read as bytes, an array gives its bytes and a text its UTF-16LE units.
  Text AsText() const;
  Bytes AsBytes() const;
  double AsNumber() const;
  bool AsBoolean() const;
  AutomationObject AsObject() const;

  const ComValue& value() const { return value_; }
  ComValue& value() { return value_; }

 private:
  ComValue value_;
};

// One argument of a call: text (GBK, up to its first zero byte), a number, a
// boolean, a variant or an object. Byte buffers go in an AutomationVariant.
class AutomationArg {
 public:
  AutomationArg(const char* gbk);
  AutomationArg(const std::string& gbk);
  AutomationArg(std::string_view gbk);
  AutomationArg(bool boolean) : value_(ComValue::Bool(boolean)) {}
  AutomationArg(double number) : value_(ComValue::R8(number)) {}
  template <std::integral I>
    requires(!std::same_as<I, bool> && !std::same_as<I, char>)
  AutomationArg(I number) : value_(FromInteger(static_cast<long long>(number))) {}
  AutomationArg(const AutomationVariant& variant) : value_(variant.value()) {}
  AutomationArg(const AutomationObject& object) : value_(ComValue::Obj(object.component())) {}

  const ComValue& value() const { return value_; }

 private:
  static ComValue FromInteger(long long n);
  ComValue value_;
};

class AutomationBridge {
 public:
  // Creates the object of a ProgID or a CLSID in braces into `holder`, which
  // is emptied first and stays empty on failure.
  bool Create(AutomationObject& holder, std::string_view id);

  // A method call (which also reaches a property of that name). Call gives the
  // success flag; the others give the result as that kind.
  template <typename... A>
  bool Call(const AutomationObject& o, std::string_view member, const A&... args) {
    ComValue r;
    return Invoke(o, member, InvokeKind::kMethod, {AutomationArg(args).value()...}, r);
  }
  template <typename... A>
  Text CallText(const AutomationObject& o, std::string_view member, const A&... args) {
    return ToText(Dispatch(o, member, InvokeKind::kMethod, {AutomationArg(args).value()...}));
  }
  template <typename... A>
  double CallNumber(const AutomationObject& o, std::string_view member, const A&... args) {
    return ToNumber(Dispatch(o, member, InvokeKind::kMethod, {AutomationArg(args).value()...}));
  }
  template <typename... A>
  bool CallBoolean(const AutomationObject& o, std::string_view member, const A&... args) {
    return ToBoolean(Dispatch(o, member, InvokeKind::kMethod, {AutomationArg(args).value()...}));
  }
  template <typename... A>
  AutomationObject CallObject(const AutomationObject& o, std::string_view member, const A&... args) {
    return ToObject(Dispatch(o, member, InvokeKind::kMethod, {AutomationArg(args).value()...}));
  }
  template <typename... A>
  AutomationVariant CallVariant(const AutomationObject& o, std::string_view member, const A&... args) {
    return ToVariant(Dispatch(o, member, InvokeKind::kMethod, {AutomationArg(args).value()...}));
  }

  // A property read (which also reaches a method of that name); `index` are
  // the index arguments of a parameterised property.
  template <typename... A>
  Text GetText(const AutomationObject& o, std::string_view member, const A&... index) {
    return ToText(Dispatch(o, member, InvokeKind::kPropertyGet, {AutomationArg(index).value()...}));
  }
  template <typename... A>
  double GetNumber(const AutomationObject& o, std::string_view member, const A&... index) {
    return ToNumber(Dispatch(o, member, InvokeKind::kPropertyGet, {AutomationArg(index).value()...}));
  }
  template <typename... A>
  bool GetBoolean(const AutomationObject& o, std::string_view member, const A&... index) {
    return ToBoolean(Dispatch(o, member, InvokeKind::kPropertyGet, {AutomationArg(index).value()...}));
  }
  template <typename... A>
  AutomationObject GetObject(const AutomationObject& o, std::string_view member, const A&... index) {
    return ToObject(Dispatch(o, member, InvokeKind::kPropertyGet, {AutomationArg(index).value()...}));
  }
  template <typename... A>
  AutomationVariant GetVariant(const AutomationObject& o, std::string_view member, const A&... index) {
    return ToVariant(Dispatch(o, member, InvokeKind::kPropertyGet, {AutomationArg(index).value()...}));
  }

  // A property write, plain or with one index argument.
  bool Put(const AutomationObject& o, std::string_view member, const AutomationArg& value);
  bool PutAt(const AutomationObject& o, std::string_view member, const AutomationArg& index,
             const AutomationArg& value);

  // Fetches one item from an enumerator (what "_NewEnum" gives). True when an
  // item was delivered; false, with `item` empty, when the enumeration is done
  // or the holder is empty or not an enumerator.
  bool Next(const AutomationObject& enumerator, AutomationVariant& item);

  // Why the last operation failed; empty after a success.
  const Text& LastFailure() const { return lastFailure_; }

  // The general form: `args` as the component takes them (index arguments
  // first, a written value last). False, with `result` empty, on failure.
  bool Invoke(const AutomationObject& o, std::string_view member, InvokeKind kind, std::vector<ComValue> args,
              ComValue& result);

 private:
  struct Outcome {
    bool ok = false;
    ComValue value;
  };
  Outcome Dispatch(const AutomationObject& o, std::string_view member, InvokeKind kind, std::vector<ComValue> args);
  Text ToText(const Outcome& r);
  double ToNumber(const Outcome& r);
  bool ToBoolean(const Outcome& r);
  AutomationObject ToObject(const Outcome& r);
  AutomationVariant ToVariant(const Outcome& r);
  void ConversionFailed(const char* kind);

  Text lastFailure_;
};

}  // namespace corvenhal::platform
