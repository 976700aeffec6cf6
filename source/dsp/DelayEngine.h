#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class TemplateAudioProcessor;

/** The plug-in's signal path. */
class DelayEngine
{
public:
    explicit DelayEngine (TemplateAudioProcessor& owner);
    ~DelayEngine();

    void prepare (double sampleRate, int maximumBlockSize, float maximumDelaySeconds);
    void process (juce::AudioBuffer<float>& buffer, juce::AudioProcessorValueTreeState& parameters);

private:
    TemplateAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DelayEngine)
};
