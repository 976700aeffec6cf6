#pragma once

#include <cstdlib> // defines __GLIBC__

// Counts the heap allocations and frees a thread makes, by standing in for glibc's malloc
// family in the executable that links CountingAllocator.cpp (operator new/delete and
// JUCE's HeapBlock end there; so do those of a module the executable loads, when it
// exports these symbols). Sanitizer builds bring their own allocator: nothing is counted.

#if defined(__GLIBC__) && ! defined(__SANITIZE_ADDRESS__) && ! defined(__SANITIZE_THREAD__)
 #define VANTOREL_COUNTS_ALLOCATIONS 1
#else
 #define VANTOREL_COUNTS_ALLOCATIONS 0
#endif

namespace testhelpers
{
    struct HeapActivity
    {
        int allocations = 0, frees = 0;
    };

    /** Counts what this thread allocates and frees while it exists. */
    class CountHeapActivity
    {
    public:
        CountHeapActivity();
        ~CountHeapActivity();

        /** What this thread did since construction. */
        HeapActivity sinceStart() const;

    private:
        HeapActivity start;
    };
} // namespace testhelpers
