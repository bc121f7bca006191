// One script control with its language set to "JScript", for defining script
// functions and evaluating expressions. Functions and variables a statement
// defines stay in the control for later calls. No operation reports an error
// or stops the caller: failures show as false, empty text or 0, and in
// LastError.
#pragma once

#include <optional>

#include "platform/automation.h"
#include "text/text.h"

namespace corvenhal::script {

class ScriptHost {
 public:
  // An argument of Run that may be left out.
  using OptionalArg = std::optional<platform::AutomationArg>;

  ScriptHost();
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Runs statements; true when the control reported no failure.
  bool ExecuteStatement(const Text& code);
  // The value of an expression as text; empty on any failure.
  Text Eval(const Text& expression);

  // Discards every definition.
  void Reset();
  // Why the last operation failed; empty after a success.
  Text LastError() const { return bridge_.LastFailure(); }
  // A second reference to the control.
  platform::AutomationObject Control() const { return control_; }
  // Calls a script procedure with the arguments given, up to the first one
  // left out; its value as text.
  Text Run(const Text& procedure, const OptionalArg& a1 = {}, const OptionalArg& a2 = {},
           const OptionalArg& a3 = {}, const OptionalArg& a4 = {}, const OptionalArg& a5 = {},
           const OptionalArg& a6 = {});
  // 0 or left out sets "JScript", 1 "vbs", anything else nothing; gives the
  // language read back.
  Text Language(std::optional<long> kind = std::nullopt);
  // Sets the time-out in milliseconds (-1, no time-out, when left out); gives
  // it read back.
  long Timeout(std::optional<long> milliseconds = std::nullopt);
  // Each sets its property only when given, and gives it read back.
  long State(std::optional<long> state = std::nullopt);
  bool AllowUI(std::optional<bool> allow = std::nullopt);
  long SitehWnd(std::optional<long> window = std::nullopt);
  // Adds code (functions, variables) to the control.
  void AddCode(const Text& code);

 private:
  long ReadInteger(const char* property);

  platform::AutomationBridge bridge_;
  platform::AutomationObject control_;
};

}  // namespace corvenhal::script
