// The delay engine's timing: preparation per rate, where echoes land, how delay changes
// crossfade, how the smoothers advance, and how blocks of any size are taken.

#include "helpers/RenderHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testhelpers;

namespace
{
    /** Steps a smoother needs to reach a new target: its ramp length. */
    int rampSteps (juce::SmoothedValue<float> smoother)
    {
        smoother.setTargetValue (smoother.getTargetValue() + 1.0f);
        int steps = 0;
        while (smoother.isSmoothing())
        {
            smoother.getNextValue();
            ++steps;
        }
        return steps;
    }

    /** With panic on the line holds the dry input unfiltered, so the first echo of an
        impulse is a copy of it. With mix on, the output also carries the dry input through
        the same oversampling filters, whose latency thereby is measured rather than
        assumed: the echo must be that dry response, shifted by exactly d samples. */
    void expectEchoIsDryResponseDelayedBy (const Rig& rig, int impulseAt, int d)
    {
        constexpr int before = 16, responseLength = 300;

        for (int c = 0; c < rig.signal.getNumChannels(); ++c)
        {
            const float dryPeak = rig.peak (c, impulseAt - before, impulseAt + responseLength);
            ASSERT_GT (dryPeak, 0.05f) << "channel " << c;

            float worst = 0.0f;
            for (int k = -before; k < responseLength; ++k)
                worst = juce::jmax (worst, std::abs (rig.out (c, impulseAt + d + k) - rig.out (c, impulseAt + k)));
            EXPECT_LT (worst, 0.01f * dryPeak) << "channel " << c;

            // Nothing between the dry response and the echo, nor after the echo.
            if (d > responseLength + before)
            {
                EXPECT_LT (rig.peak (c, impulseAt + responseLength, impulseAt + d - before), 1.0e-3f * dryPeak) << "channel " << c;
            }
            EXPECT_LT (rig.peak (c, impulseAt + d + responseLength, rig.signal.getNumSamples()), 1.0e-3f * dryPeak) << "channel " << c;
        }
    }

    /** Steps left in a smoother's running ramp. */
    int stepsLeft (juce::SmoothedValue<float> smoother)
    {
        int steps = 0;
        while (smoother.isSmoothing())
        {
            smoother.getNextValue();
            ++steps;
        }
        return steps;
    }
} // namespace

//==============================================================================
TEST (DelayEnginePreparation, FollowsTheRateTable)
{
    struct Row
    {
        double hostRate;
        bool oversampling;
        double engineRate;
        int rampSteps, fadeLength, maximumDelay, oversamplerFactor;
    };

    const Row rows[] = {
        { 48000, false, 48000, 1440, 3000, 48000, 4 },
        { 48000, true, 192000, 5760, 12000, 192000, 4 },
        { 96000, false, 96000, 2880, 6000, 96000, 2 },
        { 96000, true, 192000, 5760, 12000, 192000, 2 },
        { 192000, false, 192000, 5760, 12000, 192000, 1 },
        { 192000, true, 192000, 5760, 12000, 192000, 1 },
        { 200000, true, 200000, 6000, 12500, 200000, 1 },
        { 32000, false, 32000, 960, 2000, 32000, 4 }, // the ratio is 6, the factor 4
        { 32000, true, 128000, 3840, 8000, 128000, 4 },
        { 44100, false, 44100, 1323, 2756, 44100, 4 },
        { 44100, true, 176400, 5292, 11025, 176400, 4 },
        { 1000, false, 1000, 30, 62, 1000, 16 }, // the order is capped at JUCE's 4 stages
        { 1000, true, 16000, 480, 1000, 16000, 16 },
        { 768000, true, 768000, 23040, 48000, 768000, 1 },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (juce::String (row.hostRate) + (row.oversampling ? " Hz, oversampling on" : " Hz, oversampling off"));
        Rig rig (row.hostRate, 0);
        rig.set ("oversampling", row.oversampling ? 1.0f : 0.0f);
        rig.set ("feedback", 0.3f);

        // A block of 0 samples still picks up the parameters and does the due preparation.
        rig.runBlock (0);

        const auto& engine = rig.processor.engine;
        EXPECT_EQ (engine.getEngineSampleRate(), row.engineRate);
        EXPECT_EQ (rampSteps (engine.getDelaySmoother()), row.rampSteps);
        EXPECT_EQ (rampSteps (engine.getCutoffSmoother()), row.rampSteps);
        EXPECT_EQ (engine.getFadeLength(), row.fadeLength);
        EXPECT_EQ (engine.getMaximumDelayInSamples(), row.maximumDelay);
        EXPECT_EQ (engine.getOversamplerFactor(), row.oversamplerFactor);

        // The smoothers landed on the values just picked up; no crossfade is running.
        EXPECT_FALSE (engine.getFeedbackSmoother().isSmoothing());
        EXPECT_FLOAT_EQ (engine.getFeedbackSmoother().getCurrentValue(), 0.3f);
        EXPECT_FLOAT_EQ (engine.getDelaySmoother().getCurrentValue(), 0.2f);
        EXPECT_TRUE (engine.isCrossfadeIdle());
    }
}

