#include "helpers/ProcessorHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testhelpers;

namespace
{
    struct ParameterRow
    {
        const char* id;
        const char* name;
        float defaultValue;
        const char* defaultText;
    };

    const ParameterRow parameterTable[] = {
        { "delay", "Delay time", 0.2f, "0.20" },
        { "feedback", "Feedback", 0.7f, "0.7000000" },
        { "cutoff", "cutoff", 1000.0f, "1000.0000000" },
        { "ishpf", "ishpf", 0.0f, "Off" },
        { "panic", "panic", 0.0f, "Off" },
        { "feedbackboost", "feedbackboost", 1.0f, "On" },
        { "onoff", "onoff", 1.0f, "On" },
        { "mix", "mix", 0.0f, "Off" },
        { "oversampling", "oversampling", 0.0f, "Off" },
    };
} // namespace

TEST (Parameters, FreshInstanceListsNineInHostOrderWithDefaults)
{
    TemplateAudioProcessor p;
    const auto& params = p.getParameters();
    ASSERT_EQ (params.size(), 9);

    for (int i = 0; i < 9; ++i)
    {
        const auto& row = parameterTable[i];
        SCOPED_TRACE (row.id);
        auto* param = dynamic_cast<juce::RangedAudioParameter*> (params[i]);
        ASSERT_NE (param, nullptr);
        EXPECT_EQ (param->getParameterID(), row.id);
        EXPECT_EQ (param->getVersionHint(), 0);
        EXPECT_EQ (param->getName (100), row.name);
        EXPECT_EQ (param->getLabel(), "");
        EXPECT_TRUE (param->isAutomatable());
        EXPECT_FALSE (param->isMetaParameter());
        EXPECT_FLOAT_EQ (rawValue (p, row.id), row.defaultValue);
        EXPECT_FLOAT_EQ (param->convertFrom0to1 (param->getDefaultValue()), row.defaultValue);
        EXPECT_EQ (param->getCurrentValueAsText(), row.defaultText);
    }
}

TEST (Parameters, RangesSnappingAndSwitchThresholds)
{
    TemplateAudioProcessor p;
    auto* delay = p.apvts.getParameter ("delay");
    auto* cutoff = p.apvts.getParameter ("cutoff");
    auto* feedback = p.apvts.getParameter ("feedback");

    setParameter (p, "delay", 0.123f);
    EXPECT_FLOAT_EQ (rawValue (p, "delay"), 0.12f);

    delay->setValueNotifyingHost (0.0f);
    EXPECT_FLOAT_EQ (rawValue (p, "delay"), 0.01f);
    delay->setValueNotifyingHost (1.0f);
    EXPECT_FLOAT_EQ (rawValue (p, "delay"), 1.0f);

    cutoff->setValueNotifyingHost (0.5f);
    EXPECT_FLOAT_EQ (rawValue (p, "cutoff"), 2050.0f);

    // Continuous parameters keep any value (no hidden 0.01 grid).
    feedback->setValueNotifyingHost (0.123456f);
    EXPECT_NEAR (rawValue (p, "feedback"), 0.123456f, 1e-6f);

    for (const auto* id : { "ishpf", "panic", "feedbackboost", "onoff", "mix", "oversampling" })
    {
        SCOPED_TRACE (id);
        auto* param = p.apvts.getParameter (id);
        param->setValueNotifyingHost (0.49f);
        EXPECT_EQ (rawValue (p, id), 0.0f);
        param->setValueNotifyingHost (0.5f);
        EXPECT_EQ (rawValue (p, id), 1.0f);
    }
}

TEST (Processor, FixedAnswersToTheHost)
{
    TemplateAudioProcessor p;
    EXPECT_EQ (p.getName(), "Vantorel");
    EXPECT_FALSE (p.acceptsMidi());
    EXPECT_FALSE (p.producesMidi());
    EXPECT_FALSE (p.isMidiEffect());
    EXPECT_TRUE (p.hasEditor());
    EXPECT_EQ (p.getNumPrograms(), 1);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.getProgramName (0), "Default");
    p.setCurrentProgram (0);
    p.changeProgramName (0, "Renamed");
    EXPECT_EQ (p.getProgramName (0), "Default");
    EXPECT_FALSE (p.supportsDoublePrecisionProcessing());
    EXPECT_EQ (p.getBypassParameter(), nullptr);
    EXPECT_EQ (p.getLatencySamples(), 0);
    EXPECT_EQ (p.getTotalNumInputChannels(), 2);
    EXPECT_EQ (p.getTotalNumOutputChannels(), 2);
    EXPECT_EQ (p.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (p.getBus (false, 0)->getName(), "Output");
}

TEST (Processor, AcceptsOnlyMatchingMonoOrStereoLayouts)
{
    using Set = juce::AudioChannelSet;
    struct Case
    {
        const char* name;
        Set in, out;
        bool accepted;
    };
    const Case cases[] = {
        { "stereo/stereo", Set::stereo(), Set::stereo(), true },
        { "mono/mono", Set::mono(), Set::mono(), true },
        { "mono/stereo", Set::mono(), Set::stereo(), false },
        { "stereo/mono", Set::stereo(), Set::mono(), false },
        { "5.1/5.1", Set::create5point1(), Set::create5point1(), false },
        { "quad/quad", Set::quadraphonic(), Set::quadraphonic(), false },
        { "no input/stereo", Set::disabled(), Set::stereo(), false },
        { "stereo/no output", Set::stereo(), Set::disabled(), false },
    };

    TemplateAudioProcessor p;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (p.checkBusesLayoutSupported (layout), c.accepted);
    }

    // A layout without any main bus at all is refused too.
    EXPECT_FALSE (p.checkBusesLayoutSupported (juce::AudioProcessor::BusesLayout {}));
}

