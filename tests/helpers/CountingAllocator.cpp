#include "CountingAllocator.h"

#include <atomic>
#include <cstddef>

namespace
{
    // Only the counting thread, so that JUCE's timer thread posting its messages meanwhile
    // does not count.
    thread_local bool counting = false;
    std::atomic<int> allocations { 0 }, frees { 0 };

    void noteAllocation() noexcept
    {
        if (counting)
            allocations.fetch_add (1, std::memory_order_relaxed);
    }

    void noteFree (void* pointer) noexcept
    {
        if (counting && pointer != nullptr)
            frees.fetch_add (1, std::memory_order_relaxed);
    }
} // namespace

namespace testhelpers
{
    CountHeapActivity::CountHeapActivity() : start { allocations.load(), frees.load() } { counting = true; }
    CountHeapActivity::~CountHeapActivity() { counting = false; }

    HeapActivity CountHeapActivity::sinceStart() const
    {
        return { allocations.load() - start.allocations, frees.load() - start.frees };
    }
} // namespace testhelpers

#if VANTOREL_COUNTS_ALLOCATIONS
extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);
    void __libc_free (void*);

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

    void free (void* pointer)
    {
        noteFree (pointer);
        __libc_free (pointer);
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
