#include "platform/services.h"

#include "platform/portable/portable.h"

namespace corvenhal::platform {

Services& Current() {
  static Services services = portable::DefaultServices();
  return services;
}

}  // namespace corvenhal::platform
