#pragma once

#include <atomic>

/** The output level shown by the editor's meter: the audio thread sets a new target
    once per block, the editor's timer walks a linear ramp towards it one step per
    read-out.

    It behaves like juce::SmoothedValue<float, Linear>, but every field is its own
    relaxed atomic. The audio thread must never wait for the message thread, so a
    lock is out; a single atomic hand-over would lose the "every new block restarts
    the ramp" behaviour. A read-out that sees the fields of two blocks mixed only
    disturbs the display until that ramp ends, because the last step of a ramp
    always lands exactly on the target.
*/
class LevelRamp
{
public:
    LevelRamp() = default;

    /** Sets the ramp length in read-outs and jumps to the current target. */
    void reset (int numSteps) noexcept
    {
        stepsToTarget.store (numSteps, std::memory_order_relaxed);
        current.store (target.load (std::memory_order_relaxed), std::memory_order_relaxed);
        countdown.store (0, std::memory_order_relaxed);
    }

    /** Called from the audio thread. A bit-identical target leaves the running ramp alone. */
    void setTargetValue (float newValue) noexcept
    {
        if (newValue == target.load (std::memory_order_relaxed))
            return;

        target.store (newValue, std::memory_order_relaxed);
        const int steps = stepsToTarget.load (std::memory_order_relaxed);

        if (steps <= 0)
        {
            current.store (newValue, std::memory_order_relaxed);
            countdown.store (0, std::memory_order_relaxed);
            return;
        }

        step.store ((newValue - current.load (std::memory_order_relaxed)) / (float) steps, std::memory_order_relaxed);
        countdown.store (steps, std::memory_order_relaxed);
    }

    /** Called from the editor's timer: advances the ramp by one step. */
    float getNextValue() noexcept
    {
        int left = countdown.load (std::memory_order_relaxed);

        if (left <= 0)
            return target.load (std::memory_order_relaxed);

        --left;
        countdown.store (left, std::memory_order_relaxed);

        if (left > 0)
        {
            const float next = current.load (std::memory_order_relaxed) + step.load (std::memory_order_relaxed);
            current.store (next, std::memory_order_relaxed);
            return next;
        }

        const float t = target.load (std::memory_order_relaxed);
        current.store (t, std::memory_order_relaxed);
        return t;
    }

    float getCurrentValue() const noexcept { return current.load (std::memory_order_relaxed); }
    float getTargetValue() const noexcept { return target.load (std::memory_order_relaxed); }
    bool isSmoothing() const noexcept { return countdown.load (std::memory_order_relaxed) > 0; }

private:
    std::atomic<float> current { 0.0f };
    std::atomic<float> target { 0.0f };
    std::atomic<int> countdown { 0 };
    std::atomic<float> step { 0.0f };
    std::atomic<int> stepsToTarget { 0 };

    LevelRamp (const LevelRamp&) = delete;
    LevelRamp& operator= (const LevelRamp&) = delete;
};
