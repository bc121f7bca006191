#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace corvenhal::platform {

void AdviseLargeBuffer(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  auto begin = reinterpret_cast<std::uintptr_t>(data);
  std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  std::uintptr_t last = (begin + size) & ~(kLargePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace corvenhal::platform
