// Memory the program frees goes back to the system when an exchange ends.
// The calls are platform code behind a check that once compiled them to
// nothing; this sees the resident size fall.
#include "app/MemoryPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ARDEL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ARDEL_ASAN 1
#endif

namespace {

[[maybe_unused]] long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

TEST(MemoryPlatformTest, FreedHeapBlocksGoBackWhenAnExchangeEnds)
{
#if !defined(__GLIBC__) || defined(ARDEL_ASAN)
    GTEST_SKIP() << "glibc's allocator only (the sanitizers bring their own)";
#else
    ardel::TuneAllocator();
    // 48 MB in blocks small enough for the heap, then one that stays, so
    // that the freed space is inside the heap, where only the trim reaches.
    constexpr size_t kBlock = 512;
    std::vector<char *> blocks(48u * 1024 * 1024 / kBlock);
    for (char *&p : blocks) {
        p = static_cast<char *>(std::malloc(kBlock));
        std::memset(p, 1, kBlock);
    }
    char *stays = static_cast<char *>(std::malloc(kBlock));
    std::memset(stays, 1, kBlock);
    for (char *p : blocks)
        std::free(p);
    const long before = ResidentKb();
    ardel::ReturnFreedMemory();
    const long after = ResidentKb();
    std::free(stays);
    EXPECT_GT(before - after, 32L * 1024) << before << " kB before the trim, " << after << " kB after";
#endif
}
