// What a host learns about time through the built module's own VST3 interfaces: the tail
// (hosts that stop calling a plug-in whose input fell silent wait that long first) and the
// latency oversampling adds, with the host told from its message thread when it changes.

#include "helpers/MessageLoop.h"
#include "helpers/Vst3Processing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

using namespace testhelpers;
using namespace Steinberg;

namespace
{
    juce::File bundle() { return juce::File (VANTOREL_VST3_BUNDLE); }

    double normalisedDelay (double seconds) { return (seconds - 0.01) / 0.99; }

   #pragma GCC diagnostic push
   #pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
    /** The host's side of the controller: records the restarts the plug-in asks for. */
    class ComponentHandler : public Vst::IComponentHandler
    {
    public:
        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (FUnknownPrivate::iidEqual (wanted, FUnknown_iid) || FUnknownPrivate::iidEqual (wanted, Vst::IComponentHandler_iid))
            {
                *obj = this;
                return kResultOk;
            }
            *obj = nullptr;
            return kNoInterface;
        }
        uint32 PLUGIN_API addRef() override { return 1; }
        uint32 PLUGIN_API release() override { return 1; }

        tresult PLUGIN_API beginEdit (Vst::ParamID) override { return kResultOk; }
        tresult PLUGIN_API performEdit (Vst::ParamID, Vst::ParamValue) override { return kResultOk; }
        tresult PLUGIN_API endEdit (Vst::ParamID) override { return kResultOk; }

        tresult PLUGIN_API restartComponent (int32 flags) override
        {
            if ((flags & Vst::kLatencyChanged) != 0)
                ++latencyRestarts;
            fromProcess = fromProcess || insideProcess;
            return kResultOk;
        }

        std::atomic<int> latencyRestarts { 0 };
        std::atomic<bool> fromProcess { false };

        /** Set by the thread that calls process() while it is inside the call. The module's
            message thread is its own on Linux (no host run loop without an editor) and the
            host's on Windows; either way a restart must never come from inside process(). */
        static inline thread_local bool insideProcess = false;
    };

    tresult processAsHost (ProcessRig& rig, juce::AudioBuffer<float>& buffer, ParamChanges* changes = nullptr)
    {
        ComponentHandler::insideProcess = true;
        const auto result = rig.process (buffer, changes);
        ComponentHandler::insideProcess = false;
        return result;
    }
   #pragma GCC diagnostic pop

    /** Renders `seconds` of audio (a 0.99 level held for `burst` seconds, then silence) in
        blocks of 512 and returns channel 0 of the output. */
    std::vector<float> renderBurst (ProcessRig& rig, double rate, double burst, double seconds)
    {
        std::vector<float> out;
        juce::AudioBuffer<float> buffer (rig.channels, 512);
        const int burstEnd = (int) std::lround (burst * rate), total = (int) (seconds * rate);

        for (int start = 0; start < total; start += 512)
        {
            for (int c = 0; c < rig.channels; ++c)
                for (int i = 0; i < 512; ++i)
                    buffer.setSample (c, i, start + i < burstEnd ? 0.99f : 0.0f);
            EXPECT_EQ (rig.process (buffer), kResultTrue);
            out.insert (out.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + 512);
        }
        return out;
    }
} // namespace

