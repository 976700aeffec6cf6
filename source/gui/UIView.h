#pragma once

#include "Artwork.h"
#include "MessageThreadHandOff.h"
#include "UIElement.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>

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

private:
    /** Keeps the process's panel pictures while this surface lives (declared before the
        elements, which draw from them). */
    Artwork::User artworkUser;

public:
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

    /** One element of the surface: which member it is, its strip and frame count, its box
        on the design space, and the parameter it shows (none for the meter and the LED;
        the cutoff knob turns over its parameter's range normalised to 0..1). */
    struct ElementDescription
    {
        UIElement UIView::*member;
        const char* png;
        int pngSize;
        int numFrames;
        juce::Rectangle<int> designBox;
        const char* parameterID;
        bool normalise;
    };

    /** The ten elements in declaration order. */
    static const std::array<ElementDescription, 10> elements;

private:
    /** The frames the elements will show first, at the design size, for Artwork to render
        while the editor is built. */
    std::vector<Artwork::FrameRequest> firstFrames() const;

    float displayValue (const ElementDescription& e, float plainValue) const;
    float currentValue (const ElementDescription& e) const;
    UIElementSpec makeSpec (const ElementDescription& e, double scale, float value) const;

    /** The background at the surface's size in physical pixels, drawn again only when the
        size or the scale changes. */
    juce::Image background;
    float backgroundScale = 0.0f;

    PendingUpdates<10> pending;
    int stillTicks = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UIView)
};
