#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include "LevelRamp.h"
#include "ParameterIDs.h"
#include "dsp/DelayEngine.h"

/** The object the host drives: owns the parameters, their undo history, the delay
    engine and the output level the editor's meter shows. */
class TemplateAudioProcessor : public juce::AudioProcessor
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

    //==============================================================================
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    const juce::String getName() const override { return "Vantorel"; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }
    double getTailLengthSeconds() const override { return 0.0; }

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    /** VST3 hosts require every program to have a name. */
    const juce::String getProgramName (int) override { return "Default"; }
    void changeProgramName (int, const juce::String&) override {}

    //==============================================================================
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    /** Installs a saved parameter tree (host state or preset) and clears the undo
        history. Parameters the tree does not mention keep their current values. */
    static void replaceParameterState (juce::AudioProcessorValueTreeState& parameters, juce::ValueTree newState);

    /** Unwraps the XML of a state blob; nothing for anything malformed or truncated. */
    static std::unique_ptr<juce::XmlElement> parseStateBlob (const void* data, int sizeInBytes);

    /** Parses the text of a saved parameter tree; nothing for malformed text or text with a
        document type declaration. */
    static std::unique_ptr<juce::XmlElement> parseParameterXml (const juce::String& text);

    //==============================================================================
    juce::AudioProcessorValueTreeState apvts;
    juce::UndoManager undoManager;
    LevelRamp outputLevel;
    DelayEngine engine;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TemplateAudioProcessor)
};
