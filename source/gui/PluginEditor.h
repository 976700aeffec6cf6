#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class TemplateAudioProcessor;

/** The plug-in window. */
class TemplateAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit TemplateAudioProcessorEditor (TemplateAudioProcessor& owner);
    ~TemplateAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;

private:
    TemplateAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TemplateAudioProcessorEditor)
};
