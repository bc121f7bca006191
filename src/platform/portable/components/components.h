// The built-in components that answer automation ids on this build, each with
// the member names, arguments and results of the Windows object of that id.
#pragma once

#include <memory>

#include "platform/component.h"

namespace corvenhal::platform {

// Registers every built-in component (called once, on first use of the
// registry).
void RegisterBuiltInComponents();

// Factories of the built-in components.
std::shared_ptr<Component> NewRegExpComponent();       // "VBScript.RegExp"
std::shared_ptr<Component> NewAdodbStreamComponent();  // "Adodb.Stream"
std::shared_ptr<Component> NewScriptControlComponent();  // "MSScriptControl.ScriptControl", "ScriptControl"

}  // namespace corvenhal::platform
