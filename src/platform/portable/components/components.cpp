#include "platform/portable/components/components.h"
#include "platform/portable/components/html_document.h"
#include "platform/portable/components/wbem.h"
#include "platform/portable/components/winhttp_request.h"

namespace corvenhal::platform {

// One line per component: ProgID, CLSID, factory.
void RegisterBuiltInComponents() {
  RegisterComponent("VBScript.RegExp", "{3F4DACA4-160D-11D2-A8E9-00104B365C9F}", NewRegExpComponent);
  RegisterComponent("Adodb.Stream", "{00000566-0000-0010-8000-00AA006D2EA4}", NewAdodbStreamComponent);
  RegisterComponent("MSScriptControl.ScriptControl", "{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}", NewScriptControlComponent);
  RegisterComponent("ScriptControl", "", NewScriptControlComponent);
  RegisterComponent("WbemScripting.SWbemLocator", "{76A64158-CB41-11D1-8B02-00600806D9B6}", NewWbemLocatorComponent);
  RegisterComponent("htmlfile", kHtmlDocumentClsid, NewHtmlDocumentComponent);
  RegisterComponent(kWinHttpRequestProgId, kWinHttpRequestClsid, NewWinHttpRequestComponent);
}

}  // namespace corvenhal::platform
