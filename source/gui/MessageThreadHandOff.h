#pragma once

#include <juce_events/juce_events.h>

#include <atomic>

/** Flags set from any thread, collected on the message thread.

    Parameter listeners may be called on the audio thread (host automation). There
    they must not allocate, lock or touch components, so they only raise a flag; the
    message thread later reads the parameter's current value, which is always the
    latest, and shows it. */
template <int NumSlots>
class PendingUpdates
{
public:
    void mark (int slot) noexcept { pending[slot].store (true, std::memory_order_release); }

    /** Clears a slot; true if it had been marked. */
    bool take (int slot) noexcept { return pending[slot].exchange (false, std::memory_order_acquire); }

    static bool onMessageThread() noexcept { return juce::MessageManager::existsAndIsCurrentThread(); }

private:
    std::atomic<bool> pending[NumSlots] {};
};
