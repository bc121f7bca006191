#include "script/json_object.h"

#include <algorithm>

#include "platform/encodings.h"
#include "script/json_literal.h"

namespace corvenhal::script {
namespace {

constexpr char kControlId[] = "MSScriptControl.ScriptControl";

// Appended to every read as text: each U+2400 back into one backslash (the
// script literal '\\' is one backslash).
constexpr char kUnprotect[] = ".replace(str_reg, '\\\\')";

// Separator of the values NodeValues collects: "[2020年7月20日20时0分0秒]".
constexpr char kNodeSeparator[] =
    "[2020\xC4\xEA" "7\xD4\xC2" "20\xC8\xD5" "20\xCA\xB1" "0\xB7\xD6" "0\xC3\xEB]";

// Loaded into every engine right after it is made. JSON.stringify and
// JSON.parse are the engine's own.
constexpr char kHelperScript[] = R"js(
// The length of an array; 0 for anything else.
function get__count(c) {
  return Object.prototype.toString.call(c) == '[object Array]' ? c.length : 0;
}

// The names of an object's enumerable members in for-in order, without the
// members whose value is a function, joined with CR LF; '' for anything else.
function get__name_All(a) {
  if (Object.prototype.toString.call(a) != '[object Object]') return '';
  var names = [];
  for (var k in a) {
    if (typeof a[k] != 'function') names.push(k);
  }
  return names.join('\r\n');
}

// Merges source into target: an array target gets source's elements
// appended; otherwise each plain member of target (text, number, boolean,
// null or missing) is replaced by source's and each object member is merged
// in turn. Function members are left alone.
function get__extend(target, source) {
  if (Object.prototype.toString.call(target) == '[object Array]') {
    for (var i = 0; i < source.length; i++) target.push(source[i]);
    return target;
  }
  for (var k in source) {
    var t = target[k];
    if (t !== null && typeof t == 'object') {
      target[k] = get__extend(t, source[k]);
    } else if (typeof t != 'function') {
      target[k] = source[k];
    }
  }
  return target;
}

// Stores the value of a JSON text in the global variable named.
var get__global = this;
function get__parse(name, text) {
  get__global[name] = JSON.parse(text);
}
)js";

bool IsObjectClass(const Text& t) { return t == "[object Object]"; }

}  // namespace

JsonObject::JsonObject() : name_("da") { CreateEngine(); }

JsonObject::~JsonObject() {
  engine_.Release();
  for (; comInitialized_ > 0; --comInitialized_) platform::ComUninitialize();
  name_.clear();
}

// A copy keeps COM initialised for as long as it holds the engine, so it
// pairs an initialisation of its own with the one its destruction undoes.
JsonObject::JsonObject(const JsonObject& other) : name_(other.name_), engine_(other.engine_) {
  platform::ComInitialize();
  comInitialized_ = 1;
}

JsonObject& JsonObject::operator=(const JsonObject& other) {
  if (this != &other) {
    name_ = other.name_;
    engine_ = other.engine_;
  }
  return *this;
}

void JsonObject::CreateEngine() {
  platform::ComInitialize();
  ++comInitialized_;
  if (!bridge_.Create(engine_, kControlId)) return;
  bridge_.Put(engine_, "Language", "JavaScript");
  bridge_.Call(engine_, "AddCode", kHelperScript);
  bridge_.Call(engine_, "Eval",
               "var " + name_ + " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')");
}

bool JsonObject::Parse(const Text& text, bool asIs) {
  if (!engine_.IsEmpty()) {
    engine_.Release();
    CreateEngine();
  }
  if (engine_.IsEmpty()) return false;
  bridge_.Call(engine_, "Eval", "var " + name_ + " = null");

  std::u16string json;
  {
    Text source = text::AsText(text);
    source.erase(std::remove(source.begin(), source.end(), '\n'), source.end());
    // Read as the engine would see the text, then handed to its JSON decoder:
    // the document never runs as script.
    std::u16string units = platform::GbkToUtf16(source);
    source.clear();
    source.shrink_to_fit();
    if (!LiteralToJson(units, asIs, json)) return false;
  }
  // The general form of the call, so that a large document is not copied
  // on its way in.
  std::vector<platform::ComValue> args;
  args.push_back(platform::AutomationArg("get__parse").value());
  args.push_back(platform::AutomationArg(name_).value());
  args.push_back(platform::ComValue::Str(std::move(json)));
  platform::ComValue ignored;
  bridge_.Invoke(engine_, "Run", platform::InvokeKind::kMethod, std::move(args), ignored);
  return EvalBoolean(name_ + " != null");
}

bool JsonObject::Clear() { return EvalSucceeds(name_ + " = {}"); }

Text JsonObject::ToText() { return EvalText("JSON.stringify(" + name_ + ")" + kUnprotect); }

bool JsonObject::SetValue(const Text& path, const Text& value, bool json) {
  Text p = path;
  const bool exists = ResolvePath(p);
  if (json) {
    if (exists && IsObjectClass(EvalText("Object.prototype.toString.call(" + p + ")"))) {
      return EvalSucceeds(p + " = get__extend(" + p + ", " + (value.empty() ? Text("{}") : value) + ")");
    }
    return EvalSucceeds(p + " = eval(" + value + ")");
  }
  // A script string literal of the value; its backslashes are then kept as
  // U+2400 inside the engine.
  Text escaped = text::ReplaceAll(value, "\\", "\\\\");
  escaped = text::ReplaceAll(escaped, "'", "\\'");
  escaped = text::ReplaceAll(escaped, "\"", "\\\"");
  escaped = text::ReplaceAll(escaped, "\r", "\\r");
  escaped = text::ReplaceAll(escaped, "\n", "\\n");
  return EvalSucceeds(p + " = '" + escaped + "'.replace(/\\\\/g, str_Code)");
}

