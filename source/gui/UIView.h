#pragma once

#include "MessageThreadHandOff.h"
#include "UIElement.h"

#include <juce_audio_processors/juce_audio_processors.h>

class TemplateAudioProcessor;

/** The control surface: the panel with its knobs, switches, needle meter and clip LED,
    kept in step with the parameters and the output level. Takes no input itself: the
    editor lays invisible controls over the elements. */
class UIView : public juce::Component,
               public juce::AudioProcessorValueTreeState::Listener,
               public juce::Timer
{
public:
    explicit UIView (TemplateAudioProcessor& owner);
    ~UIView() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    void parameterChanged (const juce::String& parameterID, float newValue) override;
    void timerCallback() override;

    /** Scales every element's design box by the given factor and re-renders the knobs and switches. */
    void layoutElements (double scale);

    TemplateAudioProcessor& processor;

    UIElement levelMeter;
    UIElement clipLed;
    UIElement delayKnob;
    UIElement feedbackKnob;
    UIElement cutoffKnob;
    UIElement powerSwitch;
    UIElement mixSwitch;
    UIElement boostSwitch;
    UIElement filterSwitch;
    UIElement panicSwitch;

    /** The surface is designed on this space and scales with its width. */
    static constexpr int designWidth = 1060, designHeight = 340;

private:
    struct Binding;
    static const Binding bindings[8];

    float displayValue (int binding, float plainValue) const;
    void showParameter (int binding, float plainValue);
    UIElementSpec makeSpec (int elementIndex, double scale, float value) const;
    UIElement& element (int elementIndex);

    PendingUpdates<8> pending;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UIView)
};
