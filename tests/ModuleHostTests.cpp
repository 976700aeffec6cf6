// The built Vantorel.vst3, seen from a host: raw VST3 SDK calls for what the module
// declares, JUCE's own VST3 hosting for what a DAW does with it.

#include "helpers/Vst3Module.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

using namespace testhelpers;
using namespace Steinberg;

namespace
{
    juce::File bundle() { return juce::File (VANTOREL_VST3_BUNDLE); }
    juce::String hostablePath() { return juceHostablePath (bundle()).getFullPathName(); }

    constexpr juce::uint32 fourCC (const char (&code)[5])
    {
        return (juce::uint32) code[0] << 24 | (juce::uint32) code[1] << 16 | (juce::uint32) code[2] << 8 | (juce::uint32) code[3];
    }

    /** The VST3 parameter ID a host sees for a parameter ID string. */
    juce::uint32 vst3ParamId (const char* id)
    {
        juce::uint32 h = 0;
        for (const char* c = id; *c != 0; ++c)
            h = 31u * h + (juce::uint32) (unsigned char) *c;
        return h & 0x7fffffffu;
    }

    struct HostParameterRow
    {
        const char* id;
        const char* title;
        double defaultNormalised;
    };

    const HostParameterRow hostParameters[] = {
        { "delay", "Delay time", (0.2 - 0.01) / 0.99 },
        { "feedback", "Feedback", 0.7 },
        { "cutoff", "cutoff", (1000.0 - 100.0) / 3900.0 },
        { "ishpf", "ishpf", 0.0 },
        { "panic", "panic", 0.0 },
        { "feedbackboost", "feedbackboost", 1.0 },
        { "onoff", "onoff", 1.0 },
        { "mix", "mix", 0.0 },
        { "oversampling", "oversampling", 0.0 },
    };

    std::unique_ptr<juce::AudioPluginInstance> createHosted (double rate = 48000.0, int block = 512)
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, hostablePath());
        if (types.isEmpty())
            return {};

        juce::String error;
        return format.createInstanceFromDescription (*types[0], rate, block, error);
    }

    juce::AudioProcessorParameter* hostedParameter (juce::AudioPluginInstance& instance, const juce::String& name)
    {
        for (auto* p : instance.getParameters())
            if (p->getName (100) == name)
                return p;
        return nullptr;
    }
} // namespace

TEST (Module, ExportsTheVst3EntryPoints)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    for (const auto* name : entryPointNames)
        EXPECT_NE (module.symbol (name), nullptr) << name;
}

TEST (Module, FactoryDescribesOneEffectAndItsController)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;

    auto factory = module.factory();
    ASSERT_TRUE (factory);

    // The module hands out one shared factory.
    auto again = module.factory();
    EXPECT_EQ (factory.get(), again.get());

    PFactoryInfo info {};
    ASSERT_EQ (factory->getFactoryInfo (&info), kResultOk);
    EXPECT_STREQ (info.vendor, "Korvane");
    EXPECT_STREQ (info.url, "");
    EXPECT_STREQ (info.email, "");
    EXPECT_EQ (info.flags, 16);

    ASSERT_EQ (factory->countClasses(), 2);

    auto factory2 = factory.query<IPluginFactory2> (IPluginFactory2_iid);
    ASSERT_TRUE (factory2);
    auto factory3 = factory.query<IPluginFactory3> (IPluginFactory3_iid);
    ASSERT_TRUE (factory3);

    struct ClassRow
    {
        const char* category;
        juce::uint32 secondWord;
    };
    const ClassRow rows[] = { { "Audio Module Class", 0x9182FAEB }, { "Component Controller Class", 0x1234ABCD } };

    for (int i = 0; i < 2; ++i)
    {
        SCOPED_TRACE (rows[i].category);
        PClassInfo2 c {};
        ASSERT_EQ (factory2->getClassInfo2 (i, &c), kResultOk);
        EXPECT_STREQ (c.category, rows[i].category);
        const auto words = uidWords (c.cid);
        EXPECT_EQ (words[0], 0xABCDEF01u);
        EXPECT_EQ (words[1], rows[i].secondWord);
        EXPECT_EQ (words[2], fourCC ("Vtr1"));
        EXPECT_EQ (words[3], fourCC ("Vtr1"));
        EXPECT_EQ (c.cardinality, PClassInfo::kManyInstances);
        EXPECT_STREQ (c.name, "Vantorel");
        EXPECT_EQ (c.classFlags, 0u);
        EXPECT_STREQ (c.subCategories, "Fx");
        EXPECT_STREQ (c.vendor, "Korvane");
        EXPECT_STREQ (c.version, "0.0.1");
        EXPECT_STREQ (c.sdkVersion, "VST 3.7.2");

        // Hosts that read the Unicode class info see the same class.
        PClassInfoW w {};
        ASSERT_EQ (factory3->getClassInfoUnicode (i, &w), kResultOk);
        EXPECT_EQ (uidWords (w.cid), words);
        EXPECT_STREQ (w.category, rows[i].category);
        EXPECT_EQ (fromString128 (w.name), "Vantorel");
        EXPECT_EQ (fromString128 (w.vendor), "Korvane");
        EXPECT_EQ (fromString128 (w.version), "0.0.1");
        EXPECT_STREQ (w.subCategories, "Fx");
    }
}

