#include "store/MemoryAdvice.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kov {

namespace {
// Advice for the whole `align`-sized units inside [p, p + size); the system takes no other.
void AdviseInside(void* p, std::size_t size, std::uintptr_t align, int advice) {
#if defined(__linux__)
  const auto begin = (reinterpret_cast<std::uintptr_t>(p) + align - 1) & ~(align - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(p) + size) & ~(align - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, advice);
#else
  (void)p;
  (void)size;
  (void)align;
  (void)advice;
#endif
}
}  // namespace

void AdviseHugePages(void* p, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  AdviseInside(p, size, 2u << 20, MADV_HUGEPAGE);
#else
  (void)p;
  (void)size;
#endif
}

void PrefaultForWrite(void* p, std::size_t size) {
  // Older kernels do not know the advice and refuse it; the pages then fault as usual.
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, Linux 5.14
  AdviseInside(p, size, 4096, kPopulateWrite);
}

}  // namespace kov
