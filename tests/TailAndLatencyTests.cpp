// What the processor tells the host about time: the tail (how long the repeats stay
// audible after the input falls silent) and the latency oversampling adds, and that the
// output keeps the timing the host compensates for whichever path a block takes.

#include "helpers/MessageLoop.h"
#include "helpers/RenderHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace testhelpers;

namespace
{
    constexpr double rate = 48000.0;
    constexpr float audible = 1.0e-5f; // -100 dB

    /** Index of the last sample of any channel at or above the audible level (-1: none). */
    int lastAudibleSample (const Rig& rig, int from)
    {
        for (int i = rig.signal.getNumSamples() - 1; i >= from; --i)
            for (int c = 0; c < rig.signal.getNumChannels(); ++c)
                if (std::abs (rig.out (c, i)) >= audible)
                    return i;
        return -1;
    }

    /** Where the energy of channel 0's samples in [begin, end) is centred, in samples. */
    double energyCentre (const Rig& rig, int begin, int end)
    {
        double weighted = 0.0, total = 0.0;
        for (int i = begin; i < end; ++i)
        {
            const double e = (double) rig.out (0, i) * (double) rig.out (0, i);
            weighted += e * i;
            total += e;
        }
        return total > 0.0 ? weighted / total : -1.0;
    }
} // namespace

TEST (Tail, CoversEveryAudibleRepeat)
{
    struct Row
    {
        float delay, feedback;
        bool boost, panic, highPass;
    };

    // Loud bursts that fill the loop to the limiter: a held level through the low-pass, whose
    // repeats then fall by exactly the feedback gain each round (the slowest possible decay),
    // and a 3 kHz tone through the high-pass.
    const Row rows[] = {
        { 0.2f, 0.7f, true, false, false },  // the defaults
        { 0.5f, 0.5f, true, false, false },
        { 0.05f, 0.84f, false, false, false }, // boosted to 0.966
        { 1.0f, 0.3f, true, false, false },
        { 0.3f, 0.0f, true, false, false },  // one repeat
        { 0.3f, 0.9f, true, true, false },   // panic: the line runs out once
        { 0.25f, 0.6f, true, false, true },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (juce::String ("delay ") + juce::String (row.delay) + ", feedback " + juce::String (row.feedback)
                      + (row.boost ? "" : ", boosted") + (row.panic ? ", panic" : "") + (row.highPass ? ", high-pass" : ""));

        Rig probe (rate, 0);
        probe.set ("delay", row.delay);
        probe.set ("feedback", row.feedback);
        probe.set ("feedbackboost", row.boost ? 1.0f : 0.0f);
        probe.set ("panic", row.panic ? 1.0f : 0.0f);
        const double tail = probe.processor.getTailLengthSeconds();
        ASSERT_TRUE (std::isfinite (tail));

        const int burstEnd = (int) std::lround (row.delay * rate);
        Rig rig (rate, burstEnd + (int) ((tail + 2.0) * rate));
        rig.set ("delay", row.delay);
        rig.set ("feedback", row.feedback);
        rig.set ("feedbackboost", row.boost ? 1.0f : 0.0f);
        rig.set ("ishpf", row.highPass ? 1.0f : 0.0f);
        rig.set ("cutoff", row.highPass ? 100.0f : 4000.0f);
        if (row.highPass)
            sine (rig.signal, 0, burstEnd, 3000.0, rate, 0.99f);
        else
            fill (rig.signal, 0, burstEnd, 0.99f);

        rig.runTo (burstEnd);
        rig.set ("panic", row.panic ? 1.0f : 0.0f);
        rig.runToEnd();

        const int last = lastAudibleSample (rig, burstEnd);
        ASSERT_GE (last, burstEnd) << "the repeats are audible at all";
        const double heard = (last - burstEnd) / rate;
        EXPECT_LE (heard, tail) << "heard for " << heard << " s after the input stopped";

        // Through the low-pass the bound is close: a few per cent over long decays, at most one
        // more round and the settling time of a crossfade.
        if (! row.highPass && ! row.panic)
        {
            EXPECT_LE (tail, 1.06 * heard + row.delay + 0.2);
        }
    }
}

TEST (Tail, InfiniteWhereTheLoopSustainsItselfNoneWithThePowerOff)
{
    struct Row
    {
        float feedback;
        bool boost;
    };

    // A loop gain of 1 or more: the limiter holds the repeats at full level for ever.
    for (const auto& row : { Row { 1.0f, true }, Row { 0.87f, false }, Row { 1.0f, false } })
    {
        SCOPED_TRACE (juce::String ("feedback ") + juce::String (row.feedback) + (row.boost ? "" : ", boosted"));
        Rig rig (rate, (int) (6.0 * rate));
        rig.set ("delay", 0.1f);
        rig.set ("feedback", row.feedback);
        rig.set ("feedbackboost", row.boost ? 1.0f : 0.0f);
        rig.set ("cutoff", 4000.0f);
        EXPECT_EQ (rig.processor.getTailLengthSeconds(), std::numeric_limits<double>::infinity());

        fill (rig.signal, 0, rig.at (0.1), 0.99f);
        rig.runToEnd();
        EXPECT_GT (rig.peak (0, rig.at (5.0), rig.at (6.0)), 0.5f) << "still ringing after 5 s";
    }

    Rig rig (rate, 0);
    rig.set ("onoff", 0.0f);
    EXPECT_EQ (rig.processor.getTailLengthSeconds(), 0.0);
}