//==============================================================================
TEST (DelayEngineEcho, ImpulseReturnsAfterExactlyTheDelay)
{
    for (const double rate : { 44100.0, 48000.0, 96000.0 })
    {
        for (const bool oversampling : { false, true })
        {
            for (const float delay : { 0.01f, 0.29f, 1.0f })
            {
                SCOPED_TRACE (juce::String (rate) + " Hz, delay " + juce::String (delay) + (oversampling ? ", oversampled" : ""));

                const int impulseAt = (int) (0.15 * rate); // after the first block's crossfade
                Rig rig (rate, impulseAt + (int) rate + 400);
                rig.set ("delay", delay);
                rig.set ("panic", 1.0f);
                rig.set ("mix", 1.0f);
                rig.set ("oversampling", oversampling ? 1.0f : 0.0f);
                rig.signal.setSample (0, impulseAt, 0.5f);
                rig.signal.setSample (1, impulseAt, -0.25f);
                rig.runToEnd();

                const int d = rig.delaySamples();
                ASSERT_EQ (d, (int) std::lround (delay * rate));
                expectEchoIsDryResponseDelayedBy (rig, impulseAt, d);
            }
        }
    }
}

// Knob turns, automation faster than a ramp and everything between: once the smoothing and
// the crossfades are over, the line reads at exactly the last delay. A read position that
// slipped by one sample at any of the crossfades would show here.
TEST (DelayEngineEcho, StaysExactAfterManyRandomDelayChanges)
{
    for (const bool oversampling : { false, true })
    {
        SCOPED_TRACE (oversampling ? "oversampled" : "not oversampled");
        const double rate = 48000.0;
        const int changePhase = (int) (7.0 * rate);
        Rig rig (rate, changePhase + (int) (2.5 * rate), 256);
        rig.set ("oversampling", oversampling ? 1.0f : 0.0f);
        noise (rig.signal, 0, changePhase, 0.3f, 7);

        juce::Random random (42);
        auto* delay = rig.processor.apvts.getParameter ("delay");
        for (int change = 0; change < 100; ++change)
        {
            delay->setValueNotifyingHost (random.nextFloat());

            if (random.nextBool())
                rig.runBlock (rig.blockSize); // the next change comes within this ramp
            else
                rig.runTo (rig.cursor + rig.at (0.02 + 0.13 * random.nextDouble()));
        }
        ASSERT_LT (rig.cursor, changePhase);

        // Let the ramp and the crossfades finish while panic empties the line.
        rig.set ("panic", 1.0f);
        rig.set ("mix", 1.0f);
        const int impulseAt = changePhase + rig.at (1.2);
        rig.runTo (impulseAt - 400);
        EXPECT_TRUE (rig.processor.engine.isCrossfadeIdle());

        rig.signal.setSample (0, impulseAt, 0.5f);
        rig.signal.setSample (1, impulseAt, 0.5f);
        rig.runToEnd();

        expectEchoIsDryResponseDelayedBy (rig, impulseAt, rig.delaySamples());
    }
}

