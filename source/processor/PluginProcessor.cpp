#include "PluginProcessor.h"

#include <cmath>

#include "ParameterTreeReader.h"
#include "gui/FontWarmUp.h"
#include "gui/PluginEditor.h"

namespace
{
    /** A continuous, linear float parameter (a range with interval 0, so hosts see the
        value unsnapped, with seven decimals). */
    std::unique_ptr<juce::AudioParameterFloat> makeContinuous (const char* id, const char* name,
                                                               float minimum, float maximum, float defaultValue)
    {
        return std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id, 0 }, name,
                                                            juce::NormalisableRange<float> (minimum, maximum),
                                                            defaultValue);
    }

    std::unique_ptr<juce::AudioParameterBool> makeSwitch (const char* id, bool defaultValue)
    {
        return std::make_unique<juce::AudioParameterBool> (juce::ParameterID { id, 0 }, id, defaultValue);
    }
} // namespace

//==============================================================================
TemplateAudioProcessor::TemplateAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
    , apvts (*this, &undoManager, "pluginParameter", createParameterLayout())
    , engine (*this)
{
    // Oversampling switched during playback changes the latency; the host hears of it
    // from the message thread.
    startTimer (100);

    // A plug-in's editor comes long after its instance: the fonts are scanned meanwhile.
    if (isPluginInstance())
        FontWarmUp::instanceCreated();
}

TemplateAudioProcessor::~TemplateAudioProcessor()
{
    stopTimer();

    if (isPluginInstance())
        FontWarmUp::instanceDestroyed();
}

bool TemplateAudioProcessor::isPluginInstance() const noexcept
{
    return wrapperType == wrapperType_VST3 || wrapperType == wrapperType_LV2;
}

juce::AudioProcessorValueTreeState::ParameterLayout TemplateAudioProcessor::createParameterLayout()
{
    namespace id = ParameterIDs;
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    layout.add (std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id::delay, 0 }, "Delay time",
                                                             juce::NormalisableRange<float> (0.01f, 1.0f, 0.01f, 1.0f),
                                                             0.2f));
    layout.add (makeContinuous (id::feedback, "Feedback", 0.0f, 1.0f, 0.7f));
    layout.add (makeContinuous (id::cutoff, "cutoff", 100.0f, 4000.0f, 1000.0f));
    layout.add (makeSwitch (id::ishpf, false));
    layout.add (makeSwitch (id::panic, false));
    layout.add (makeSwitch (id::feedbackboost, true));
    layout.add (makeSwitch (id::onoff, true));
    layout.add (makeSwitch (id::mix, false));
    layout.add (makeSwitch (id::oversampling, false));

    return layout;
}

//==============================================================================
bool TemplateAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

void TemplateAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    engine.prepare (sampleRate, maximumExpectedSamplesPerBlock, 1.0f);
    outputLevel.reset (10);

    dryDelay.prepare (getTotalNumInputChannels(), (int) std::ceil (engine.getOversamplingLatency()) + 1);
    reportLatency (latencyForCurrentSettings());
}

int TemplateAudioProcessor::latencyForCurrentSettings() const noexcept
{
    if (apvts.getRawParameterValue (ParameterIDs::oversampling)->load() == 0.0f)
        return 0;

    return (int) std::lround (engine.getOversamplingLatency());
}

void TemplateAudioProcessor::reportLatency (int samples)
{
    reportedLatency.store (samples, std::memory_order_relaxed);
    setLatencySamples (samples);
}

void TemplateAudioProcessor::timerCallback()
{
    if (const int latency = latencyForCurrentSettings(); latency != reportedLatency.load (std::memory_order_relaxed))
        reportLatency (latency);
}

double TemplateAudioProcessor::getTailLengthSeconds() const
{
    const auto value = [this] (const char* id) { return apvts.getRawParameterValue (id)->load(); };

    // With the power off the input passes as it is: nothing follows it.
    if (value (ParameterIDs::onoff) == 0.0f)
        return 0.0;

    const auto tail = DelayEngine::audibleTailSeconds (value (ParameterIDs::delay), value (ParameterIDs::feedback),
                                                       value (ParameterIDs::feedbackboost) != 0.0f,
                                                       value (ParameterIDs::panic) != 0.0f);

    const double rate = getSampleRate();
    const int latency = reportedLatency.load (std::memory_order_relaxed);
    return latency > 0 && rate > 0.0 ? tail + (double) latency / rate : tail;
}

void TemplateAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int numSamples = buffer.getNumSamples();

    for (int channel = getTotalNumInputChannels(); channel < getTotalNumOutputChannels(); ++channel)
        buffer.clear (channel, 0, numSamples);

    // Any non-zero raw value, NaN included, counts as on.
    const bool on = apvts.getRawParameterValue (ParameterIDs::onoff)->load() != 0.0f;
    const int latency = reportedLatency.load (std::memory_order_relaxed);

    // The dry path hears every block, so switching the power keeps the output's timing.
    if (latency > 0)
        dryDelay.process (buffer, getTotalNumInputChannels(), latency, ! on);

    if (on)
        engine.process (buffer, apvts);

    const float peak = buffer.getMagnitude (0, numSamples);
    const float decibels = juce::Decibels::gainToDecibels (peak);
    outputLevel.setTargetValue ((decibels + 100.0f) / 100.0f);
}

void TemplateAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int numSamples = buffer.getNumSamples();

    for (int channel = getTotalNumInputChannels(); channel < getTotalNumOutputChannels(); ++channel)
        buffer.clear (channel, 0, numSamples);

    if (const int latency = reportedLatency.load (std::memory_order_relaxed); latency > 0)
        dryDelay.process (buffer, getTotalNumInputChannels(), latency, true);
}

//==============================================================================
juce::AudioProcessorEditor* TemplateAudioProcessor::createEditor()
{
    FontWarmUp::waitUntilDone();
    return new TemplateAudioProcessorEditor (*this);
}

//==============================================================================
void TemplateAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto state = apvts.copyState();

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void TemplateAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // Anything unreadable, or a tree of another kind, leaves the current settings as they are.
    const auto xml = ParameterTreeReader::fromStateBlob (data, sizeInBytes);
    ParameterTreeReader::install (apvts, xml.get());
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new TemplateAudioProcessor();
}