TEST (Latency, OversamplingReportsTheDelayOfTheWholeOutput)
{
    for (const double hostRate : { 44100.0, 48000.0, 96000.0 })
    {
        SCOPED_TRACE (juce::String (hostRate) + " Hz");

        for (const bool oversampling : { false, true })
        {
            // A click with mix on and no feedback: the dry click comes out at the latency.
            Rig rig (hostRate, (int) (0.2 * hostRate));
            rig.set ("oversampling", oversampling ? 1.0f : 0.0f);
            rig.processor.prepareToPlay (hostRate, 512);
            rig.set ("feedback", 0.0f);
            rig.set ("mix", 1.0f);
            rig.signal.setSample (0, 0, 0.5f);
            rig.signal.setSample (1, 0, 0.5f);
            rig.runToEnd();

            const int latency = rig.processor.getLatencySamples();
            EXPECT_EQ (latency, oversampling ? (int) std::lround (rig.processor.engine.getOversamplingLatency()) : 0);
            if (oversampling)
            {
                EXPECT_GT (latency, 10);
                EXPECT_EQ (latency, hostRate < 50000.0 ? 60 : 49); // JUCE's 59.5 and 49 samples
            }

            // The delay is 10 ms at the least, so the first 200 samples hold the dry click alone.
            // The oversampler's latency need not be whole: the click is centred within half a
            // sample of the rounded figure (59.5 against 60 at 44.1 and 48 kHz).
            EXPECT_NEAR (energyCentre (rig, 0, 200), latency, 0.5 + 1.0e-9);

            // The tail counts the latency too.
            const auto engineTail = DelayEngine::audibleTailSeconds (0.2f, 0.0f, true, false);
            EXPECT_NEAR (rig.processor.getTailLengthSeconds() - engineTail, latency / hostRate, 1.0e-9);
        }
    }
}

TEST (Latency, SwitchingOversamplingTellsTheHostFromTheMessageThread)
{
    struct Listener : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
        void audioProcessorChanged (juce::AudioProcessor* p, const ChangeDetails& details) override
        {
            if (details.latencyChanged)
            {
                latencies.add (p->getLatencySamples());
                onMessageThread = onMessageThread && juce::MessageManager::existsAndIsCurrentThread();
            }
        }
        juce::Array<int> latencies;
        bool onMessageThread = true;
    };

    Rig rig (rate, (int) rate);
    Listener listener;
    rig.processor.addListener (&listener);

    for (const float value : { 1.0f, 0.0f })
    {
        rig.set ("oversampling", value);
        rig.runBlock (512);
        pumpMessages (300);
    }

    rig.processor.removeListener (&listener);
    EXPECT_EQ (listener.latencies, juce::Array<int> ({ 60, 0 }));
    EXPECT_TRUE (listener.onMessageThread);
}

TEST (Latency, BlocksThatBypassTheEngineKeepItsTiming)
{
    // With oversampling on, a block with the power off or the host's bypass on passes the
    // input delayed by the reported latency, continuing from the processed blocks.
    for (const bool hostBypass : { false, true })
    {
        SCOPED_TRACE (hostBypass ? "host bypass" : "power off");
        Rig rig (rate, (int) (0.2 * rate), 256);
        rig.set ("oversampling", 1.0f);
        rig.processor.prepareToPlay (rate, 256);
        const int latency = rig.processor.getLatencySamples();
        ASSERT_EQ (latency, 60);

        noise (rig.signal, 0, rig.signal.getNumSamples(), 0.5f, 11);
        const juce::AudioBuffer<float> input (rig.signal);

        rig.runTo (1024);
        if (! hostBypass)
            rig.set ("onoff", 0.0f);

        while (rig.cursor < rig.signal.getNumSamples())
        {
            const int size = juce::jmin (256, rig.signal.getNumSamples() - rig.cursor);
            juce::AudioBuffer<float> view (rig.signal.getArrayOfWritePointers(), 2, rig.cursor, size);
            juce::MidiBuffer midi;
            if (hostBypass)
                rig.processor.processBlockBypassed (view, midi);
            else
                rig.processor.processBlock (view, midi);
            rig.cursor += size;
        }

        for (int c = 0; c < 2; ++c)
            for (int i = 1024; i < rig.signal.getNumSamples(); ++i)
                ASSERT_EQ (rig.out (c, i), input.getSample (c, i - latency)) << "channel " << c << " sample " << i;
    }

    // Without oversampling the input passes as it is.
    Rig rig (rate, 1024, 256);
    noise (rig.signal, 0, 1024, 0.5f, 12);
    const juce::AudioBuffer<float> input (rig.signal);
    rig.set ("onoff", 0.0f);
    rig.runToEnd();
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ (rig.out (0, i), input.getSample (0, i));
}
