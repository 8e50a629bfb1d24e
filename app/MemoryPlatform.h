// Memory the program no longer uses goes back to the system. After the
// first large block is freed, glibc raises its thresholds for returning
// memory (up to 32 MB for mapped blocks, twice that for the heap's top), so
// the buffers of one refresh of thousands of devices stayed with the process
// as a raised plateau. The one platform-specific file is MemoryPlatform.cpp.
#pragma once

namespace ardel {

// Once, at start-up, before the windows exist.
void TuneAllocator();

// When an exchange has ended: the free memory of the heap goes back.
void ReturnFreedMemory();

} // namespace ardel
