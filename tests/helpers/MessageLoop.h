#pragma once

#include <juce_events/juce_events.h>

namespace juce
{
    // JUCE's own per-message step of the dispatch loop. MessageManager::runDispatchLoopUntil
    // exists only with modal loops enabled, which the plug-in does not build with.
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace testhelpers
{
    /** Runs the message loop on this (the message) thread for the given time, delivering
        timer callbacks, async updates and posted messages as they come due. */
    inline void pumpMessages (int milliseconds)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

        while (juce::Time::getMillisecondCounter() < end)
            if (! juce::dispatchNextMessageOnSystemQueue (true))
                juce::Thread::sleep (1);
    }
}
