// What the feedback loop does to the repeats: their decay, the limiter, the filter, and
// the panic, mix and power switches.

#include "helpers/RenderHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testhelpers;

namespace
{
    constexpr double rate = 48000.0;

    /** Magnitude of JUCE's one-pole TPT filter (bilinear, prewarped) at a frequency. */
    double onePoleMagnitude (bool highPass, double frequency, double cutoff)
    {
        const double ratio = std::tan (juce::MathConstants<double>::pi * frequency / rate)
                             / std::tan (juce::MathConstants<double>::pi * cutoff / rate);
        const double lowPass = 1.0 / std::sqrt (1.0 + ratio * ratio);
        return highPass ? ratio * lowPass : lowPass;
    }
} // namespace

//==============================================================================
// A burst of DC passes the low-pass at exactly unity, so each repeat's plateau is the
// previous one times the feedback gain.
TEST (DelayLoopFeedback, RepeatsDecayByTheFeedbackGain)
{
    struct Row
    {
        float feedback;
        bool boostSwitch;
        float gain;
    };

    const Row rows[] = {
        { 0.5f, true, 0.5f },
        { 0.25f, true, 0.25f },
        { 0.5f, false, 0.575f }, // the boost applies while the switch is off
        { 0.8f, false, 0.92f },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE ("feedback " + juce::String (row.feedback) + (row.boostSwitch ? ", boost on" : ", boost off"));
        Rig rig (rate, (int) (0.5 * rate));
        rig.set ("delay", 0.05f);
        rig.set ("feedback", row.feedback);
        rig.set ("feedbackboost", row.boostSwitch ? 1.0f : 0.0f);

        const int start = rig.at (0.15);
        const int d = rig.delaySamples();
        fill (rig.signal, start, start + d / 2, 0.2f);
        rig.runToEnd();

        auto plateau = [&] (int c, int repeat)
        {
            const int begin = start + repeat * d + 300;
            double sum = 0.0;
            for (int i = begin; i < begin + 800; ++i)
                sum += rig.out (c, i);
            return sum / 800.0;
        };

        for (int c = 0; c < 2; ++c)
        {
            EXPECT_NEAR (plateau (c, 1), 0.2, 1.0e-5) << "channel " << c;
            for (int repeat = 2; repeat <= 4; ++repeat)
                EXPECT_NEAR (plateau (c, repeat) / plateau (c, repeat - 1), row.gain, 1.0e-4) << "channel " << c << ", repeat " << repeat;
        }
    }
}

// With the boosted gain of 1.15 the loop grows until the limiter holds it: every sample
// that leaves the engine stays within 0.99. With mix off and an integral delay, the output
// is the stream of samples read back from the line, so the line is bounded as well.
TEST (DelayLoopFeedback, LimiterBoundsEverySampleAtBoostedFeedback)
{
    for (const bool oversampling : { false, true })
    {
        for (const bool mix : { false, true })
        {
            SCOPED_TRACE (juce::String (oversampling ? "oversampled" : "not oversampled") + (mix ? ", mix on" : ", mix off"));
            Rig rig (rate, (int) (0.9 * rate));
            rig.set ("delay", 0.1f);
            rig.set ("feedback", 1.0f);
            rig.set ("feedbackboost", 0.0f);
            rig.set ("mix", mix ? 1.0f : 0.0f);
            rig.set ("oversampling", oversampling ? 1.0f : 0.0f);
            noise (rig.signal, rig.at (0.15), rig.at (0.2), 3.0f, 17);
            rig.runToEnd();

            const int length = rig.signal.getNumSamples();
            for (int c = 0; c < 2; ++c)
            {
                EXPECT_LE (rig.peak (c, 0, length), 0.99f) << "channel " << c;

                // Still at the limit half a second after the input stopped.
                EXPECT_GT (rig.peak (c, length - rig.at (0.1), length), 0.9f) << "channel " << c;
            }
        }
    }
}

