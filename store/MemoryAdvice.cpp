#include "store/MemoryAdvice.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kov {

void AdviseHugePages(void* p, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = 2u << 20;
  const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(p) + size) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)p;
  (void)size;
#endif
}

}  // namespace kov
