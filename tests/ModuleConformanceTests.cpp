// The built module against the VST3 rules a host relies on, through the module's own
// interfaces: program list and unit, bus arrangement negotiation, parameter flushes and
// 0-sample blocks, silence flags, the host's bypass, and activation cycles.

#include "helpers/Vst3Processing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace testhelpers;
using namespace Steinberg;

namespace
{
    juce::File bundle() { return juce::File (VANTOREL_VST3_BUNDLE); }

    double normalisedDelay (double seconds) { return (seconds - 0.01) / 0.99; }

    /** Settings under which the module's output is the input delayed once, exactly:
        panic feeds the line the dry input unfiltered and nothing is fed back. */
    void singleEcho (ParamChanges& changes, double seconds, bool withDry)
    {
        changes.set ("delay", normalisedDelay (seconds));
        changes.set ("feedback", 0.0);
        changes.set ("panic", 1.0);
        changes.set ("onoff", 1.0);
        changes.set ("mix", withDry ? 1.0 : 0.0);
        changes.set ("oversampling", 0.0);
    }

    /** Index of the largest magnitude in a channel from a sample on. */
    int peakIndex (const std::vector<float>& x, int from = 0)
    {
        int best = from;
        for (int i = from; i < (int) x.size(); ++i)
            if (std::abs (x[(size_t) i]) > std::abs (x[(size_t) best]))
                best = i;
        return best;
    }

    /** Every delay change, the first one included, moves the line by a crossfade: the
        old echo fades out, then the new one fades in, over 62.5 ms each. */
    int settleSamples (double rate) { return (int) std::ceil (2 * 0.0625 * rate) + 1; }

    /** Processes `lead` samples of silence, then a single impulse (0.5 on every channel)
        and `length` more samples, in blocks; returns channel 0 of the output. A 0-sample
        block follows every block when asked. */
    std::vector<float> renderImpulse (ProcessRig& rig, int lead, int length, int block, bool zeroBlocksBetween = false)
    {
        std::vector<float> out;
        juce::AudioBuffer<float> buffer (rig.channels, block);
        juce::AudioBuffer<float> empty (rig.channels, 0);

        for (int start = 0; start < lead + length; start += block)
        {
            const int n = juce::jmin (block, lead + length - start);
            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), rig.channels, n);
            view.clear();
            if (lead >= start && lead < start + n)
            {
                for (int c = 0; c < rig.channels; ++c)
                    view.setSample (c, lead - start, 0.5f);
            }

            EXPECT_EQ (rig.process (view), kResultTrue);
            out.insert (out.end(), view.getReadPointer (0), view.getReadPointer (0) + n);

            if (zeroBlocksBetween)
            {
                EXPECT_EQ (rig.process (empty), kResultTrue);
            }
        }
        return out;
    }
} // namespace

TEST (Conformance, UnitAndTheWholeProgramList)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    Vst3Instance instance (*factory.get());
    ASSERT_TRUE (instance.isValid());

    auto units = instance.controller.query<Vst::IUnitInfo> (Vst::IUnitInfo_iid);
    ASSERT_TRUE (units);

    ASSERT_EQ (units->getProgramListCount(), 1);
    Vst::ProgramListInfo list {};
    ASSERT_EQ (units->getProgramListInfo (0, list), kResultTrue);
    EXPECT_EQ (fromString128 (list.name), "Factory Presets");
    ASSERT_EQ (list.programCount, 1);

    // Every program of the list has a name; nothing exists past the end of the list or
    // under another list ID.
    for (int32 i = 0; i < list.programCount; ++i)
    {
        Vst::String128 name {};
        ASSERT_EQ (units->getProgramName (list.id, i, name), kResultTrue) << i;
        EXPECT_EQ (fromString128 (name), "Default");
    }
    Vst::String128 name {};
    EXPECT_NE (units->getProgramName (list.id, list.programCount, name), kResultTrue);
    EXPECT_NE (units->getProgramName (list.id + 1, 0, name), kResultTrue);

    // One root unit, which holds the program list and every bus.
    ASSERT_EQ (units->getUnitCount(), 1);
    Vst::UnitInfo unit {};
    ASSERT_EQ (units->getUnitInfo (0, unit), kResultTrue);
    EXPECT_EQ (unit.id, Vst::kRootUnitId);
    EXPECT_EQ (unit.parentUnitId, Vst::kNoParentUnitId);
    EXPECT_EQ (unit.programListId, list.id);
    EXPECT_NE (units->getUnitInfo (1, unit), kResultTrue);
    EXPECT_EQ (units->getSelectedUnit(), Vst::kRootUnitId);

    for (const auto direction : { Vst::kInput, Vst::kOutput })
    {
        Vst::UnitID busUnit = -1;
        EXPECT_EQ (units->getUnitByBus (Vst::kAudio, direction, 0, 0, busUnit), kResultOk);
        EXPECT_EQ (busUnit, Vst::kRootUnitId);
    }

    // No parameter switches programs: the list is there for hosts to name, not to change.
    for (int32 i = 0; i < instance.controller->getParameterCount(); ++i)
    {
        Vst::ParameterInfo info {};
        ASSERT_EQ (instance.controller->getParameterInfo (i, info), kResultOk);
        EXPECT_EQ (info.flags & Vst::ParameterInfo::kIsProgramChange, 0) << i;
        EXPECT_EQ (info.unitId, Vst::kRootUnitId) << i;
    }
}

