#pragma once

#include "PresetLabel.h"
#include "PresetManagerLAF.h"

/** The preset bar: previous and next arrows around the preset label, Save and Delete. */
class PresetsArea : public juce::Component
{
public:
    explicit PresetsArea (juce::AudioProcessorValueTreeState& state);
    ~PresetsArea() override;

    void resized() override;

    juce::ImageButton previousButton;
    juce::ImageButton nextButton;
    juce::TextButton saveButton;
    juce::TextButton deleteButton;
    PresetLabel presetLabel;
    PresetManagerLAF buttonLookAndFeel;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetsArea)
};
