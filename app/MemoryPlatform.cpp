#include "app/MemoryPlatform.h"

// <malloc.h> first: it is what defines __GLIBC__ for the checks below.
#if defined(__linux__)
#include <malloc.h>
#endif

namespace ardel {

void TuneAllocator()
{
#if defined(__GLIBC__)
    // Fixed thresholds switch glibc's raising of them off: blocks from 256 KB
    // are mapped and unmapped on their own, and more than 1 MB free at the
    // heap's top is given back at once.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
#endif
}

void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    // Also the free pages inside the heap, which the top's trim never reaches.
    malloc_trim(0);
#endif
}

} // namespace ardel