TEST (Conformance, BusArrangementsOfferedAndRefused)
{
    using namespace Vst::SpeakerArr;

    struct Row
    {
        const char* name;
        Vst::SpeakerArrangement in, out;
        bool accepted;
    };

    const Row rows[] = {
        { "mono/mono", kMono, kMono, true },
        { "stereo/stereo", kStereo, kStereo, true },
        { "mono/stereo", kMono, kStereo, false },
        { "stereo/mono", kStereo, kMono, false },
        { "5.1/5.1", k51, k51, false },
        { "5.1/stereo", k51, kStereo, false },
    };

    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    // Each row from both starting arrangements, so a refusal cannot pass by leaving a
    // default that happens to match.
    for (const auto start : { kMono, kStereo })
    {
        for (const auto& row : rows)
        {
            SCOPED_TRACE (juce::String (row.name) + (start == kMono ? " from mono" : " from stereo"));
            ProcessRig rig (*factory.get());
            ASSERT_TRUE (rig.isValid());
            ASSERT_EQ (rig.arrange (start, start), kResultTrue);

            EXPECT_EQ (rig.arrange (row.in, row.out), row.accepted ? kResultTrue : kResultFalse);

            Vst::SpeakerArrangement in = 0, out = 0;
            ASSERT_EQ (rig.processor().getBusArrangement (Vst::kInput, 0, in), kResultTrue);
            ASSERT_EQ (rig.processor().getBusArrangement (Vst::kOutput, 0, out), kResultTrue);

            if (row.accepted)
            {
                EXPECT_EQ (in, row.in);
                EXPECT_EQ (out, row.out);
            }

            // After a refusal the module reports what it can do instead; that is always a
            // pair it accepts, and the bus info agrees with it.
            EXPECT_EQ (in, out);
            EXPECT_TRUE (out == kMono || out == kStereo);
            EXPECT_EQ (rig.arrange (in, out), kResultTrue);

            Vst::BusInfo info {};
            ASSERT_EQ (rig.component().getBusInfo (Vst::kAudio, Vst::kOutput, 0, info), kResultOk);
            EXPECT_EQ (info.channelCount, Vst::SpeakerArr::getChannelCount (out));
        }
    }

    // No arrangement changes while active.
    ProcessRig rig (*factory.get());
    ASSERT_TRUE (rig.start (48000.0, 256, 2));
    EXPECT_NE (rig.arrange (kMono, kMono), kResultTrue);
}

// A process() call with no buses and no samples only delivers parameters; a 0-sample
// block with buses processes nothing, and one with a negative count is refused. None moves time on: the echo lands where it
// would without them.
TEST (Conformance, ParameterFlushAndZeroSampleBlocks)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    for (const int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        ProcessRig rig (*factory.get());
        ASSERT_TRUE (rig.start (48000.0, 256, channels));

        ParamChanges changes;
        singleEcho (changes, 0.1, true);
        ASSERT_EQ (rig.flush (changes), kResultTrue);

        juce::AudioBuffer<float> empty (channels, 0);
        ASSERT_EQ (rig.process (empty), kResultTrue);

        // A negative count is refused and touches nothing (taken as unsigned it would be
        // an enormous block).
        juce::AudioBuffer<float> marked (channels, 16);
        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (marked.getWritePointer (c), 0.25f, 16);
        EXPECT_NE (rig.processCount (marked, -1), kResultTrue);
        for (int c = 0; c < channels; ++c)
            EXPECT_EQ (marked.getSample (c, 15), 0.25f);

        const int lead = settleSamples (48000.0);
        const auto out = renderImpulse (rig, lead, 9600, 256, true);

        // Dry impulse (mix on, from the flush), one echo 0.1 s later, nothing else.
        EXPECT_FLOAT_EQ (out[(size_t) lead], 0.5f);
        const int echo = peakIndex (out, lead + 1);
        EXPECT_NEAR (echo - lead, 4800, 1);
        EXPECT_NEAR (out[(size_t) echo], 0.5f, 0.01f);
        for (int i = 0; i < (int) out.size(); ++i)
        {
            if (i != lead && std::abs (i - echo) > 2)
            {
                ASSERT_LT (std::abs (out[(size_t) i]), 1.0e-3f) << "sample " << i;
            }
        }
    }
}

