#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A plug-in's window events reach JUCE through the host's run loop, which calls JUCE only
    when the X connection's socket becomes readable. Xlib may already have read events off
    that socket while JUCE was waiting for a reply (a repaint, a menu opening): those events
    then wait in Xlib's queue until the next one arrives — a double click on an unmoved mouse
    could sit there indefinitely. This hands any such events to JUCE a few times a second; with
    nothing queued it costs one check. Elsewhere (Windows) it does nothing. */
class QueuedWindowEvents : private juce::Timer
{
public:
    QueuedWindowEvents() { startTimer (50); }
    ~QueuedWindowEvents() override { stopTimer(); }

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QueuedWindowEvents)
};