//==============================================================================
// With feedback 1 the first repeat has passed the filter once and every further repeat
// once more: both ratios are the filter's magnitude at the burst's frequency.
TEST (DelayLoopFilter, RepeatsFollowTheLowAndHighPassResponse)
{
    constexpr double cutoff = 1000.0;

    for (const bool highPass : { false, true })
    {
        for (const double frequency : { 250.0, 1000.0, 4000.0 })
        {
            SCOPED_TRACE (juce::String (highPass ? "high-pass" : "low-pass") + " at " + juce::String (frequency) + " Hz");
            Rig rig (rate, (int) (0.5 * rate));
            rig.set ("delay", 0.1f);
            rig.set ("feedback", 1.0f);
            rig.set ("cutoff", (float) cutoff);
            rig.set ("ishpf", highPass ? 1.0f : 0.0f);

            const int start = rig.at (0.15);
            const int d = rig.delaySamples();
            sine (rig.signal, start, start + 3600, frequency, rate, 0.4f);
            const auto input = rig.signal;
            rig.runToEnd();

            // 1920 samples hold whole periods of all three frequencies; the filter's
            // transient has gone after 1200 samples.
            const int begin = start + 1200, end = begin + 1920;
            const double expected = onePoleMagnitude (highPass, frequency, cutoff);
            const double inputLevel = input.getRMSLevel (0, begin, end - begin);

            for (int c = 0; c < 2; ++c)
            {
                const double first = rig.rms (c, begin + d, end + d);
                const double second = rig.rms (c, begin + 2 * d, end + 2 * d);
                EXPECT_NEAR (first / inputLevel, expected, 0.01 * expected) << "channel " << c;
                EXPECT_NEAR (second / first, expected, 0.01 * expected) << "channel " << c;
            }
        }
    }
}

// Only the active filter runs; the other keeps its state until it is chosen again. With
// feedback 0 the repeat shows the filter's output directly. The input changes while the
// other filter runs, so a filter that had been reset or had kept running would answer
// differently at the first sample it is back.
TEST (DelayLoopFilter, IdleFilterKeepsItsStateWhenTheModeFlips)
{
    for (const bool highPass : { false, true })
    {
        SCOPED_TRACE (highPass ? "high-pass, then low-pass" : "low-pass, then high-pass");
        Rig rig (rate, (int) (0.5 * rate), 100);
        rig.set ("delay", 0.05f);
        rig.set ("feedback", 0.0f);
        rig.set ("ishpf", highPass ? 1.0f : 0.0f);

        const int flip = 20000, back = 21000, length = rig.signal.getNumSamples();
        fill (rig.signal, 0, flip, 0.5f);
        fill (rig.signal, flip, back, -0.5f);
        fill (rig.signal, back, length, 0.5f);

        rig.runTo (flip);
        rig.set ("ishpf", highPass ? 0.0f : 1.0f);
        rig.runTo (back);
        rig.set ("ishpf", highPass ? 1.0f : 0.0f);
        rig.runToEnd();

        // Settled on 0.5 before the flip: the low-pass passes it, the high-pass blocks it.
        // A reset filter would answer about 0.03 or 0.47 at the first sample back, one that
        // had kept running on -0.5 about -0.44 or 0.94.
        const float settled = highPass ? 0.0f : 0.5f;
        const int d = rig.delaySamples();
        for (int c = 0; c < 2; ++c)
        {
            EXPECT_NEAR (rig.out (c, flip - 1 + d), settled, 1.0e-3f) << "channel " << c;
            EXPECT_NEAR (rig.out (c, back + d), settled, 1.0e-3f) << "channel " << c;
        }
    }
}

//==============================================================================
// Panic opens the loop: what is in the line is heard once more, nothing regenerates, and
// the line takes the dry input unfiltered. Turned off, the feedback runs again.
TEST (DelayLoopSwitches, PanicLetsTheLineRunOutOnce)
{
    Rig rig (rate, (int) (1.2 * rate), 64);
    rig.set ("delay", 0.05f);
    rig.set ("feedback", 0.8f);
    rig.set ("cutoff", 4000.0f);
    const int d = rig.delaySamples();

    const int first = rig.at (0.15);
    rig.signal.setSample (0, first, 0.5f);
    rig.runTo (first + d + 200); // the first repeat is back in the line
    rig.set ("panic", 1.0f);

    const int second = first + 3 * d + 1000;
    rig.signal.setSample (0, second, 0.5f);
    rig.runTo (second + 2 * d + 500);
    rig.set ("panic", 0.0f);

    const int third = second + 2 * d + 1000;
    rig.signal.setSample (0, third, 0.5f);
    rig.runToEnd();

    EXPECT_GT (rig.peak (0, first + 2 * d - 10, first + 2 * d + 200), 0.05f); // heard once more
    EXPECT_EQ (rig.peak (0, first + 3 * d - 10, first + 3 * d + 500), 0.0f);  // not again

    // Written unfiltered: the repeat is the impulse itself, and it does not come back. (The
    // snapped delay of 0.049999997 s lies a hair short of 2400 samples; its fractional
    // part leaves a trace of 1e-4 around the repeat.)
    EXPECT_NEAR (rig.out (0, second + d), 0.5f, 1.0e-3f);
    EXPECT_LT (rig.peak (0, second + d + 1, second + 2 * d + 200), 1.0e-3f);
    EXPECT_LT (rig.peak (0, second + d - 200, second + d), 1.0e-3f);

    EXPECT_GT (rig.peak (0, third + d - 10, third + d + 200), 0.05f);
    EXPECT_GT (rig.peak (0, third + 2 * d - 10, third + 2 * d + 200), 0.05f);
}