TEST (Module, ControllerListsTenParametersOneUnitAndOneProgram)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    Vst3Instance instance (*factory.get());
    ASSERT_TRUE (instance.isValid());

    auto& controller = *instance.controller.get();
    ASSERT_EQ (controller.getParameterCount(), 10);

    for (int i = 0; i < 9; ++i)
    {
        const auto& row = hostParameters[i];
        SCOPED_TRACE (row.id);
        Vst::ParameterInfo info {};
        ASSERT_EQ (controller.getParameterInfo (i, info), kResultOk);
        EXPECT_EQ (info.id, vst3ParamId (row.id));
        EXPECT_EQ (fromString128 (info.title), row.title);
        EXPECT_EQ (fromString128 (info.units), "");
        EXPECT_NEAR (info.defaultNormalizedValue, row.defaultNormalised, 1e-6);
        EXPECT_NE (info.flags & Vst::ParameterInfo::kCanAutomate, 0);
        EXPECT_EQ (info.flags & (Vst::ParameterInfo::kIsBypass | Vst::ParameterInfo::kIsProgramChange), 0);
        EXPECT_NEAR (controller.getParamNormalized (info.id), row.defaultNormalised, 1e-6);
    }

    Vst::ParameterInfo bypass {};
    ASSERT_EQ (controller.getParameterInfo (9, bypass), kResultOk);
    EXPECT_EQ (bypass.id, 0x62797073u);
    EXPECT_EQ (fromString128 (bypass.title), "Bypass");
    EXPECT_EQ (bypass.defaultNormalizedValue, 0.0);
    EXPECT_NE (bypass.flags & Vst::ParameterInfo::kIsBypass, 0);

    // Host-visible texts of the defaults.
    Vst::String128 text {};
    ASSERT_EQ (controller.getParamStringByValue (vst3ParamId ("delay"), hostParameters[0].defaultNormalised, text), kResultOk);
    EXPECT_EQ (fromString128 (text), "0.20");
    ASSERT_EQ (controller.getParamStringByValue (vst3ParamId ("onoff"), 1.0, text), kResultOk);
    EXPECT_EQ (fromString128 (text), "On");

    auto units = instance.controller.query<Vst::IUnitInfo> (Vst::IUnitInfo_iid);
    ASSERT_TRUE (units);
    ASSERT_EQ (units->getUnitCount(), 1);
    Vst::UnitInfo unit {};
    ASSERT_EQ (units->getUnitInfo (0, unit), kResultOk);
    EXPECT_EQ (unit.id, Vst::kRootUnitId);
    EXPECT_EQ (fromString128 (unit.name), "Root Unit");

    ASSERT_EQ (units->getProgramListCount(), 1);
    Vst::ProgramListInfo list {};
    ASSERT_EQ (units->getProgramListInfo (0, list), kResultOk);
    EXPECT_EQ (fromString128 (list.name), "Factory Presets");
    ASSERT_EQ (list.programCount, 1);
    Vst::String128 programName {};
    ASSERT_EQ (units->getProgramName (list.id, 0, programName), kResultOk);
    EXPECT_EQ (fromString128 (programName), "Default");
}