bool JsonObject::SetExpression(const Text& path, const Text& expression) {
  return EvalSucceeds(Resolved(path) + " = eval(" + expression + ")");
}

bool JsonObject::ResolvePath(Text& path) {
  // Tried as written first when it may already name the variable.
  if (text::StartsWith(path, name_) && EvalBoolean(path + " != null")) return true;
  if (path.empty()) {
    path = name_;
  } else if (path[0] == '[') {
    path = name_ + path;
  } else {
    path = name_ + "." + path;
  }
  return EvalBoolean(path + " != null");
}

bool JsonObject::Exists(const Text& path) {
  Text p = path;
  return ResolvePath(p);
}

JsonTypeCode JsonObject::TypeOf(const Text& path) {
  const Text p = Resolved(path);
  if (EvalBoolean(p + " == null")) return kJsonNull;
  const Text kind = EvalText("Object.prototype.toString.call(" + p + ")");
  if (kind == "[object String]") return kJsonString;
  if (kind == "[object Array]") return kJsonArray;
  if (kind == "[object Object]") return kJsonObject;
  if (kind == "[object Number]") return kJsonNumber;
  if (kind == "[object Boolean]") return kJsonBoolean;
  return kJsonOther;
}

Text JsonObject::GetText(const Text& path, bool json) {
  const Text p = Resolved(path);
  if (json) return EvalText("JSON.stringify(" + p + ")" + kUnprotect);
  return EvalText(p + ".toString()" + kUnprotect);
}

long JsonObject::MemberNames(std::vector<Text>& names, const Text& path) {
  names = text::Split(EvalText("get__name_All(" + Resolved(path) + ")"), "\r\n");
  return static_cast<long>(names.size());
}

long JsonObject::Count(const Text& path) {
  return static_cast<long>(text::Truncate(EvalNumber("get__count(" + Resolved(path) + ")")));
}

JsonObject JsonObject::GetObject(const Text& path) {
  return ObjectFromJson("JSON.stringify(" + Resolved(path) + ")" + kUnprotect);
}

bool JsonObject::Push(const Text& value, const Text& path, bool asIs) {
  const Text p = Resolved(path);
  const Text v = asIs ? value : "'" + value + "'";
  return EvalSucceeds("if (Object.prototype.toString.call(" + p + ") != '[object Array]') { " + p +
                     " = new Array() } " + p + ".push(" + v + ")");
}

JsonObject JsonObject::GetElementObject(long index, const Text& path) {
  return ObjectFromJson("JSON.stringify(" + Resolved(path) + "[" + text::NumberToText(static_cast<long long>(index)) +
                        "])" + kUnprotect);
}

Text JsonObject::GetElementText(long index, const Text& path, bool json) {
  const Text element = Resolved(path) + "[" + text::NumberToText(static_cast<long long>(index)) + "]";
  if (json) return EvalText("JSON.stringify(" + element + ")" + kUnprotect);
  return EvalText(element + kUnprotect);
}

bool JsonObject::SetElement(long index, const Text& path, const Text& value, bool asIs) {
  const Text v = asIs ? value : "'" + value + "'";
  return EvalSucceeds(Resolved(path) + "[" + text::NumberToText(static_cast<long long>(index)) + "] = " + v);
}

bool JsonObject::RemoveElement(long index, const Text& path) {
  return EvalSucceeds(Resolved(path) + ".splice(" + text::NumberToText(static_cast<long long>(index)) + ", 1)");
}

bool JsonObject::Delete(const Text& path) { return EvalBoolean("delete " + Resolved(path)); }

bool JsonObject::SetNumber(const Text& path, double number) {
  return EvalSucceeds(Resolved(path) + " = " + text::NumberToText(number));
}

double JsonObject::GetNumber(const Text& path) { return EvalNumber(Resolved(path)); }

Text JsonObject::GetJson(const Text& path) { return EvalText("JSON.stringify(" + Resolved(path) + ")" + kUnprotect); }

long JsonObject::NodeValues(std::vector<Text>& values, const Text& path, bool flag) {
  const Text p = Resolved(path);
  bridge_.Call(engine_, "Eval", "var str_all = new Array()");
  bridge_.Call(engine_, "Eval", "get__nodeValue(" + p + ", " + (flag ? "true" : "false") + ")");
  values = text::Split(EvalText(Text("str_all.join('") + kNodeSeparator + "')"), kNodeSeparator);
  return static_cast<long>(values.size());
}

Text JsonObject::Resolved(const Text& path) {
  Text p = path;
  ResolvePath(p);
  return p;
}

Text JsonObject::EvalText(const Text& code) { return bridge_.CallText(engine_, "Eval", code); }
double JsonObject::EvalNumber(const Text& code) { return bridge_.CallNumber(engine_, "Eval", code); }
bool JsonObject::EvalBoolean(const Text& code) { return bridge_.CallBoolean(engine_, "Eval", code); }
bool JsonObject::EvalSucceeds(const Text& code) { return bridge_.Call(engine_, "Eval", code); }

// The JSON text that `code` gives, parsed into a new object; handed back as a
// copy sharing that object's engine.
JsonObject JsonObject::ObjectFromJson(const Text& code) {
  JsonObject fresh;
  fresh.Parse(EvalText(code), false);
  return JsonObject(fresh);
}

}  // namespace corvenhal::script
