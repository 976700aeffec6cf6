#pragma once

#include "CustomLAF.h"
#include "KnobValuesLabel.h"
#include "PanelSize.h"
#include "QueuedWindowEvents.h"
#include "RepaintFallback.h"
#include "UIView.h"
#include "bottombar/TopBar.h"

#include <juce_audio_processors/juce_audio_processors.h>

class TemplateAudioProcessor;

/** The plug-in window: the control surface with invisible controls over its knobs and
    switches, and the bottom strip with the preset tools, a link and the value readout. */
class TemplateAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit TemplateAudioProcessorEditor (TemplateAudioProcessor& owner);
    ~TemplateAudioProcessorEditor() override;

    void resized() override;

    /** The window's design size and its limits (the proportion is fixed, see PanelSize). */
    static constexpr int designWidth = PanelSize::designWidth, designHeight = PanelSize::designHeight;
    static constexpr int minWidth = PanelSize::minWidth, minHeight = PanelSize::minHeight;
    static constexpr int maxWidth = PanelSize::maxWidth, maxHeight = PanelSize::maxHeight;

    TemplateAudioProcessor& audioProcessor;
    juce::ComponentBoundsConstrainer constrainer;
    UIView view;

    juce::Slider delaySlider, feedbackSlider, cutoffSlider;
    juce::ToggleButton powerButton, mixButton, boostButton, panicButton, filterButton;

    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    using ButtonAttachment = juce::AudioProcessorValueTreeState::ButtonAttachment;
    SliderAttachment delayAttachment, feedbackAttachment, cutoffAttachment;
    ButtonAttachment powerAttachment, mixAttachment, boostAttachment, panicAttachment, filterAttachment;

    CustomLAF customLookAndFeel;
    juce::ImageButton logoButton;
    TopBar topBar;
    juce::TextButton supportButton;
    KnobValuesLabel valuesLabel;

private:
   #if JUCE_WINDOWS
    RepaintFallback repaintFallback { *this };
   #else
    QueuedWindowEvents queuedWindowEvents;
   #endif

    /** Each invisible control with the element it lies over. */
    std::vector<std::pair<juce::Component*, UIElement*>> overlays();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TemplateAudioProcessorEditor)
};
