// The audio thread must not wait on the system's allocator: once the engine is prepared,
// processing allocates nothing, whatever the parameters and blocks do. Only a change of
// the oversampling switch re-prepares, and may.
//
// Allocations are counted by standing in for glibc's malloc family in this executable
// (operator new and JUCE's HeapBlock both end there). Sanitizer builds bring their own
// allocator, so the test is skipped there.

#include "helpers/RenderHelpers.h"

#include <gtest/gtest.h>

#include <atomic>

#if defined(__GLIBC__) && ! defined(__SANITIZE_ADDRESS__) && ! defined(__SANITIZE_THREAD__)
 #define VANTOREL_COUNTS_ALLOCATIONS 1
#else
 #define VANTOREL_COUNTS_ALLOCATIONS 0
#endif

namespace
{
    // Only the thread that counts, so JUCE's timer thread posting its messages meanwhile
    // does not count.
    thread_local bool counting = false;
    std::atomic<int> allocations { 0 };

    void noteAllocation() noexcept
    {
        if (counting)
            allocations.fetch_add (1, std::memory_order_relaxed);
    }

    /** Counts the allocations this thread makes while it exists. */
    struct AllocationCounter
    {
        AllocationCounter() { counting = true; }
        ~AllocationCounter() { counting = false; }
    };
} // namespace

#if VANTOREL_COUNTS_ALLOCATIONS
extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);

    void* malloc (size_t size)
    {
        noteAllocation();
        return __libc_malloc (size);
    }

    void* calloc (size_t count, size_t size)
    {
        noteAllocation();
        return __libc_calloc (count, size);
    }

    void* realloc (void* pointer, size_t size)
    {
        noteAllocation();
        return __libc_realloc (pointer, size);
    }

    void* memalign (size_t alignment, size_t size)
    {
        noteAllocation();
        return __libc_memalign (alignment, size);
    }

    void* aligned_alloc (size_t alignment, size_t size)
    {
        noteAllocation();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** result, size_t alignment, size_t size)
    {
        noteAllocation();
        *result = __libc_memalign (alignment, size);
        return *result != nullptr ? 0 : 12; // ENOMEM
    }
}
#endif

using namespace testhelpers;

TEST (DelayEngineRealtime, ProcessingAllocatesNothingOncePrepared)
{
    if (! VANTOREL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "allocations are not counted in this build";

    // The counter itself works.
    {
        const int before = allocations.load();
        AllocationCounter counter;
        auto* probe = new std::vector<float> (100);
        delete probe;
        ASSERT_GT (allocations.load(), before);
    }

    const double rate = 48000.0;
    Rig rig (rate, (int) (3.0 * rate), 256);
    noise (rig.signal, 0, rig.signal.getNumSamples(), 0.5f, 37);
    rig.set ("oversampling", 1.0f);
    rig.runBlock (256); // the first block prepares

    juce::Random random (99);
    const char* const switches[] = { "ishpf", "panic", "feedbackboost", "mix" };
    int counted = 0;

    for (int block = 0; block < 120; ++block)
    {
        // Parameters change on the host's side, outside the count.
        if (random.nextInt (3) == 0)
            rig.set ("delay", 0.01f + 0.99f * random.nextFloat());
        rig.set ("feedback", random.nextFloat());
        rig.set ("cutoff", 100.0f + 3900.0f * random.nextFloat());
        rig.set (switches[random.nextInt (4)], random.nextBool() ? 1.0f : 0.0f);

        if (block == 60)
        {
            rig.set ("oversampling", 0.0f); // re-prepares: allowed to allocate
            rig.runBlock (256);
            continue;
        }

        // Mostly the announced size, now and then nothing or far more than announced.
        const int size = block % 10 == 3 ? 0 : block % 10 == 7 ? 4096 : 256;

        const int before = allocations.load();
        {
            AllocationCounter counter;
            rig.runBlock (size);
        }
        EXPECT_EQ (allocations.load(), before) << "block " << block << " of " << size << " samples";
        ++counted;
    }

    EXPECT_EQ (counted, 119);
}