// Mix off: the delayed signal alone. Mix on: dry and delayed summed at unity, limited.
TEST (DelayLoopSwitches, MixAddsTheDryInputAtUnity)
{
    const int length = (int) (0.6 * rate);
    juce::AudioBuffer<float> input (2, length);
    noise (input, 0, length, 0.8f, 23);
    for (int i = 1000; i < length; i += 997)
        input.setSample (0, i, 1.3f); // beyond full scale now and then

    auto render = [&] (bool mix)
    {
        auto rig = std::make_unique<Rig> (rate, length);
        rig->set ("feedback", 0.5f);
        rig->set ("delay", 0.1f);
        rig->set ("mix", mix ? 1.0f : 0.0f);
        rig->signal.makeCopyOf (input);
        rig->runToEnd();
        return rig;
    };

    const auto wetOnly = render (false);
    const auto both = render (true);
    const int d = wetOnly->delaySamples();

    for (int c = 0; c < 2; ++c)
    {
        SCOPED_TRACE ("channel " + juce::String (c));

        // Before the first repeat the line is empty.
        EXPECT_EQ (wetOnly->peak (c, 0, d - 1), 0.0f);
        for (int i = 0; i < d - 1; ++i)
            ASSERT_EQ (both->out (c, i), juce::jlimit (-0.99f, 0.99f, input.getSample (c, i))) << "sample " << i;

        int limited = 0;
        for (int i = 0; i < length; ++i)
        {
            const float sum = input.getSample (c, i) + wetOnly->out (c, i);
            ASSERT_EQ (both->out (c, i), juce::jlimit (-0.99f, 0.99f, sum)) << "sample " << i;
            limited += std::abs (sum) > 0.99f ? 1 : 0;
        }
        EXPECT_GT (limited, 0);
    }
}

// Power off: the input passes untouched and the engine stands still; power on: it goes on
// where it stopped, so a repeat arrives late by exactly the time the power was off.
TEST (DelayLoopSwitches, PowerOffFreezesTheEngineAndPowerOnResumesIt)
{
    Rig rig (rate, (int) (0.6 * rate), 128);
    rig.set ("delay", 0.1f);
    rig.set ("panic", 1.0f);
    const int d = rig.delaySamples();

    const int impulseAt = rig.at (0.15), offAt = impulseAt + 2000, offFor = 10000;
    rig.signal.setSample (0, impulseAt, 0.5f);
    noise (rig.signal, offAt, offAt + offFor, 0.5f, 29);
    const auto input = rig.signal;

    rig.runTo (offAt);
    rig.set ("onoff", 0.0f);
    rig.runTo (offAt + offFor);
    rig.set ("onoff", 1.0f);
    rig.runToEnd();

    for (int c = 0; c < 2; ++c)
        for (int i = offAt; i < offAt + offFor; ++i)
            ASSERT_EQ (rig.out (c, i), input.getSample (c, i)) << "channel " << c << " sample " << i;

    EXPECT_NEAR (rig.out (0, impulseAt + d + offFor), 0.5f, 1.0e-3f);
    EXPECT_LT (rig.peak (0, offAt + offFor, impulseAt + d + offFor), 1.0e-3f);
    EXPECT_LT (rig.peak (0, impulseAt + d + offFor + 1, rig.signal.getNumSamples()), 1.0e-3f);
}