TEST (Module, ComponentOffersAudioBusesOnly)
{
    Vst3Module module (bundle());
    ASSERT_TRUE (module.isLoaded()) << module.error;
    auto factory = module.factory();
    Vst3Instance instance (*factory.get());
    ASSERT_TRUE (instance.isValid());

    auto& component = *instance.component.get();
    EXPECT_EQ (component.getBusCount (Vst::kAudio, Vst::kInput), 1);
    EXPECT_EQ (component.getBusCount (Vst::kAudio, Vst::kOutput), 1);
    EXPECT_EQ (component.getBusCount (Vst::kEvent, Vst::kInput), 0);
    EXPECT_EQ (component.getBusCount (Vst::kEvent, Vst::kOutput), 0);

    Vst::BusInfo in {}, out {};
    ASSERT_EQ (component.getBusInfo (Vst::kAudio, Vst::kInput, 0, in), kResultOk);
    ASSERT_EQ (component.getBusInfo (Vst::kAudio, Vst::kOutput, 0, out), kResultOk);
    EXPECT_EQ (fromString128 (in.name), "Input");
    EXPECT_EQ (fromString128 (out.name), "Output");
    EXPECT_EQ (in.channelCount, 2);
    EXPECT_EQ (out.channelCount, 2);

    auto& processor = *instance.processor.get();
    EXPECT_EQ (processor.canProcessSampleSize (Vst::kSample32), kResultTrue);
    EXPECT_NE (processor.canProcessSampleSize (Vst::kSample64), kResultTrue);
    EXPECT_EQ (processor.getLatencySamples(), 0u); // oversampling is off by default
}

TEST (HostedModule, ScanFindsTheEffect)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, hostablePath());
    ASSERT_EQ (types.size(), 1);

    const auto& d = *types[0];
    EXPECT_EQ (d.name, "Vantorel");
    EXPECT_EQ (d.manufacturerName, "Korvane");
    EXPECT_EQ (d.version, "0.0.1");
    EXPECT_EQ (d.category, "Fx");
    EXPECT_FALSE (d.isInstrument);
    EXPECT_EQ (d.numInputChannels, 2);
    EXPECT_EQ (d.numOutputChannels, 2);
}

TEST (HostedModule, LatencyTailAndPrograms)
{
    auto instance = createHosted();
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getLatencySamples(), 0);
    EXPECT_GT (instance->getTailLengthSeconds(), 6.0); // the default feedback: seconds of repeats
    // JUCE's host lists programs only behind a program-change parameter, which the module
    // does not have; its one program is checked through IUnitInfo above.
    EXPECT_EQ (instance->getParameters().size(), 10);
}

TEST (HostedModule, StateRestoresIntoASecondInstanceWithBypass)
{
    auto first = createHosted();
    ASSERT_NE (first, nullptr);

    // Move every parameter away from its default, and switch the host bypass on.
    const std::pair<const char*, float> settings[] = {
        { "Delay time", (0.5f - 0.01f) / 0.99f }, // 0.5 s, on the delay's 0.01 s grid
        { "Feedback", 0.3f }, { "cutoff", 0.8f }, { "ishpf", 1.0f }, { "panic", 1.0f }, { "feedbackboost", 0.0f },
        { "onoff", 0.0f }, { "mix", 1.0f }, { "oversampling", 1.0f }, { "Bypass", 1.0f },
    };
    for (const auto& [name, value] : settings)
    {
        auto* p = hostedParameter (*first, name);
        ASSERT_NE (p, nullptr) << name;
        p->setValueNotifyingHost (value);
    }

    juce::MemoryBlock state;
    first->getStateInformation (state);

    auto second = createHosted();
    ASSERT_NE (second, nullptr);
    second->setStateInformation (state.getData(), (int) state.getSize());

    for (const auto& [name, value] : settings)
    {
        auto* p = hostedParameter (*second, name);
        ASSERT_NE (p, nullptr) << name;
        EXPECT_NEAR (p->getValue(), value, 1e-6f) << name;
    }
}

TEST (HostedModule, ProcessesStereoAndMonoBlocks)
{
    for (const auto& layout : { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono() })
    {
        SCOPED_TRACE (layout.getDescription());
        auto instance = createHosted (44100.0, 256);
        ASSERT_NE (instance, nullptr);

        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (layout);
        buses.outputBuses.add (layout);
        ASSERT_TRUE (instance->setBusesLayout (buses));

        // Power off: the module must hand the input back untouched.
        hostedParameter (*instance, "onoff")->setValueNotifyingHost (0.0f);
        instance->prepareToPlay (44100.0, 256);

        const int channels = layout.size();
        juce::AudioBuffer<float> buffer (channels, 256);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 256; ++i)
                buffer.setSample (c, i, std::sin ((float) i * 0.05f + (float) c) * 0.5f);
        const juce::AudioBuffer<float> input (buffer);

        juce::MidiBuffer midi;
        instance->processBlock (buffer, midi);

        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ (buffer.getSample (c, i), input.getSample (c, i)) << "channel " << c << " sample " << i;

        instance->releaseResources();
    }
}
