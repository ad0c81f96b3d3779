#include "core/MemoryUse.h"

#include <cstdlib> // says whether this is the GNU C library
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace zv {

void returnLargeBlocksWhenFreed()
{
#if defined(__GLIBC__)
    // Setting the threshold at all keeps it where it is set (128 KiB, the library's own start).
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

} // namespace zv
