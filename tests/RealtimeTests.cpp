// The audio thread must not wait on the system's allocator: from the very first block on,
// processing allocates and frees nothing, whatever the parameters, the switches (the
// oversampling switch included) and the blocks do. Only the host's preparation may.
//
// Sanitizer builds bring their own allocator, so the test is skipped there.

#include "helpers/CountingAllocator.h"
#include "helpers/MessageLoop.h"
#include "helpers/RenderHelpers.h"

#include <gtest/gtest.h>

using namespace testhelpers;

namespace
{
    /** Runs one block with the counters on; returns what it allocated and freed. */
    HeapActivity countedBlock (Rig& rig, int size, bool bypassed)
    {
        juce::AudioBuffer<float> view (rig.signal.getArrayOfWritePointers(), rig.signal.getNumChannels(), rig.cursor, size);
        juce::MidiBuffer midi;
        HeapActivity activity;
        {
            CountHeapActivity counter;
            if (bypassed)
                rig.processor.processBlockBypassed (view, midi);
            else
                rig.processor.processBlock (view, midi);
            activity = counter.sinceStart();
        }
        rig.cursor += size;
        return activity;
    }
} // namespace

TEST (ProcessorRealtime, NoBlockAllocatesOrFreesFromTheFirstOn)
{
    if (! VANTOREL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "allocations are not counted in this build";

    // The counters themselves work.
    {
        CountHeapActivity counter;
        auto* probe = new std::vector<float> (100);
        delete probe;
        ASSERT_GT (counter.sinceStart().allocations, 0);
        ASSERT_GT (counter.sinceStart().frees, 0);
    }

    for (const double rate : { 44100.0, 48000.0, 96000.0 })
    {
        SCOPED_TRACE (juce::String (rate) + " Hz");

        // Prepared as a host prepares, with oversampling on from the start: the first block
        // is the one that used to re-prepare the engine.
        Rig rig (rate, (int) (4.0 * rate), 256);
        noise (rig.signal, 0, rig.signal.getNumSamples(), 0.5f, 37);
        rig.set ("oversampling", 1.0f);

        juce::Random random (99);
        const char* const switches[] = { "ishpf", "panic", "feedbackboost", "mix" };
        int toggles = 0;

        for (int block = 0; block < 160; ++block)
        {
            // Parameters change on the host's side, outside the count.
            if (random.nextInt (3) == 0)
                rig.set ("delay", 0.01f + 0.99f * random.nextFloat());
            rig.set ("feedback", random.nextFloat());
            rig.set ("cutoff", 100.0f + 3900.0f * random.nextFloat());
            rig.set (switches[random.nextInt (4)], random.nextBool() ? 1.0f : 0.0f);
            rig.set ("onoff", block % 11 == 5 ? 0.0f : 1.0f);

            // The oversampling switch flips every few blocks.
            if (block % 7 == 3)
            {
                rig.set ("oversampling", rawValue (rig.processor, "oversampling") == 0.0f ? 1.0f : 0.0f);
                ++toggles;
            }

            // Mostly the announced size, now and then nothing or far more than announced.
            const int size = block % 10 == 3 ? 0 : block % 10 == 7 ? 4096 : 256;
            const auto heap = countedBlock (rig, size, block % 13 == 9);
            EXPECT_EQ (heap.allocations, 0) << "block " << block << " of " << size << " samples allocated";
            EXPECT_EQ (heap.frees, 0) << "block " << block << " of " << size << " samples freed";

            // The host hears of a new latency from the message thread, between blocks.
            if (block % 7 == 4)
                pumpMessages (120);
        }

        EXPECT_GT (toggles, 20);
    }
}