TEST (Processor, PowerOffPassesInputThroughAndLeavesMidiAlone)
{
    TemplateAudioProcessor p;
    p.prepareToPlay (48000.0, 256);
    setParameter (p, "onoff", 0.0f);

    juce::Random random (1);
    juce::AudioBuffer<float> buffer (2, 256);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i)
            buffer.setSample (c, i, random.nextFloat() * 1.6f - 0.8f);
    juce::AudioBuffer<float> original (buffer);

    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::noteOn (1, 60, 0.5f), 3);
    midi.addEvent (juce::MidiMessage::controllerEvent (1, 7, 100), 100);
    const juce::MidiBuffer midiBefore (midi);

    p.processBlock (buffer, midi);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ (buffer.getSample (c, i), original.getSample (c, i)) << "channel " << c << " sample " << i;

    ASSERT_EQ (midi.getNumEvents(), midiBefore.getNumEvents());
    auto a = midi.begin();
    for (const auto meta : midiBefore)
    {
        const auto other = *a++;
        EXPECT_EQ (meta.samplePosition, other.samplePosition);
        EXPECT_EQ (meta.getMessage().getDescription(), other.getMessage().getDescription());
    }

    // The meter measured the untouched input.
    EXPECT_NEAR (p.outputLevel.getTargetValue(),
                 (juce::Decibels::gainToDecibels (original.getMagnitude (0, 256)) + 100.0f) / 100.0f, 1e-6f);
}

TEST (OutputLevel, MapsPeakToNormalisedDecibels)
{
    struct Case
    {
        float peak;
        float level;
        float tolerance;
    };
    const Case cases[] = {
        { 1.0f, 1.0f, 0.0f },
        { 0.5f, 0.939794f, 1e-5f },
        { 1e-6f, 0.0f, 0.0f },
        { 0.0f, 0.0f, 0.0f },
        { 1e-5f, 0.0f, 1e-6f },
        { 2.0f, 1.060206f, 1e-5f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.peak);
        TemplateAudioProcessor p;
        setParameter (p, "onoff", 0.0f);
        auto buffer = constantBuffer (2, 64, 0.0f);
        buffer.setSample (1, 17, -c.peak); // the peak is the magnitude, on any channel
        juce::MidiBuffer midi;
        p.processBlock (buffer, midi);
        EXPECT_NEAR (p.outputLevel.getTargetValue(), c.level, c.tolerance);
    }
}

TEST (OutputLevel, RampsOverTenReadOutsOnceThePluginIsPrepared)
{
    TemplateAudioProcessor p;
    setParameter (p, "onoff", 0.0f);
    juce::MidiBuffer midi;

    // Before any preparation a level takes effect at once.
    auto loud = constantBuffer (2, 32, 1.0f);
    p.processBlock (loud, midi);
    EXPECT_EQ (p.outputLevel.getCurrentValue(), 1.0f);
    EXPECT_EQ (p.outputLevel.getNextValue(), 1.0f);

    p.prepareToPlay (44100.0, 32);

    auto quiet = constantBuffer (2, 32, 0.1f); // -20 dB -> 0.8
    p.processBlock (quiet, midi);
    float previous = 1.0f;
    for (int i = 1; i <= 9; ++i)
    {
        const float v = p.outputLevel.getNextValue();
        EXPECT_LT (v, previous) << "read-out " << i;
        EXPECT_GT (v, 0.8f) << "read-out " << i;
        previous = v;
    }
    EXPECT_FLOAT_EQ (p.outputLevel.getNextValue(), 0.8f);
    EXPECT_FLOAT_EQ (p.outputLevel.getNextValue(), 0.8f);

    // A bit-identical level does not restart a running ramp.
    auto silent = constantBuffer (2, 32, 0.0f);
    p.processBlock (silent, midi);
    for (int i = 0; i < 5; ++i)
        p.outputLevel.getNextValue();
    auto silentAgain = constantBuffer (2, 32, 0.0f);
    p.processBlock (silentAgain, midi);
    for (int i = 0; i < 4; ++i)
        EXPECT_GT (p.outputLevel.getNextValue(), 0.0f);
    EXPECT_EQ (p.outputLevel.getNextValue(), 0.0f);

    // Preparing mid-ramp jumps to the last target and stops the ramp.
    p.processBlock (quiet, midi);
    p.outputLevel.getNextValue();
    p.outputLevel.getNextValue();
    p.prepareToPlay (44100.0, 32);
    EXPECT_FALSE (p.outputLevel.isSmoothing());
    EXPECT_FLOAT_EQ (p.outputLevel.getCurrentValue(), 0.8f);
    EXPECT_FLOAT_EQ (p.outputLevel.getNextValue(), 0.8f);
}

TEST (OutputLevel, HostBypassLeavesTheMeterAlone)
{
    TemplateAudioProcessor p;
    p.prepareToPlay (48000.0, 64);
    auto buffer = constantBuffer (2, 64, 0.5f);
    juce::MidiBuffer midi;
    p.processBlockBypassed (buffer, midi);
    EXPECT_EQ (p.outputLevel.getTargetValue(), 0.0f);
    EXPECT_EQ (buffer.getSample (0, 10), 0.5f);
}
