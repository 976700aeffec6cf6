// The built module under a host that does everything at random: rates from 8 kHz to
// 384 kHz, mono and stereo, block sizes from 0 to 8192, every parameter changed at every
// block, oversampling and the host's bypass switched on and off. Nothing may crash; a
// processed block of finite input comes out finite and within 0.99, and a bypassed or
// powered-off block comes out as it went in.
//
// Block sizes also go past the maximum announced to setupProcessing, as misbehaving hosts
// send them: the module splits such a block into pieces of the announced length, since
// JUCE 7.0.5's VST3 client copies every block into scratch buffers of exactly that size.
// Sizes vary widely after each oversampling switch re-prepares the engine with the
// current, maybe tiny, block; blocks beyond what the processor itself was prepared for
// are stressed in-process too (DelayRobustness).

#include "helpers/Vst3Processing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace testhelpers;
using namespace Steinberg;

namespace
{
    juce::File bundle() { return juce::File (VANTOREL_VST3_BUNDLE); }

    const char* const parameterIds[] = { "delay", "feedback", "cutoff", "ishpf", "panic",
                                         "feedbackboost", "onoff", "mix", "oversampling" };
} // namespace

TEST (ModuleStress, RandomRatesBlocksParametersAndSwitches)
{
    const double rates[] = { 8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0,
                             88200.0, 96000.0, 176400.0, 192000.0, 352800.0, 384000.0 };
    constexpr int maxBlock = 8192;

    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    juce::Random random (20240611);
    int processed = 0, passedThrough = 0, oversizedBlocks = 0;

    for (const double rate : rates)
    {
        for (const int channels : { 1, 2 })
        {
            const int announced = random.nextBool() ? maxBlock : 1 << random.nextInt ({ 5, 14 });
            SCOPED_TRACE (juce::String (rate) + " Hz, " + juce::String (channels) + " channels, announced " + juce::String (announced));

            ProcessRig rig (*factory.get());
            ASSERT_TRUE (rig.start (rate, announced, channels));

            juce::AudioBuffer<float> buffer (channels, maxBlock);
            bool bypassed = false, poweredOn = true;

            for (int block = 0; block < 40; ++block)
            {
                const int sizeClass = random.nextInt (8);
                const int numSamples = sizeClass == 0 ? 0
                                     : sizeClass < 3 ? random.nextInt (juce::jmin (64, announced) + 1)
                                     : sizeClass < 6 ? random.nextInt (announced + 1)
                                                     : random.nextInt ({ 1, maxBlock + 1 });
                oversizedBlocks += numSamples > announced ? 1 : 0;

                ParamChanges changes;
                for (const auto* id : parameterIds)
                    changes.set (id, (double) random.nextFloat());
                // Power off only now and then, so most blocks run the engine.
                const double power = random.nextInt (6) == 0 ? 0.0 : 1.0;
                changes.set ("onoff", power);
                poweredOn = power >= 0.5;
                if (random.nextInt (5) == 0)
                {
                    bypassed = ! bypassed;
                    changes.set (bypassParamId, bypassed ? 1.0 : 0.0);
                }

                juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), channels, numSamples);
                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < numSamples; ++i)
                        view.setSample (c, i, 1.5f * (2.0f * random.nextFloat() - 1.0f));
                const juce::AudioBuffer<float> input (view);

                ASSERT_EQ (rig.process (view, &changes), kResultTrue) << "block " << block;

                const bool passes = bypassed || ! poweredOn;
                for (int c = 0; c < channels; ++c)
                {
                    for (int i = 0; i < numSamples; ++i)
                    {
                        const float y = view.getSample (c, i);
                        if (passes)
                            ASSERT_EQ (y, input.getSample (c, i)) << "block " << block << " of " << numSamples << ", channel " << c << " sample " << i;
                        else
                            ASSERT_TRUE (std::isfinite (y) && std::abs (y) <= 0.99f)
                                << "block " << block << " of " << numSamples << ", channel " << c << " sample " << i << ": " << y;
                    }
                }

                (passes ? passedThrough : processed) += numSamples * channels;
            }
        }
    }

    // The random walk reached both kinds of block in earnest, and blocks past the
    // announced maximum.
    EXPECT_GT (processed, 500000);
    EXPECT_GT (passedThrough, 100000);
    EXPECT_GT (oversizedBlocks, 50) << "only " << oversizedBlocks;
}
