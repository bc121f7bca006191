// One JSON document kept in a private JavaScript engine (the
// "MSScriptControl.ScriptControl" automation object) and read or written by
// path. A path is a member expression relative to the document, such as
// news[0].file, data['rsp_body'] or [2], or empty for the whole document.
// Every operation builds one short script from fixed pieces and the caller's
// path and value texts; a failed evaluation gives the empty value of the
// operation's result (false, empty text, 0). A write (Clear, SetValue,
// SetExpression, Push, SetElement, RemoveElement, SetNumber) gives true when
// its script ran, whatever value was written.
//
// Text values written by SetValue keep each backslash as U+2400 inside the
// engine; every read as text turns it back into one backslash, so a JSON text
// read out carries such backslashes raw.
//
// Copies share the engine and so the document; Parse gives the object parsed
// a new engine, leaving the document of earlier copies as it was.
#pragma once

#include <vector>

#include "platform/automation.h"
#include "text/text.h"

namespace corvenhal::script {

// What TypeOf finds at a path.
enum JsonTypeCode : int {
  kJsonNull = 0,  // null, or absent
  kJsonBoolean = 1,
  kJsonNumber = 2,
  kJsonObject = 4,
  kJsonArray = 5,
  kJsonString = 6,
  kJsonOther = -1,  // anything else, or a path that does not evaluate
};

class JsonObject {
 public:
  // An engine holding an empty object.
  JsonObject();
  ~JsonObject();
  // A second reference to the same engine and document.
  JsonObject(const JsonObject& other);
  JsonObject& operator=(const JsonObject& other);

  // Makes this object's engine (the helper functions loaded, the document an
  // empty object); the holder stays empty when the engine cannot be made.
  void CreateEngine();

  // Reads a document into a fresh engine. LF bytes are dropped first (CR bytes
  // stay). The text is read as a literal only, never run: JSON, and the
  // script literal forms a hand-written document may use (see
  // LiteralToJson). With `asIs` false a text that is one string literal is
  // refused. False, with the document null, when the text is refused or does
  // not decode (also when it is too large or too deeply nested for the
  // engine) and when it decodes to null.
  bool Parse(const Text& text, bool asIs = false);

  // Makes the document an empty object.
  bool Clear();
  // The document as JSON.
  Text ToText();

  // Writes a text value at `path`, or with `json` a script value: merged into
  // an existing object there, otherwise evaluated and stored.
  bool SetValue(const Text& path, const Text& value, bool json = false);
  // Stores the value of a script expression at `path`.
  bool SetExpression(const Text& path, const Text& expression);

  // Turns `path` into an absolute expression beginning with the variable name
  // and tells whether a value other than null or undefined is there.
  bool ResolvePath(Text& path);
  bool Exists(const Text& path);
  JsonTypeCode TypeOf(const Text& path);

  // The value as text: a string itself, a number as the script prints it, a
  // boolean "true" or "false", an array its elements joined with commas; with
  // `json` its JSON text. Empty for an absent value (and for null without
  // `json`).
  Text GetText(const Text& path, bool json = false);
  // The member names of an object (leaving out function members), replacing
  // `names`; gives their number. None for anything but an object.
  long MemberNames(std::vector<Text>& names, const Text& path);
  // The length of an array; 0 for anything else.
  long Count(const Text& path);
  // A new object holding a copy of the value at `path`.
  JsonObject GetObject(const Text& path);
  // Appends a value (quoted as a text unless `asIs`) to the array at `path`,
  // which becomes an array first when it is not one.
  bool Push(const Text& value, const Text& path, bool asIs = false);
  JsonObject GetElementObject(long index, const Text& path);
  // Element `index` (from 0) as text; without `json` only a string element
  // gives text.
  Text GetElementText(long index, const Text& path, bool json = false);
  bool SetElement(long index, const Text& path, const Text& value, bool asIs = false);
  bool RemoveElement(long index, const Text& path);
  bool Delete(const Text& path);
  bool SetNumber(const Text& path, double number);
  double GetNumber(const Text& path);
  Text GetJson(const Text& path);
  // A second reference to the engine.
  platform::AutomationObject Engine() const { return engine_; }
  // Values collected by a "get__nodeValue" script function, which the helper
  // script does not define: replaces `values` and gives their number.
  long NodeValues(std::vector<Text>& values, const Text& path, bool flag);

 private:
  Text Resolved(const Text& path);
  Text EvalText(const Text& code);
  double EvalNumber(const Text& code);
  bool EvalBoolean(const Text& code);
  // A write's result: whether its script ran, whatever value it gave.
  bool EvalSucceeds(const Text& code);
  JsonObject ObjectFromJson(const Text& json);

  Text name_;
  platform::AutomationObject engine_;
  platform::AutomationBridge bridge_;
  long comInitialized_ = 0;  // CoInitialize calls this object still owes a CoUninitialize
};

}  // namespace corvenhal::script
