// What a careless host or a broken signal can throw at the engine: samples that are not
// finite, absurd levels, any block size, any rate, oversampling switched mid-stream.

#include "helpers/RenderHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

using namespace testhelpers;

namespace
{
    constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
    constexpr float infinity = std::numeric_limits<float>::infinity();
} // namespace

// A sample that is not finite may spoil its own output sample, nothing else: the same
// stream with those samples silenced gives the same output everywhere else, bit for bit.
TEST (DelayRobustness, NonFiniteInputSpoilsOnlyItsOwnSample)
{
    const double rate = 48000.0;
    const int length = (int) (0.6 * rate);

    for (const bool oversampling : { false, true })
    {
        for (const bool mix : { false, true })
        {
            SCOPED_TRACE (juce::String (oversampling ? "oversampled" : "not oversampled") + (mix ? ", mix on" : ", mix off"));

            std::set<std::pair<int, int>> poisoned;
            auto render = [&] (bool poison)
            {
                auto rig = std::make_unique<Rig> (rate, length, 256);
                rig->set ("delay", 0.05f);
                rig->set ("feedback", 0.9f);
                rig->set ("feedbackboost", 0.0f);
                rig->set ("mix", mix ? 1.0f : 0.0f);
                rig->set ("oversampling", oversampling ? 1.0f : 0.0f);
                noise (rig->signal, 0, rig->at (0.4), 0.5f, 31);

                const float bad[] = { notANumber, infinity, -infinity };
                int n = 0;
                for (int i = rig->at (0.2); i < rig->at (0.21); i += 7)
                {
                    const int c = n % 2;
                    rig->signal.setSample (c, i, poison ? bad[n % 3] : 0.0f);
                    poisoned.insert ({ c, i });
                    ++n;
                }

                rig->runToEnd();
                return rig;
            };

            const auto clean = render (false);
            const auto spoiled = render (true);

            for (int c = 0; c < 2; ++c)
            {
                for (int i = 0; i < length; ++i)
                {
                    const float expected = clean->out (c, i);
                    const float actual = spoiled->out (c, i);

                    if (poisoned.count ({ c, i }) == 0 || ! mix || oversampling)
                    {
                        ASSERT_EQ (actual, expected) << "channel " << c << " sample " << i;
                    }
                }
            }
        }
    }
}

// Levels far beyond full scale, up to the largest float, at rates where the cutoff lies
// above the Nyquist frequency: every output stays finite and within 0.99, and once the
// input is silent the repeats die away instead of sticking.
TEST (DelayRobustness, HugeFiniteInputKeepsTheLoopFinite)
{
    struct Row
    {
        double rate;
        bool highPass, oversampling;
    };

    const Row rows[] = {
        { 1000.0, false, false },
        { 1000.0, true, false },
        { 6000.0, true, false },
        { 8000.0, false, true },
        { 48000.0, true, false },
        { 48000.0, false, true },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (juce::String (row.rate) + " Hz, " + (row.highPass ? "high-pass" : "low-pass") + (row.oversampling ? ", oversampled" : ""));
        Rig rig (row.rate, (int) (2.0 * row.rate), 64);
        rig.set ("delay", 0.03f);
        rig.set ("feedback", 0.5f);
        rig.set ("cutoff", 4000.0f);
        rig.set ("ishpf", row.highPass ? 1.0f : 0.0f);
        rig.set ("mix", 1.0f);
        rig.set ("oversampling", row.oversampling ? 1.0f : 0.0f);

        const int start = rig.at (0.2);
        for (int i = start; i < start + rig.at (0.02); ++i)
            for (int c = 0; c < 2; ++c)
                rig.signal.setSample (c, i, (i % 2 == 0 ? 1.0f : -1.0f) * std::numeric_limits<float>::max());
        rig.runToEnd();

        const int length = rig.signal.getNumSamples();
        for (int c = 0; c < 2; ++c)
        {
            for (int i = 0; i < length; ++i)
            {
                ASSERT_TRUE (std::isfinite (rig.out (c, i))) << "channel " << c << " sample " << i;
                ASSERT_LE (std::abs (rig.out (c, i)), 0.99f) << "channel " << c << " sample " << i;
            }
            EXPECT_LT (rig.peak (c, length - rig.at (0.1), length), 1.0e-3f) << "channel " << c;
        }
    }
}

