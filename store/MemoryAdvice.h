#pragma once
#include <cstddef>

namespace kov {

// Asks the system to back a large, not yet touched block with huge pages: loading 100,000
// accounts otherwise spends more time in page faults than in reading.
void AdviseHugePages(void* p, std::size_t size);
// Has the system back a block with memory now, without touching its bytes, so another
// thread that writes there later takes no page faults. Safe while that thread writes.
void PrefaultForWrite(void* p, std::size_t size);

}  // namespace kov
