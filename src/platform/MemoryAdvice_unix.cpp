#include "platform/MemoryAdvice.h"

#include <sys/mman.h>

namespace MemoryAdvice {

namespace {
constexpr quintptr kHugePage = 2 * 1024 * 1024;
}

void preferHugePages(void *data, qsizetype size)
{
#ifdef MADV_HUGEPAGE // Linux only
    const auto begin = reinterpret_cast<quintptr>(data);
    const quintptr first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const quintptr last = (begin + quintptr(size)) & ~(kHugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

} // namespace MemoryAdvice
