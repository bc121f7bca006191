#include "platform/portable/components/components.h"

namespace corvenhal::platform {

std::shared_ptr<Component> NewAdodbStreamComponent() { return nullptr; }

}  // namespace corvenhal::platform