//==============================================================================
// A constant signal in the line makes the crossfade's gain visible in the output.
TEST (DelayEngineCrossfade, SpansTwoFadeLengthsLessOneChannelSamples)
{
    const double rate = 44100.0;
    constexpr float level = 0.25f;
    Rig rig (rate, (int) (1.6 * rate), 512);
    rig.set ("panic", 1.0f); // the line holds the input unchanged
    fill (rig.signal, 0, rig.signal.getNumSamples(), level);

    const int change = 2048 * 20; // block aligned, the line filled beyond both delays
    rig.runTo (change);
    rig.set ("delay", 0.3f);
    rig.runToEnd();

    const int fade = rig.processor.engine.getFadeLength();
    ASSERT_EQ (fade, 2756);

    for (int c = 0; c < 2; ++c)
    {
        SCOPED_TRACE ("channel " + juce::String (c));
        ASSERT_EQ (rig.out (c, change - 1), level);

        // Channel samples 1 to 2L - 1 of the crossfade, counted from its start at `change`.
        EXPECT_EQ (rig.out (c, change), level);
        for (int k = 2; k <= 2 * fade - 2; ++k)
            ASSERT_LT (rig.out (c, change + k - 1), level) << "channel sample " << k;
        // The gains move by repeated steps of 1/L, so they carry the rounding of each step.
        EXPECT_NEAR (rig.out (c, change + fade - 2), level * 2.0f / (float) fade, level * 1.0e-4f);
        EXPECT_EQ (rig.out (c, change + fade - 1), level * (1.0f / (float) fade));
        EXPECT_EQ (rig.out (c, change + 2 * fade - 2), level);
    }

    // The first crossfade took a value from the ramp's first step, so a second one follows
    // to the settled delay. It starts when the last channel has finished: on channel 1 at
    // once, on channel 0, already processed in that block, at its next sample.
    const int end = change + 2 * fade - 1;
    const int nextBlock = (end / 512 + 1) * 512;
    EXPECT_EQ (rig.out (1, end), level);
    EXPECT_LT (rig.out (1, end + 1), level);
    for (int i = end; i <= nextBlock; ++i)
        ASSERT_EQ (rig.out (0, i), level) << "sample " << i;
    EXPECT_LT (rig.out (0, nextBlock + 1), level);
}

// JUCE's delay line keeps one delay for all channels. A channel whose crossfade is in
// another phase than the one processed before it must still read at its own delay,
// or it jumps to the other channel's delay at a high gain: a click.
TEST (DelayEngineCrossfade, NoChannelClicksWhateverTheBlockSize)
{
    const double rate = 44100.0;

    for (const int blockSize : { 256, 512, 4096, 8192 })
    {
        SCOPED_TRACE ("block size " + juce::String (blockSize));
        Rig rig (rate, (int) (2.0 * rate), blockSize);
        rig.set ("feedback", 0.0f);
        sine (rig.signal, 0, rig.signal.getNumSamples(), 173.0, rate, 0.5f);

        const int change = (int) (1.1 * rate) / blockSize * blockSize;
        rig.runTo (change);
        rig.set ("delay", 0.47f);
        rig.runToEnd();

        for (int c = 0; c < 2; ++c)
        {
            float largestStep = 0.0f;
            for (int i = change - 100; i < rig.signal.getNumSamples(); ++i)
                largestStep = juce::jmax (largestStep, std::abs (rig.out (c, i) - rig.out (c, i - 1)));

            // A 173 Hz sine of amplitude 0.5 moves at most 0.0123 per sample.
            EXPECT_LT (largestStep, 0.015f) << "channel " << c;
        }

        EXPECT_TRUE (rig.processor.engine.isCrossfadeIdle());
    }
}

