#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include "LevelRamp.h"
#include "ParameterIDs.h"
#include "dsp/DelayEngine.h"
#include "dsp/DryDelay.h"

/** The object the host drives: owns the parameters, their undo history, the delay
    engine and the output level the editor's meter shows. */
class TemplateAudioProcessor : public juce::AudioProcessor,
                               private juce::Timer
{
public:
    TemplateAudioProcessor();
    ~TemplateAudioProcessor() override;

    /** The nine parameters, in the order hosts list them. */
    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    //==============================================================================
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override {}
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using juce::AudioProcessor::processBlock;

    /** The host's bypass: the input passes, delayed by the latency the host compensates. */
    void processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using juce::AudioProcessor::processBlockBypassed;

    //==============================================================================
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    const juce::String getName() const override { return "Vantorel"; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }

    /** How long the repeats stay audible after the input falls silent: a bound from the
        delay time and the feedback, or infinity where the loop sustains itself. Hosts that
        stop calling a plug-in whose input fell silent wait this long first. */
    double getTailLengthSeconds() const override;

    /** The latency to report for the current settings: the oversampler's, rounded to whole
        host samples, while oversampling is on; 0 while it is off. */
    int latencyForCurrentSettings() const noexcept;

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    /** VST3 hosts require every program to have a name. */
    const juce::String getProgramName (int) override { return "Default"; }
    void changeProgramName (int, const juce::String&) override {}

    //==============================================================================
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    juce::AudioProcessorValueTreeState apvts;
    juce::UndoManager undoManager;
    LevelRamp outputLevel;
    DelayEngine engine;

private:
    /** Tells the host when switching oversampling changed the latency (message thread). */
    void timerCallback() override;

    void reportLatency (int samples);

    /** Made by a plug-in wrapper (VST3, LV2) for a host, rather than by the app or in-process. */
    bool isPluginInstance() const noexcept;

    /** The latency last reported, for the audio thread's bypassed blocks. */
    std::atomic<int> reportedLatency { 0 };

    DryDelay dryDelay;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TemplateAudioProcessor)
};