// Silent-flagged input still runs the module (the delay line has something to say), and
// any output channel the module flags as silent really is.
TEST (Conformance, SilenceFlags)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    ProcessRig rig (*factory.get());
    ASSERT_TRUE (rig.start (48000.0, 512, 2));

    ParamChanges changes;
    singleEcho (changes, 0.05, false);
    ASSERT_EQ (rig.flush (changes), kResultTrue);

    juce::AudioBuffer<float> buffer (2, 512);
    float echoPeak = 0.0f;
    const int settleBlocks = settleSamples (48000.0) / 512 + 1;

    for (int block = 0; block < settleBlocks + 12; ++block)
    {
        buffer.clear();
        const bool first = block == settleBlocks;
        if (first)
            for (int c = 0; c < 2; ++c)
                buffer.setSample (c, 10, 0.5f);

        ASSERT_EQ (rig.process (buffer, nullptr, first ? 0 : 0b11), kResultTrue);

        for (int c = 0; c < 2; ++c)
        {
            const float peak = buffer.getMagnitude (c, 0, 512);
            echoPeak = juce::jmax (echoPeak, peak);
            if ((rig.outputSilence >> c) & 1)
            {
                EXPECT_EQ (peak, 0.0f) << "block " << block << " channel " << c << " flagged silent";
            }
        }
    }

    // The echo of the only non-silent block came out of silent-flagged ones (0.05 s = 2400).
    EXPECT_NEAR (echoPeak, 0.5f, 0.01f);
}

// With the host's bypass on, the input passes through untouched (the module's own
// processing would give the wet signal only); switching it off resumes the effect.
TEST (Conformance, HostBypassPassesTheInputThrough)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    for (const int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        ProcessRig rig (*factory.get());
        ASSERT_TRUE (rig.start (44100.0, 256, channels));

        ParamChanges changes;
        changes.set ("mix", 0.0);
        changes.set ("feedback", 0.9);
        changes.set (bypassParamId, 1.0);

        juce::Random random (7);
        juce::AudioBuffer<float> buffer (channels, 256);

        for (int block = 0; block < 20; ++block)
        {
            const bool bypassed = block < 10;
            if (block == 10)
                changes.set (bypassParamId, 0.0);

            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < 256; ++i)
                    buffer.setSample (c, i, random.nextFloat() * 1.6f - 0.8f);
            const juce::AudioBuffer<float> input (buffer);

            ASSERT_EQ (rig.process (buffer, changes.empty() ? nullptr : &changes), kResultTrue);
            changes.clear();

            for (int c = 0; c < channels; ++c)
            {
                if (bypassed)
                {
                    for (int i = 0; i < 256; ++i)
                        ASSERT_EQ (buffer.getSample (c, i), input.getSample (c, i)) << "block " << block << " channel " << c << " sample " << i;
                }
                else
                {
                    // Wet only, and the line heard nothing while bypassed: silence until the
                    // first echo, 0.2 s after the bypass ended.
                    EXPECT_EQ (buffer.getMagnitude (c, 0, 256), 0.0f) << "block " << block << " channel " << c;
                }
            }
        }
    }
}

