#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Makes sliders and buttons invisible: the knobs and switches the user sees are
    pictures on the control surface, and these controls only take the mouse. */
class CustomLAF : public juce::LookAndFeel_V4
{
public:
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour&, bool, bool) override {}
    void drawButtonText (juce::Graphics&, juce::TextButton&, bool, bool) override {}
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&, bool, bool) override {}
    void drawLinearSlider (juce::Graphics&, int, int, int, int, float, float, float,
                           juce::Slider::SliderStyle, juce::Slider&) override {}
    void drawRotarySlider (juce::Graphics&, int, int, int, int, float, float, float, juce::Slider&) override {}
};
