// The built module on a host's audio thread: from the first process() call after
// activation on, no call allocates or frees memory, whatever the host sends in it
// (parameter changes, the oversampling switch flipped, the power and the host's bypass
// toggled, empty and oversized blocks). This executable exports its own malloc family, so
// the module's calls land in the counters too.

#include "helpers/CountingAllocator.h"
#include "helpers/MessageLoop.h"
#include "helpers/Vst3Processing.h"

#include <gtest/gtest.h>

using namespace testhelpers;
using namespace Steinberg;

TEST (ModuleRealtime, NoProcessCallAllocatesOrFreesFromTheFirstOn)
{
    if (! VANTOREL_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "allocations are not counted in this build";

    Vst3Module module { juce::File (VANTOREL_VST3_BUNDLE) };
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    // The module's own allocations reach the counters.
    {
        CountHeapActivity counter;
        ProcessRig probe (*factory.get());
        ASSERT_TRUE (probe.isValid());
        EXPECT_GT (counter.sinceStart().allocations, 0);
    }

    for (const double rate : { 44100.0, 48000.0, 96000.0 })
    {
        for (const int channels : { 1, 2 })
        {
            SCOPED_TRACE (juce::String (rate) + " Hz, " + juce::String (channels) + " channels");
            ProcessRig rig (*factory.get());

            // Oversampling on before activation: the first block is the one that used to
            // re-prepare the engine.
            ParamChanges setup;
            setup.set ("oversampling", 1.0);
            ASSERT_EQ (rig.flush (setup), kResultTrue);
            ASSERT_TRUE (rig.start (rate, 256, channels));

            juce::Random random (5);
            juce::AudioBuffer<float> buffer (channels, 1024);
            bool oversampling = true;

            for (int block = 0; block < 120; ++block)
            {
                ParamChanges changes;
                if (block % 6 == 2)
                    changes.set ("oversampling", (oversampling = ! oversampling) ? 1.0 : 0.0);
                if (block % 9 == 4)
                    changes.set ("onoff", block % 18 == 4 ? 0.0 : 1.0);
                if (block % 13 == 7)
                    changes.set (bypassParamId, block % 26 == 7 ? 1.0 : 0.0);
                changes.set ("delay", random.nextDouble());
                changes.set ("feedback", random.nextDouble());
                changes.set ("cutoff", random.nextDouble());
                changes.set (random.nextBool() ? "ishpf" : "panic", random.nextBool() ? 1.0 : 0.0);

                // Mostly the announced size; now and then nothing, or four times as much.
                const int size = block % 10 == 3 ? 0 : block % 10 == 8 ? 1024 : 256;
                juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), channels, size);
                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < size; ++i)
                        view.setSample (c, i, random.nextFloat() - 0.5f);

                HeapActivity heap;
                {
                    CountHeapActivity counter;
                    ASSERT_EQ (rig.process (view, &changes), kResultTrue);
                    heap = counter.sinceStart();
                }
                EXPECT_EQ (heap.allocations, 0) << "block " << block << " (" << size << " samples) allocated";
                EXPECT_EQ (heap.frees, 0) << "block " << block << " (" << size << " samples) freed";

                // Between blocks the host's other threads go on: the latency report, timers.
                if (block % 6 == 3)
                    pumpMessages (120);
            }
        }
    }
}