// Each setActive cycle takes the new rate and block size, and starts from an empty delay
// line: nothing of the previous cycle's signal comes out of the next one, not even while
// the line moves to the new rate's delay.
TEST (Conformance, ActivationCyclesFollowEachSetup)
{
    struct Cycle
    {
        double rate;
        int maxBlock, channels;
        int32 mode;
    };

    const Cycle cycles[] = {
        { 44100.0, 512, 2, Vst::kRealtime },
        { 96000.0, 64, 1, Vst::kRealtime },
        { 48000.0, 4096, 2, Vst::kOffline },
        { 8000.0, 32, 1, Vst::kPrefetch },
        { 192000.0, 1024, 2, Vst::kRealtime },
        { 32000.0, 1, 2, Vst::kRealtime },
    };

    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    ProcessRig rig (*factory.get());
    ASSERT_TRUE (rig.isValid());

    for (const auto& cycle : cycles)
    {
        SCOPED_TRACE (juce::String (cycle.rate) + " Hz, block " + juce::String (cycle.maxBlock) + ", " + juce::String (cycle.channels) + " channels");
        ASSERT_TRUE (rig.start (cycle.rate, cycle.maxBlock, cycle.channels, cycle.mode));

        ParamChanges changes;
        singleEcho (changes, 0.05, false);
        ASSERT_EQ (rig.flush (changes), kResultTrue);

        // Processing paused and resumed without deactivation keeps going.
        rig.processor().setProcessing (false);
        rig.processor().setProcessing (true);

        const int expected = (int) std::lround (0.05 * cycle.rate);
        const int lead = settleSamples (cycle.rate);
        const auto out = renderImpulse (rig, lead, 2 * expected, cycle.maxBlock);
        const int echo = peakIndex (out);
        EXPECT_NEAR (echo - lead, expected, 1);
        EXPECT_NEAR (out[(size_t) echo], 0.5f, 0.01f);
        for (int i = 0; i < echo - 2; ++i)
            ASSERT_LT (std::abs (out[(size_t) i]), 1.0e-6f) << "sample " << i;

        // Leave a loud signal in the line for the next cycle to forget.
        juce::AudioBuffer<float> loud (cycle.channels, cycle.maxBlock);
        for (int c = 0; c < cycle.channels; ++c)
            juce::FloatVectorOperations::fill (loud.getWritePointer (c), 0.9f, cycle.maxBlock);
        ASSERT_EQ (rig.process (loud), kResultTrue);

        rig.stop();
    }
}

// Blocks longer than the maximum announced to setupProcessing (which VST3 forbids, and
// some hosts send anyway) come out exactly as if the host had sent them in pieces of the
// announced length, the block's parameter changes with the first piece. Each channel gets
// its own signal, so samples landing in the wrong channel or place cannot pass.
TEST (Conformance, OversizedBlocksMatchTheSameAudioInAnnouncedPieces)
{
    struct Case
    {
        int announced, channels;
        std::vector<int> blocks;
    };

    const Case cases[] = {
        { 256, 2, { 1000, 256, 3000, 257, 4096, 100, 513 } },
        { 64, 1, { 65, 8192, 1, 640 } },
        { 1, 2, { 7, 2, 300 } },
        { 4096, 2, { 4097, 8192, 12000 } },
    };

    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("announced " + juce::String (c.announced) + ", " + juce::String (c.channels) + " channels");
        ProcessRig whole (*factory.get()), pieces (*factory.get());
        ASSERT_TRUE (whole.start (48000.0, c.announced, c.channels));
        ASSERT_TRUE (pieces.start (48000.0, c.announced, c.channels));

        juce::Random random (c.announced);
        for (size_t b = 0; b < c.blocks.size(); ++b)
        {
            const int n = c.blocks[b];
            juce::AudioBuffer<float> inWhole (c.channels, n);
            for (int ch = 0; ch < c.channels; ++ch)
                for (int i = 0; i < n; ++i)
                    inWhole.setSample (ch, i, (ch == 0 ? 0.8f : -0.5f) * random.nextFloat());
            juce::AudioBuffer<float> inPieces (inWhole);

            // New settings every block: a short echo that feeds back, so each block's
            // output depends on the ones before and on the moment its settings arrive.
            ParamChanges changes;
            changes.set ("delay", normalisedDelay (0.002 + 0.001 * (double) b));
            changes.set ("feedback", 0.3 + 0.05 * (double) b);
            changes.set ("mix", b % 2 == 0 ? 1.0 : 0.0);
            changes.set ("onoff", 1.0);

            ASSERT_EQ (whole.process (inWhole, &changes), kResultTrue) << "block " << b;

            for (int start = 0; start < n; start += c.announced)
            {
                juce::AudioBuffer<float> view (inPieces.getArrayOfWritePointers(), c.channels, start,
                                               juce::jmin (c.announced, n - start));
                ASSERT_EQ (pieces.process (view, start == 0 ? &changes : nullptr), kResultTrue) << "block " << b;
            }

            for (int ch = 0; ch < c.channels; ++ch)
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ (inWhole.getSample (ch, i), inPieces.getSample (ch, i))
                        << "block " << b << " of " << n << ", channel " << ch << " sample " << i;
        }
    }
}

