#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** Delays the unprocessed signal by the latency the plug-in reports, for the blocks that
    bypass the engine (power switch off, host bypass): a host that compensates the reported
    latency would otherwise hear them early, and switching would jump in time.

    It keeps listening to the input while the engine runs, so the first bypassed block
    continues seamlessly from the last processed one. */
class DryDelay
{
public:
    /** Allocates room for delays up to maximumDelay samples on numChannels channels. */
    void prepare (int numChannels, int maximumDelay)
    {
        length = juce::jmax (1, maximumDelay + 1);
        history.setSize (juce::jmax (1, numChannels), length);
        reset();
    }

    void reset() noexcept
    {
        history.clear();
        writePosition = 0;
    }

    int getMaximumDelay() const noexcept { return length - 1; }

    /** Takes in the block's input; when `replace` is true, the block becomes its input from
        `delay` samples earlier (a delay of 0 leaves it as it is). */
    void process (juce::AudioBuffer<float>& buffer, int numChannels, int delay, bool replace) noexcept
    {
        delay = juce::jlimit (0, length - 1, delay);
        numChannels = juce::jmin (numChannels, buffer.getNumChannels(), history.getNumChannels());
        const int numSamples = buffer.getNumSamples();

        if (numSamples <= 0 || numChannels <= 0)
            return;

        for (int c = 0; c < numChannels; ++c)
        {
            auto* samples = buffer.getWritePointer (c);
            auto* ring = history.getWritePointer (c);
            int write = writePosition;
            int read = write - delay < 0 ? write - delay + length : write - delay;

            for (int i = 0; i < numSamples; ++i)
            {
                const float input = samples[i];
                ring[write] = input;

                if (replace)
                    samples[i] = ring[read];

                if (++write == length)
                    write = 0;
                if (++read == length)
                    read = 0;
            }
        }

        writePosition = (int) ((writePosition + (juce::int64) numSamples) % length);
    }

private:
    juce::AudioBuffer<float> history;
    int length = 1;
    int writePosition = 0;
};