// Random block sizes from 0 to 16384, every rate from 1 kHz to 768 kHz, oversampling
// switched mid-stream, parameters jumping, bursts of NaN and infinity in the input, mono
// and stereo: the engine keeps every output of a finite input finite and within 0.99.
TEST (DelayRobustness, SurvivesRandomBlocksRatesAndSwitching)
{
    const double rates[] = { 1000.0, 3000.0, 6000.0, 11025.0, 22050.0, 44100.0, 48000.0,
                             88200.0, 96000.0, 192000.0, 200000.0, 384000.0, 768000.0 };
    const char* const switches[] = { "ishpf", "panic", "feedbackboost", "mix", "oversampling" };

    juce::Random random (2024);
    int checked = 0;

    for (const double rate : rates)
    {
        const int channels = random.nextBool() ? 2 : 1;
        SCOPED_TRACE (juce::String (rate) + " Hz, " + juce::String (channels) + " channels");

        const int announced = 1 + random.nextInt (2048);
        TemplateAudioProcessor processor;
        if (channels == 1)
        {
            juce::AudioProcessor::BusesLayout mono;
            mono.inputBuses.add (juce::AudioChannelSet::mono());
            mono.outputBuses.add (juce::AudioChannelSet::mono());
            ASSERT_TRUE (processor.setBusesLayout (mono));
        }
        processor.setRateAndBufferSizeDetails (rate, announced);
        processor.prepareToPlay (rate, announced);

        juce::AudioBuffer<float> buffer (channels, 16384);
        juce::MidiBuffer midi;

        for (int block = 0; block < 14; ++block)
        {
            const int sizeClass = random.nextInt (10);
            const int numSamples = sizeClass < 3 ? random.nextInt (65)
                                 : sizeClass < 8 ? random.nextInt (4097)
                                                 : 8192 + random.nextInt (8193);

            setParameter (processor, "delay", 0.01f + 0.99f * random.nextFloat());
            setParameter (processor, "feedback", random.nextFloat());
            setParameter (processor, "cutoff", 100.0f + 3900.0f * random.nextFloat());
            for (const auto* id : switches)
                if (random.nextInt (4) == 0)
                    setParameter (processor, id, random.nextBool() ? 1.0f : 0.0f);

            std::vector<bool> finite ((size_t) (channels * numSamples), true);
            for (int c = 0; c < channels; ++c)
            {
                for (int i = 0; i < numSamples; ++i)
                {
                    float x = 1.5f * (2.0f * random.nextFloat() - 1.0f);
                    if (random.nextInt (500) == 0)
                    {
                        const float bad[] = { notANumber, infinity, -infinity };
                        x = bad[random.nextInt (3)];
                        finite[(size_t) (c * numSamples + i)] = false;
                    }
                    buffer.setSample (c, i, x);
                }
            }

            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), channels, 0, numSamples);
            processor.processBlock (view, midi);

            for (int c = 0; c < channels; ++c)
            {
                for (int i = 0; i < numSamples; ++i)
                {
                    if (! finite[(size_t) (c * numSamples + i)])
                        continue;

                    const float y = view.getSample (c, i);
                    ASSERT_TRUE (std::isfinite (y) && std::abs (y) <= 0.99f)
                        << "block " << block << " of " << numSamples << ", channel " << c << " sample " << i << ": " << y;
                    ++checked;
                }
            }
        }
    }

    EXPECT_GT (checked, 100000);
}
