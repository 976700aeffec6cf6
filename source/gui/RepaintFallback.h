#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** JUCE 7.0.5 on Windows holds a window's repaints until the display's next vertical blank,
    which it learns of through DXGI. Where DXGI knows no display for the window (Wine without
    a graphics driver, some remote sessions) none ever comes, and the window keeps showing its
    first picture. This hands the held repaints on whenever no vertical blank has come for a
    while; with working vertical blanks it does nothing. Only Windows builds have one: on
    Linux it would only keep a timer and a vertical-blank listener busy. */
class RepaintFallback : private juce::Timer
{
public:
    explicit RepaintFallback (juce::Component& c)
        : component (c)
        , vblank (&c, [this] { lastVBlank = juce::Time::getMillisecondCounter(); })
    {
        startTimer (30);
    }

private:
    void timerCallback() override
    {
        if (juce::Time::getMillisecondCounter() - lastVBlank < 100)
            return;

        if (auto* peer = component.getPeer())
            peer->performAnyPendingRepaintsNow();
    }

    juce::Component& component;
    juce::uint32 lastVBlank = 0;
    juce::VBlankAttachment vblank;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RepaintFallback)
};
