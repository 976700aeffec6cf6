#pragma once

#include "MessageThreadHandOff.h"
#include "processor/ParameterIDs.h"

#include <juce_audio_processors/juce_audio_processors.h>

class TemplateAudioProcessor;

/** The readout at the right of the bottom strip: name, value and unit of the knob
    parameter that changed last, on a dark plate. */
class KnobValuesLabel : public juce::Component,
                        public juce::AudioProcessorValueTreeState::Listener,
                        private juce::Timer
{
public:
    explicit KnobValuesLabel (TemplateAudioProcessor& owner);
    ~KnobValuesLabel() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** The text shown for a change of one of the three knob parameters (empty for others). */
    static juce::String textFor (const juce::String& parameterID, float plainValue);

    TemplateAudioProcessor& processor;
    juce::Label label;

private:
    void timerCallback() override;

    static constexpr const char* parameterIDs[] = { ParameterIDs::delay, ParameterIDs::feedback, ParameterIDs::cutoff };

    // Changes from other threads: which parameter changed last (-1: none waiting).
    std::atomic<int> lastChanged { -1 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KnobValuesLabel)
};
