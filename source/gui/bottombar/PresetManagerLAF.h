#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Rounded, flat text buttons and a dark olive menu for the preset bar. */
class PresetManagerLAF : public juce::LookAndFeel_V4
{
public:
    void drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override
    {
        auto colour = backgroundColour;

        if (shouldDrawButtonAsHighlighted)
            colour = juce::Colour (0xff808080);
        if (shouldDrawButtonAsDown)
            colour = juce::Colour (0xff555555);

        g.setColour (colour);
        g.fillRoundedRectangle (0.0f, 0.0f, (float) button.getWidth(), (float) button.getHeight(), 10.0f);
    }

    void drawPopupMenuBackground (juce::Graphics& g, int width, int height) override
    {
        g.fillAll (juce::Colour (0xff484537));
        juce::ignoreUnused (width, height);
    }
};
