#pragma once
#include <cstddef>

namespace kov {

// Asks the system to back a large, not yet touched block with huge pages: loading 100,000
// accounts otherwise spends more time in page faults than in reading.
void AdviseHugePages(void* p, std::size_t size);

}  // namespace kov
