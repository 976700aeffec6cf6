#pragma once

#include "ProcessorHelpers.h"

#include <cmath>

namespace testhelpers
{
    /** A processor prepared the way a host prepares it, rendering a signal in place, block
        by block: fill the signal, change parameters between runTo() calls, read the output. */
    class Rig
    {
    public:
        Rig (double sampleRate, int lengthInSamples, int blockSizeToUse = 512, int numChannels = 2)
            : rate (sampleRate), blockSize (blockSizeToUse), signal (numChannels, lengthInSamples)
        {
            signal.clear();

            if (numChannels == 1)
            {
                juce::AudioProcessor::BusesLayout mono;
                mono.inputBuses.add (juce::AudioChannelSet::mono());
                mono.outputBuses.add (juce::AudioChannelSet::mono());
                processor.setBusesLayout (mono);
            }

            processor.setRateAndBufferSizeDetails (rate, blockSize);
            processor.prepareToPlay (rate, blockSize);
        }

        /** Sample index of a time in seconds. */
        int at (double seconds) const { return (int) std::lround (seconds * rate); }

        void set (const char* id, float value) { setParameter (processor, id, value); }

        /** Processes the signal from where the last call stopped up to (not including) end. */
        void runTo (int end)
        {
            end = juce::jmin (end, signal.getNumSamples());

            while (cursor < end)
                runBlock (juce::jmin (blockSize, end - cursor));
        }

        void runToEnd() { runTo (signal.getNumSamples()); }

        /** Processes one block of exactly numSamples samples (0 included). */
        void runBlock (int numSamples)
        {
            juce::AudioBuffer<float> view (signal.getArrayOfWritePointers(), signal.getNumChannels(), cursor, numSamples);
            processor.processBlock (view, midi);
            cursor += numSamples;
        }

        float out (int channel, int index) const { return signal.getSample (channel, index); }

        /** Largest magnitude of channel's samples in [begin, end). */
        float peak (int channel, int begin, int end) const
        {
            return signal.getMagnitude (channel, begin, end - begin);
        }

        /** Root mean square of channel's samples in [begin, end). */
        float rms (int channel, int begin, int end) const { return signal.getRMSLevel (channel, begin, end - begin); }

        /** Delay in samples of the current delay parameter, rounded to the nearest sample. */
        int delaySamples() const { return (int) std::lround ((double) processor.apvts.getRawParameterValue ("delay")->load() * rate); }

        TemplateAudioProcessor processor;
        const double rate;
        int blockSize;
        juce::AudioBuffer<float> signal;
        int cursor = 0;

    private:
        juce::MidiBuffer midi;
    };

    /** Writes value into [begin, end) of every channel. */
    inline void fill (juce::AudioBuffer<float>& b, int begin, int end, float value)
    {
        for (int c = 0; c < b.getNumChannels(); ++c)
            for (int i = begin; i < end; ++i)
                b.setSample (c, i, value);
    }

    /** Writes a sine of the given frequency and amplitude into [begin, end) of every channel. */
    inline void sine (juce::AudioBuffer<float>& b, int begin, int end, double frequency, double rate, float amplitude)
    {
        for (int c = 0; c < b.getNumChannels(); ++c)
            for (int i = begin; i < end; ++i)
                b.setSample (c, i, amplitude * (float) std::sin (juce::MathConstants<double>::twoPi * frequency * (i - begin) / rate));
    }

    /** Writes uniform noise in [-amplitude, amplitude] into [begin, end) of every channel. */
    inline void noise (juce::AudioBuffer<float>& b, int begin, int end, float amplitude, juce::int64 seed)
    {
        juce::Random random (seed);
        for (int c = 0; c < b.getNumChannels(); ++c)
            for (int i = begin; i < end; ++i)
                b.setSample (c, i, amplitude * (2.0f * random.nextFloat() - 1.0f));
    }
} // namespace testhelpers
