#pragma once

#include <juce_dsp/juce_dsp.h>

/** Moves the delay line from one delay time to another without a click: on every
    channel the echo at the old delay fades out over fadeLength samples, then the echo
    at the new delay fades in over another fadeLength samples.

    All channels start a crossfade together, and a new delay is accepted only once
    every channel has finished the previous one. The engine calls checkStart(), read()
    and endOfSample() for every sample of every channel.
*/
class DelayCrossfade
{
public:
    using Line = juce::dsp::DelayLine<float, juce::dsp::DelayLineInterpolationTypes::Thiran>;

    /** Allocates the per-channel state for up to maxChannels channels. */
    explicit DelayCrossfade (int maxChannels)
        : channelCapacity (juce::jmax (1, maxChannels))
    {
        fadeOutCount.allocate ((size_t) channelCapacity, true);
        fadeInCount.allocate ((size_t) channelCapacity, true);
        fadeInGain.allocate ((size_t) channelCapacity, true);
        fadeOutGain.allocate ((size_t) channelCapacity, true);
        inCrossfade.allocate ((size_t) channelCapacity, true);
        crossfadeDone.allocate ((size_t) channelCapacity, true);
        fadingOut.allocate ((size_t) channelCapacity, true);
        readDelay.allocate ((size_t) channelCapacity, true);

        for (int c = 0; c < channelCapacity; ++c)
            setFinished (c);
    }

    int getChannelCapacity() const noexcept { return channelCapacity; }

    /** Ends any crossfade: every channel reads on at the delay the line already has.
        acceptedDelay and targetDelay survive, so a new engine rate is picked up by the
        next start check. No read asks the line for more than maximumDelay samples. */
    void prepare (int numChannels, int newFadeLength, float maximumDelay) noexcept
    {
        maximumReadDelay = juce::jmax (0.0f, maximumDelay);

        // A phase of at least one sample keeps the gain step finite at absurdly low rates.
        fadeLength = juce::jmax (1, newFadeLength);
        fadeStep = 1.0f / (float) fadeLength;

        for (int c = 0; c < juce::jmin (numChannels, channelCapacity); ++c)
            setFinished (c);

        crossfadeIdle = true;
    }

    /** Starts a crossfade on all channels when the delay has moved and none is running. */
    void checkStart (float currentDelaySamples, int numChannels) noexcept
    {
        // Written as a negated equality so that a value that is not a number counts as a change.
        if (! crossfadeIdle || currentDelaySamples == acceptedDelay)
            return;

        // acceptedDelay then keeps this value until the next start: once the smoothed
        // delay has settled, it differs from the value a ramp's first step handed over
        // here, so one more crossfade follows and the line ends at the settled delay.
        targetDelay = acceptedDelay = currentDelaySamples;

        for (int c = 0; c < numChannels; ++c)
        {
            fadeOutCount[c] = 0;
            fadeInCount[c] = 0;
            fadeInGain[c] = fadeStep;
            fadeOutGain[c] = 1.0f;
            inCrossfade[c] = true;
            crossfadeDone[c] = false;
            fadingOut[c] = true;
        }

        crossfadeIdle = numChannels <= 0;
    }

    /** The wet sample of this channel, with the crossfade's gain applied. Pops the delay
        line exactly once, so the read position keeps pace with the write position. */
    float read (Line& line, int channel) noexcept
    {
        if (! inCrossfade[channel])
            return readAtChannelDelay (line, channel);

        // Only the last candidate of a sample is read: a second read would move this
        // channel's read position on and shorten its delay by one sample for good.
        float gain = 0.0f;

        if (fadingOut[channel] && fadeOutCount[channel] < fadeLength)
        {
            gain = fadeOutGain[channel];
            fadeOutGain[channel] -= fadeStep;
            ++fadeOutCount[channel];
        }

        if (fadeOutCount[channel] >= fadeLength)
            fadingOut[channel] = false;

        if (! fadingOut[channel] && fadeInCount[channel] < fadeLength)
        {
            readDelay[channel] = targetDelay;
            gain = fadeInGain[channel];
            fadeInGain[channel] += fadeStep;
            ++fadeInCount[channel];
        }

        if (fadeInCount[channel] >= fadeLength)
        {
            inCrossfade[channel] = false;
            crossfadeDone[channel] = true;
            gain = 1.0f;
        }

        return readAtChannelDelay (line, channel) * gain;
    }

    /** Marks the crossfade finished once every channel has finished its own. */
    void endOfSample (int numChannels) noexcept
    {
        if (crossfadeIdle)
            return;

        for (int c = 0; c < numChannels; ++c)
            if (! crossfadeDone[c])
                return;

        crossfadeIdle = true;
    }

    /** True when this channel can only take plain reads at a steady delay for as long as
        the delay stays at currentDelaySamples: no crossfade is running or can start. */
    bool isSettled (float currentDelaySamples, int channel) const noexcept
    {
        return crossfadeIdle && currentDelaySamples == acceptedDelay && readDelay[channel] == lineDelay;
    }

    bool isIdle() const noexcept { return crossfadeIdle; }
    int getFadeLength() const noexcept { return fadeLength; }
    float getAcceptedDelay() const noexcept { return acceptedDelay; }
    float getTargetDelay() const noexcept { return targetDelay; }

private:
    void setFinished (int c) noexcept
    {
        fadeOutCount[c] = 0;
        fadeInCount[c] = 0;
        fadeInGain[c] = 0.001f;
        fadeOutGain[c] = 1.0f;
        inCrossfade[c] = false;
        crossfadeDone[c] = true;
        fadingOut[c] = true;
        readDelay[c] = lineDelay;
    }

    /** JUCE's delay line keeps one delay for all channels, while the channels of a block
        are processed one after another and may be in different phases of a crossfade.
        Each channel therefore remembers the delay it reads at, and the line is switched
        only when the channel about to read wants another one. */
    float readAtChannelDelay (Line& line, int channel) noexcept
    {
        // After a preparation at a lower rate a channel may still ask for a delay beyond the
        // longest one at the new rate until its next crossfade.
        const float wanted = juce::jmin (readDelay[channel], maximumReadDelay, (float) line.getMaximumDelayInSamples());

        if (wanted != lineDelay)
        {
            lineDelay = wanted;
            return line.popSample (channel, wanted);
        }

        return line.popSample (channel);
    }

    const int channelCapacity;

    float acceptedDelay = 0.0f;
    float targetDelay = 0.0f;
    int fadeLength = 0;
    bool crossfadeIdle = true;
    float fadeStep = 0.0f;

    juce::HeapBlock<int> fadeOutCount, fadeInCount;
    juce::HeapBlock<float> fadeInGain, fadeOutGain;
    juce::HeapBlock<bool> inCrossfade, crossfadeDone, fadingOut;
    juce::HeapBlock<float> readDelay;

    float maximumReadDelay = 0.0f;

    /** The delay last handed to the line (a new line starts at 0). */
    float lineDelay = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DelayCrossfade)
};
