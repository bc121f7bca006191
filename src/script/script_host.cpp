#include "script/script_host.h"

namespace corvenhal::script {

ScriptHost::ScriptHost() {
  platform::ComInitialize();
  // Not tested: a host without a control answers every operation with its
  // failure result.
  bridge_.Create(control_, "ScriptControl");
  bridge_.Put(control_, "Language", "JScript");
}

ScriptHost::~ScriptHost() {
  control_.Release();
  platform::ComUninitialize();
}

bool ScriptHost::ExecuteStatement(const Text& code) {
  bridge_.Call(control_, "ExecuteStatement", code);
  return bridge_.LastFailure().empty();
}

Text ScriptHost::Eval(const Text& expression) { return bridge_.CallText(control_, "Eval", expression); }

void ScriptHost::Reset() { bridge_.Call(control_, "Reset"); }

Text ScriptHost::Run(const Text& procedure, const OptionalArg& a1, const OptionalArg& a2, const OptionalArg& a3,
                     const OptionalArg& a4, const OptionalArg& a5, const OptionalArg& a6) {
  const OptionalArg* given[] = {&a1, &a2, &a3, &a4, &a5, &a6};
  int n = 0;
  while (n < 6 && given[n]->has_value()) ++n;
  switch (n) {
    case 0: return bridge_.CallText(control_, "Run", procedure);
    case 1: return bridge_.CallText(control_, "Run", procedure, **given[0]);
    case 2: return bridge_.CallText(control_, "Run", procedure, **given[0], **given[1]);
    case 3: return bridge_.CallText(control_, "Run", procedure, **given[0], **given[1], **given[2]);
    case 4: return bridge_.CallText(control_, "Run", procedure, **given[0], **given[1], **given[2], **given[3]);
    case 5:
      return bridge_.CallText(control_, "Run", procedure, **given[0], **given[1], **given[2], **given[3], **given[4]);
    default:
      return bridge_.CallText(control_, "Run", procedure, **given[0], **given[1], **given[2], **given[3], **given[4],
                              **given[5]);
  }
}

Text ScriptHost::Language(std::optional<long> kind) {
  if (!kind || *kind == 0) {
    bridge_.Put(control_, "Language", "JScript");
  } else if (*kind == 1) {
    bridge_.Put(control_, "Language", "vbs");
  }
  return bridge_.GetText(control_, "Language");
}

long ScriptHost::Timeout(std::optional<long> milliseconds) {
  bridge_.Put(control_, "Timeout", milliseconds.value_or(-1));
  return ReadInteger("Timeout");
}

long ScriptHost::State(std::optional<long> state) {
  if (state) bridge_.Put(control_, "State", *state);
  return ReadInteger("State");
}

bool ScriptHost::AllowUI(std::optional<bool> allow) {
  if (allow) bridge_.Put(control_, "AllowUI", *allow);
  return bridge_.GetBoolean(control_, "AllowUI");
}

long ScriptHost::SitehWnd(std::optional<long> window) {
  if (window) bridge_.Put(control_, "SitehWnd", *window);
  return ReadInteger("SitehWnd");
}

void ScriptHost::AddCode(const Text& code) { bridge_.Call(control_, "AddCode", code); }

long ScriptHost::ReadInteger(const char* property) {
  return static_cast<long>(text::Truncate(bridge_.GetNumber(control_, property)));
}

}  // namespace corvenhal::script