TEST (ModuleTiming, TailCoversTheAudibleRepeats)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    constexpr double rate = 48000.0;

    struct Row
    {
        const char* what;
        double delay, feedback, boost, panic, power;
        uint32 expected; // kNoTail, kInfiniteTail, or 1 for a finite tail to be measured
    };

    const Row rows[] = {
        { "the defaults", 0.2, 0.7, 1, 0, 1, 1 },
        { "short delay, long decay", 0.05, 0.9, 1, 0, 1, 1 },
        { "panic: the line runs out once", 0.3, 0.9, 1, 1, 1, 1 },
        { "feedback 1: the loop sustains itself", 0.2, 1.0, 1, 0, 1, Vst::kInfiniteTail },
        { "boosted feedback above 0.87 sustains", 0.2, 0.9, 0, 0, 1, Vst::kInfiniteTail },
        { "power off: the input passes as it is", 0.2, 0.7, 1, 0, 0, Vst::kNoTail },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        ProcessRig rig (*factory.get());
        ASSERT_TRUE (rig.start (rate, 512, 2));

        ParamChanges changes;
        changes.set ("delay", normalisedDelay (row.delay));
        changes.set ("feedback", row.feedback);
        changes.set ("feedbackboost", row.boost);
        changes.set ("panic", row.panic);
        changes.set ("onoff", row.power);
        changes.set ("cutoff", 1.0); // 4 kHz low-pass: a held level repeats at the full loop gain
        ASSERT_EQ (rig.flush (changes), kResultTrue);

        const auto tail = rig.processor().getTailSamples();

        if (row.expected != 1)
        {
            EXPECT_EQ (tail, row.expected);
            continue;
        }

        ASSERT_NE (tail, Vst::kNoTail);
        ASSERT_NE (tail, Vst::kInfiniteTail);

        // What a listener hears once the input stops must end within the reported tail.
        const auto out = renderBurst (rig, rate, row.delay, row.delay + tail / rate + 1.0);
        const int burstEnd = (int) std::lround (row.delay * rate);
        int last = burstEnd;
        for (int i = burstEnd; i < (int) out.size(); ++i)
            if (std::abs (out[(size_t) i]) >= 1.0e-5f)
                last = i;

        EXPECT_GT (last, burstEnd + (int) (0.9 * row.delay * rate)) << "the repeats are heard";
        EXPECT_LE ((uint32) (last - burstEnd), tail);
    }
}

TEST (ModuleTiming, OversamplingLatencyIsReportedAndTheHostIsTold)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    // JUCE's oversampler delays by 59.5 samples at 44.1 and 48 kHz (4x), 49 at 96 kHz (2x).
    const std::pair<double, uint32> rates[] = { { 44100.0, 60 }, { 48000.0, 60 }, { 96000.0, 49 } };

    for (const auto& [rate, expected] : rates)
    {
        SCOPED_TRACE (juce::String (rate) + " Hz");
        ProcessRig rig (*factory.get());
        ComponentHandler handler;
        ASSERT_EQ (rig.controller().setComponentHandler (&handler), kResultOk);
        ASSERT_TRUE (rig.start (rate, 512, 2));
        EXPECT_EQ (rig.processor().getLatencySamples(), 0u);

        // Switched on while playing: the host is told from its message thread, and asks.
        ParamChanges changes;
        changes.set ("oversampling", 1.0);
        changes.set ("feedback", 0.0);
        changes.set ("mix", 1.0);
        juce::AudioBuffer<float> buffer (2, 512);
        buffer.clear();
        ASSERT_EQ (processAsHost (rig, buffer, &changes), kResultTrue);
        pumpMessages (300);

        EXPECT_EQ (handler.latencyRestarts, 1);
        EXPECT_FALSE (handler.fromProcess);
        EXPECT_EQ (rig.processor().getLatencySamples(), expected);

        // The host restarts the plug-in, as kLatencyChanged asks, and compensates: the dry
        // click of a mix-on render comes out at the reported latency.
        rig.stop();
        ASSERT_TRUE (rig.start (rate, 512, 2));
        EXPECT_EQ (rig.processor().getLatencySamples(), expected);

        buffer.clear();
        buffer.setSample (0, 0, 0.5f);
        buffer.setSample (1, 0, 0.5f);
        ASSERT_EQ (processAsHost (rig, buffer), kResultTrue);

        double weighted = 0.0, total = 0.0;
        for (int i = 0; i < 200; ++i)
        {
            const double e = (double) buffer.getSample (0, i) * buffer.getSample (0, i);
            weighted += e * i;
            total += e;
        }
        ASSERT_GT (total, 0.0);
        EXPECT_NEAR (weighted / total, (double) expected, 0.5 + 1.0e-9);

        // And off again: no latency, the host told once more.
        changes.clear();
        changes.set ("oversampling", 0.0);
        ASSERT_EQ (processAsHost (rig, buffer, &changes), kResultTrue);
        pumpMessages (300);
        EXPECT_EQ (rig.processor().getLatencySamples(), 0u);
        EXPECT_EQ (handler.latencyRestarts, 2);
        EXPECT_FALSE (handler.fromProcess);

        rig.stop();
        rig.controller().setComponentHandler (nullptr);
    }
}
