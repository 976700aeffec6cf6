#include "DelayEngine.h"

#include "processor/PluginProcessor.h"

DelayEngine::DelayEngine (TemplateAudioProcessor& owner)
    : processor (owner)
{
}

DelayEngine::~DelayEngine() = default;

void DelayEngine::prepare (double, int, float)
{
}

void DelayEngine::process (juce::AudioBuffer<float>&, juce::AudioProcessorValueTreeState&)
{
}
