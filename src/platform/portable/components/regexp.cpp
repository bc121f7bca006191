#include "platform/portable/components/components.h"

namespace corvenhal::platform {

std::shared_ptr<Component> NewRegExpComponent() { return nullptr; }

}  // namespace corvenhal::platform
