#include "PluginEditor.h"

#include "processor/PluginProcessor.h"

TemplateAudioProcessorEditor::TemplateAudioProcessorEditor (TemplateAudioProcessor& owner)
    : juce::AudioProcessorEditor (owner)
    , processor (owner)
{
    setSize (1060, 364);
}

TemplateAudioProcessorEditor::~TemplateAudioProcessorEditor() = default;

void TemplateAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xffd0d0d0));
    g.setColour (juce::Colours::black);
    g.drawText ("Vantorel", getLocalBounds(), juce::Justification::centred);
}
