#include "platform/portable/components/components.h"

namespace corvenhal::platform {

// One line per component: ProgID, CLSID, factory.
void RegisterBuiltInComponents() {
  RegisterComponent("VBScript.RegExp", "{3F4DACA4-160D-11D2-A8E9-00104B365C9F}", NewRegExpComponent);
  RegisterComponent("Adodb.Stream", "{00000566-0000-0010-8000-00AA006D2EA4}", NewAdodbStreamComponent);
}

}  // namespace corvenhal::platform
