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

void PrefaultForWrite(void* p, std::size_t size) {
#if defined(__linux__)
  // Older kernels do not know the advice and refuse it; the pages then fault as usual.
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, Linux 5.14
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kPage - 1) & ~(kPage - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(p) + size) & ~(kPage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, kPopulateWrite);
#else
  (void)p;
  (void)size;
#endif
}

}  // namespace kov
