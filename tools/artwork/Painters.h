#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

#include "PanelLayout.h"

/** The painters of the fifteen images; each returns the image at its exact pixel size. */
namespace art
{
    juce::Image paintBackground();
    juce::Image paintMeterStrip();
    juce::Image paintLedStrip();
    juce::Image paintKnobStrip (const layout::Element& knob);

    enum class LeverThrow
    {
        leftRight, // frame 1 thrown to the right
        downUp     // frame 1 thrown up
    };

    enum class LeverStyle
    {
        plain,
        guarded // red-tipped, between two guard rails
    };

    juce::Image paintSwitchStrip (const layout::Element& lever, LeverThrow direction, LeverStyle style);

    juce::Image paintPresetArrow (bool pointsLeft);
    juce::Image paintUndoArrow (bool clockwise);

    /** The app's icon, a square of the given size. */
    juce::Image paintAppIcon (int size);

    /** A Windows icon file holding the images (32-bit, each at its own size). */
    bool writeIco (const std::vector<juce::Image>& images, const juce::File& file);

    //==============================================================================
    // Panel colours shared between the background and the strips that sit on it.
    namespace colours
    {
        inline const juce::Colour ink { 0xff222428 };       // printed legends
        inline const juce::Colour softInk { 0xff4a4d53 };   // units and minor marks
        inline const juce::Colour accent { 0xffb3342a };    // the maker's red
        inline const juce::Colour meterFace { 0xfff1e8cf }; // warm ivory
        inline const juce::Colour meterInk { 0xff1d1c1a };
    }
}