//==============================================================================
// The three smoothers are shared by the channels and advance once per sample of each
// channel: a stereo block of 512 frames takes 1024 steps of a ramp.
TEST (DelayEngineSmoothing, RampsAdvanceOncePerChannelSample)
{
    struct Row
    {
        double rate;
        int channels;
        int stepsLeftAfterOneBlock;
    };

    const Row rows[] = {
        { 44100.0, 2, 1323 - 1024 }, // ends in the second block after 299 samples of channel 0
        { 44100.0, 1, 1323 - 512 },
        { 48000.0, 2, 1440 - 1024 },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (juce::String (row.rate) + " Hz, " + juce::String (row.channels) + " channels");
        Rig rig (row.rate, 4 * 512, 512, row.channels);
        noise (rig.signal, 0, rig.signal.getNumSamples(), 0.3f, 3);
        rig.runBlock (512);

        rig.set ("feedback", 0.3f);
        rig.runBlock (512);
        const auto& smoother = rig.processor.engine.getFeedbackSmoother();
        EXPECT_EQ (stepsLeft (smoother), row.stepsLeftAfterOneBlock);

        rig.runBlock (512);
        if (row.stepsLeftAfterOneBlock < 512 * row.channels)
        {
            EXPECT_FALSE (smoother.isSmoothing());
            EXPECT_EQ (smoother.getCurrentValue(), 0.3f);
        }
    }
}

//==============================================================================
// A block of 0 samples picks up the parameters but moves nothing: the stream with empty
// blocks between the others is bit for bit the stream without them, ramps included.
TEST (DelayEngineBlocks, EmptyBlocksChangeNothing)
{
    const double rate = 48000.0;
    const int length = (int) (0.6 * rate);

    auto render = [&] (bool withEmptyBlocks)
    {
        Rig rig (rate, length, 500);
        noise (rig.signal, 0, length, 0.5f, 11);
        rig.runBlock (0);

        int changes = 0;
        while (rig.cursor + 500 <= length)
        {
            if (rig.cursor == 500 * 20)
            {
                rig.set ("feedback", 0.2f);
                rig.set ("delay", 0.13f);
                rig.set ("cutoff", 2500.0f);
                ++changes;
            }

            rig.runBlock (500);

            if (withEmptyBlocks)
            {
                rig.runBlock (0);
                rig.runBlock (0);
            }
        }

        EXPECT_EQ (changes, 1);
        return rig.signal;
    };

    const auto plain = render (false);
    const auto withEmpty = render (true);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < plain.getNumSamples(); ++i)
            ASSERT_EQ (withEmpty.getSample (c, i), plain.getSample (c, i)) << "channel " << c << " sample " << i;
}

// The oversampler is sized for what the host announced; a host that then sends more (up
// to 16384 samples and beyond) still has every sample processed, exactly as it would
// have been in small blocks.
TEST (DelayEngineBlocks, LongerBlocksThanAnnouncedAreProcessedCompletely)
{
    const double rate = 48000.0;
    const int warmUp = (int) (0.3 * rate) / 64 * 64;
    const int bigBlocks[] = { 16384, 0, 1, 7, 20000, 3000 };
    int length = warmUp;
    for (auto n : bigBlocks)
        length += n;

    auto makeRig = [&]
    {
        auto rig = std::make_unique<Rig> (rate, length, 64);
        rig->set ("oversampling", 1.0f);
        rig->set ("mix", 1.0f);
        noise (rig->signal, 0, length, 0.4f, 5);
        return rig;
    };

    auto small = makeRig();
    small->runToEnd();

    auto large = makeRig();
    large->runTo (warmUp);
    for (auto n : bigBlocks)
        large->runBlock (n);
    ASSERT_EQ (large->cursor, length);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < length; ++i)
            ASSERT_EQ (large->out (c, i), small->out (c, i)) << "channel " << c << " sample " << i;

    // Switching oversampling allocates nothing; the next preparation by the host makes
    // room for the largest block seen.
    EXPECT_LT (large->processor.engine.getOversamplerCapacity(), 20000);
    large->set ("oversampling", 0.0f);
    large->runBlock (0);
    large->set ("oversampling", 1.0f);
    large->runBlock (0);
    EXPECT_LT (large->processor.engine.getOversamplerCapacity(), 20000);
    large->processor.prepareToPlay (large->rate, 256);
    EXPECT_GE (large->processor.engine.getOversamplerCapacity(), 20000);
}