// Parameter changes that come with an oversized block reach all of it: the host's bypass
// switched on passes the whole block through untouched; switched off again, with the wet
// signal only, the whole block is silent (the line heard nothing while bypassed, and the
// echo is later than the block is long).
TEST (Conformance, ParameterChangesInAnOversizedBlockReachAllOfIt)
{
    struct Row
    {
        const char* name;
        double bypass;
        bool passesInput;
    };

    const Row rows[] = { { "bypass on", 1.0, true }, { "bypass off", 0.0, false } };
    constexpr int announced = 128, blockSize = 4000;

    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    ProcessRig rig (*factory.get());
    ASSERT_TRUE (rig.start (48000.0, announced, 2));

    juce::Random random (11);
    juce::AudioBuffer<float> buffer (2, blockSize);

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        ParamChanges changes;
        changes.set (bypassParamId, row.bypass);
        changes.set ("mix", 0.0);
        changes.set ("delay", normalisedDelay (0.5));
        changes.set ("onoff", 1.0);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (ch, i, random.nextFloat() * 1.6f - 0.8f);
        const juce::AudioBuffer<float> input (buffer);

        ASSERT_EQ (rig.process (buffer, &changes), kResultTrue);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < blockSize; ++i)
                ASSERT_EQ (buffer.getSample (ch, i), row.passesInput ? input.getSample (ch, i) : 0.0f)
                    << "channel " << ch << " sample " << i;
    }
}

// Whatever a host asks the component for leads back to the same object, so the audio
// processor it reaches is always the one that takes care of oversized blocks.
TEST (Conformance, EveryInterfaceOfTheComponentLeadsBackToIt)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    Vst3Instance instance (*factory.get());
    ASSERT_TRUE (instance.isValid());

    auto identity = instance.component.query<FUnknown> (FUnknown_iid);
    ASSERT_TRUE (identity);

    const std::pair<const char*, const TUID&> interfaces[] = {
        { "FUnknown", FUnknown_iid },
        { "IPluginBase", IPluginBase_iid },
        { "IComponent", Vst::IComponent_iid },
        { "IAudioProcessor", Vst::IAudioProcessor_iid },
        { "IUnitInfo", Vst::IUnitInfo_iid },
        { "IConnectionPoint", Vst::IConnectionPoint_iid },
        { "IProcessContextRequirements", Vst::IProcessContextRequirements_iid },
    };

    for (const auto& [name, iid] : interfaces)
    {
        SCOPED_TRACE (name);
        auto object = instance.component.query<FUnknown> (iid);
        ASSERT_TRUE (object);
        EXPECT_EQ (object.query<FUnknown> (FUnknown_iid).get(), identity.get());
        EXPECT_EQ (object.query<Vst::IAudioProcessor> (Vst::IAudioProcessor_iid).get(), instance.processor.get());
    }
}

// A host passing no pointers, or asking past the end of the class list, gets an error.
TEST (Conformance, FactoryRefusesNullPointersAndUnknownIndices)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    auto factory2 = factory.query<IPluginFactory2> (IPluginFactory2_iid);
    auto factory3 = factory.query<IPluginFactory3> (IPluginFactory3_iid);
    ASSERT_TRUE (factory2 && factory3);

    PClassInfo info {};
    ASSERT_EQ (factory->getClassInfo (0, &info), kResultOk);

    void* object = &info; // must come back null
    EXPECT_EQ (factory->createInstance (nullptr, Vst::IComponent_iid, &object), kInvalidArgument);
    EXPECT_EQ (object, nullptr);
    object = &info;
    EXPECT_EQ (factory->createInstance (info.cid, nullptr, &object), kInvalidArgument);
    EXPECT_EQ (object, nullptr);
    EXPECT_EQ (factory->createInstance (info.cid, Vst::IComponent_iid, nullptr), kInvalidArgument);

    for (const int32 index : { -1, 2, 99, std::numeric_limits<int32>::max(), std::numeric_limits<int32>::min() })
    {
        SCOPED_TRACE (index);
        PClassInfo2 info2 {};
        PClassInfoW infoW {};
        EXPECT_EQ (factory->getClassInfo (index, &info), kInvalidArgument);
        EXPECT_EQ (factory2->getClassInfo2 (index, &info2), kInvalidArgument);
        EXPECT_EQ (factory3->getClassInfoUnicode (index, &infoW), kInvalidArgument);
    }

    EXPECT_EQ (factory->getClassInfo (0, nullptr), kInvalidArgument);
    EXPECT_EQ (factory2->getClassInfo2 (0, nullptr), kInvalidArgument);
    EXPECT_EQ (factory3->getClassInfoUnicode (0, nullptr), kInvalidArgument);
    EXPECT_EQ (factory->getFactoryInfo (nullptr), kInvalidArgument);
}
