#pragma once

#include <QtGlobal>

namespace MemoryAdvice {

// Asks the system to back the whole huge pages inside [data, data + size)
// with huge pages where it grants them on request: a large buffer then fills
// with far fewer page faults, and only the pages written to cost memory.
// Silently does nothing where the system has no such advice.
//
// A block so advised must not grow afterwards: a growing realloc that moves
// it copies every page instead of moving the mapping (twice the memory at
// the peak). Reserve all the room it will need before advising.
void preferHugePages(void *data, qsizetype size);

} // namespace MemoryAdvice
