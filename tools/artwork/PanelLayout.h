#pragma once

#include <juce_graphics/juce_graphics.h>

/** Where things sit on the panel, in its 1060 x 340 design coordinates.

    The control boxes are the ones the editor places its elements and invisible controls
    in; the printed legends, the knob scales and the meter window are derived from them
    here, so the background and the filmstrips cannot drift apart.
*/
namespace art::layout
{
    struct Element
    {
        const char* fileName;
        int numFrames;
        juce::Rectangle<int> box;    // design coordinates
        int frameWidth, frameHeight; // pixels of one frame in the strip
    };

    inline constexpr int panelWidth = 1060, panelHeight = 340;
    inline constexpr int backgroundWidth = 2120, backgroundHeight = 680;

    inline const Element levelMeter   { "vu_meter.png",        100, {   5,  54, 444, 282 }, 889, 564 };
    inline const Element clipLed      { "clipping_leds.png",     3, { 464, 258,  62,  61 }, 125, 122 };
    inline const Element delayKnob    { "delay_btn.png",        50, { 402,  63, 272, 276 }, 544, 553 };
    inline const Element feedbackKnob { "feedback_btn.png",     50, { 593,  55, 246, 283 }, 493, 567 };
    inline const Element cutoffKnob   { "cutoff_btn.png",       50, { 778,  52, 265, 282 }, 529, 564 };
    inline const Element powerSwitch  { "power_switch.png",      2, { 101, 263,  73,  62 }, 146, 125 };
    inline const Element mixSwitch    { "mix_switch.png",        2, { 283, 261,  65,  61 }, 129, 123 };
    inline const Element boostSwitch  { "feedback_switch.png",   2, { 639, 259,  62,  59 }, 125, 118 };
    inline const Element filterSwitch { "filter_switch.png",     2, { 902, 258,  63,  67 }, 126, 134 };
    inline const Element panicSwitch  { "panic_switch.png",      2, { 730, 258,  62,  75 }, 124, 151 };

    //==============================================================================
    // Knobs: centred in their boxes across, all on one line, above the switch row.
    inline constexpr float knobCentreY = 150.0f;
    inline constexpr float knobRadius = 50.0f;
    inline constexpr float knobCapRadius = 35.0f;

    // The pointer turns from seven o'clock (210 degrees clockwise from twelve) through
    // twelve to five o'clock: 300 degrees over the 50 frames.
    inline constexpr float knobStartDegrees = 210.0f;
    inline constexpr float knobSweepDegrees = 300.0f;

    inline juce::Point<float> knobCentre (const Element& knob)
    {
        return { (float) knob.box.getX() + (float) knob.box.getWidth() * 0.5f, knobCentreY };
    }

    inline float knobDegreesForFrame (int frame, int numFrames)
    {
        return knobStartDegrees + knobSweepDegrees * (float) frame / (float) (numFrames - 1);
    }

    //==============================================================================
    // The meter: a face behind a window in the upper part of its box; the lower part of
    // the box stays clear, because the power and mix switches sit there behind it.
    inline const juce::Rectangle<float> meterFace { 14.0f, 60.0f, 426.0f, 164.0f };
    inline const juce::Point<float> meterPivot { 227.0f, 292.0f };
    inline constexpr float meterScaleRadius = 196.0f;
    inline constexpr float meterHalfSweepDegrees = 50.0f;
    inline constexpr float meterCoverTop = 200.0f; // the plate that hides the needle's root

    inline float meterDegreesForDecibels (float dB)
    {
        return -meterHalfSweepDegrees + 2.0f * meterHalfSweepDegrees * (dB + 100.0f) / 100.0f;
    }

    //==============================================================================
    inline juce::Point<float> centreOf (const Element& e)
    {
        return e.box.toFloat().getCentre();
    }
}
