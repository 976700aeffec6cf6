#include "DelayEngine.h"

#include "processor/PluginProcessor.h"

#include <cmath>

namespace
{
    constexpr float limiterCeiling = 0.99f;

    /** The hard limiter of the loop and the output. A value that is not a number
        passes unchanged. */
    inline float limit (float v) noexcept
    {
        return juce::jlimit (-limiterCeiling, limiterCeiling, v);
    }

    /** Inputs beyond this (120 dB over full scale) are clamped before they reach the
        filter, whose state could otherwise overflow to infinity. */
    constexpr float loopInputCeiling = 1.0e6f;

    /** The input sample as the feedback loop sees it. A sample that is not finite feeds
        silence: stored once, it would poison the delay line and the filter for good. */
    inline float loopInput (float x) noexcept
    {
        if (std::abs (x) <= loopInputCeiling) // false for NaN and infinities
            return x;

        if (std::isnan (x) || std::isinf (x))
            return 0.0f;

        return x > 0.0f ? loopInputCeiling : -loopInputCeiling;
    }

    constexpr int maximumOversamplingOrder = 4; // stages JUCE's oversampler provides
    constexpr int minimumOversamplerCapacity = 1024;
    constexpr double smoothingSeconds = 0.03;
    constexpr double fadeSeconds = 0.0625;
} // namespace

//==============================================================================
DelayEngine::DelayEngine (TemplateAudioProcessor& owner)
    : processor (owner)
    , crossfade (owner.getTotalNumInputChannels())
{
}

DelayEngine::~DelayEngine() = default;

//==============================================================================
void DelayEngine::prepare (double sampleRate, int maximumBlockSize, float maximumDelaySeconds)
{
    if (std::isfinite (maximumDelaySeconds) && maximumDelaySeconds >= 0.0f)
        maxDelaySeconds = maximumDelaySeconds;

    const int channels = juce::jlimit (1, crossfade.getChannelCapacity(), processor.getTotalNumInputChannels());

    // A host rate of 0 (not yet known) or worse keeps the last usable one.
    if (std::isfinite (sampleRate) && sampleRate > 0.0)
        lastValidSampleRate = sampleRate;
    else
        sampleRate = lastValidSampleRate;

    // The highest power-of-two multiple of the host rate up to 192 kHz, within the four
    // stages JUCE's oversampler has.
    const double ratio = sampleRate <= 192000.0 ? std::trunc (192000.0 / sampleRate) : 1.0;
    const int order = (int) juce::jmin ((double) maximumOversamplingOrder, std::trunc (std::log2 (ratio)));

    // Sized for the longest block seen so far, so a block longer than the one that
    // triggered this preparation still fits.
    largestBlockSize = juce::jmax (largestBlockSize, maximumBlockSize);
    oversamplerCapacity = juce::jmax (minimumOversamplerCapacity, largestBlockSize);

    oversampler = std::make_unique<juce::dsp::Oversampling<float>> ((size_t) channels, (size_t) order,
                                                                    juce::dsp::Oversampling<float>::filterHalfBandFIREquiripple,
                                                                    true, false);
    oversampler->initProcessing ((size_t) oversamplerCapacity);
    oversampler->reset();

    engineSampleRate = oversamplingOn ? sampleRate * (double) (1 << order) : sampleRate;

    const juce::dsp::ProcessSpec spec { engineSampleRate, (juce::uint32) juce::jmax (0, maximumBlockSize), (juce::uint32) channels };

    for (auto* smoother : { &smoothedDelay, &smoothedFeedback, &smoothedCutoff })
        smoother->reset (engineSampleRate, smoothingSeconds);

    cutoffCeiling = (float) (0.49 * engineSampleRate);

    lowPassFilter.setType (juce::dsp::FirstOrderTPTFilterType::lowpass);
    highPassFilter.setType (juce::dsp::FirstOrderTPTFilterType::highpass);

    for (auto* filter : { &lowPassFilter, &highPassFilter })
    {
        filter->reset();
        filter->prepare (spec);
        filter->setCutoffFrequency (juce::jmin (1000.0f, cutoffCeiling));
    }

    lowPassCutoff = highPassCutoff = 1000.0f;

    delayLine.prepare (spec);
    delayLine.setMaximumDelayInSamples ((int) ((double) maxDelaySeconds * engineSampleRate));

    crossfade.prepare (channels, (int) (engineSampleRate * fadeSeconds));
    preparedChannels = channels;
}

//==============================================================================
void DelayEngine::process (juce::AudioBuffer<float>& buffer, juce::AudioProcessorValueTreeState& parameters)
{
    namespace id = ParameterIDs;

    const auto value = [&parameters] (const char* parameterID)
    {
        return parameters.getRawParameterValue (parameterID)->load();
    };

    // Parameter pick-up. A value that is not finite (only a broken host or file sends
    // one) leaves the previous target in place rather than entering the smoothers.
    if (const float feedback = value (id::feedback); std::isfinite (feedback))
    {
        feedbackTarget = feedback;

        // The boost applies while the switch is off.
        if (value (id::feedbackboost) == 0.0f)
            feedbackTarget *= 1.15f;

        smoothedFeedback.setTargetValue (feedbackTarget);
    }

    if (const float delaySeconds = value (id::delay); std::isfinite (delaySeconds) && delaySeconds >= 0.0f)
        smoothedDelay.setTargetValue (delaySeconds);

    if (const float cutoff = value (id::cutoff); std::isfinite (cutoff) && cutoff > 0.0f)
        smoothedCutoff.setTargetValue (cutoff);

    highPassOn = value (id::ishpf) != 0.0f;
    mixOn = value (id::mix) != 0.0f;

    const int numSamples = buffer.getNumSamples();

    // After the targets above, so a re-preparation lands the smoothers on them.
    if (const bool wantsOversampling = value (id::oversampling) != 0.0f;
        needsPrepare || wantsOversampling != oversamplingOn)
    {
        needsPrepare = false;
        oversamplingOn = wantsOversampling;
        prepare (processor.getSampleRate(), numSamples, maxDelaySeconds);
    }

    largestBlockSize = juce::jmax (largestBlockSize, numSamples);

    auto& panic = *parameters.getRawParameterValue (id::panic);
    const int numChannels = juce::jmin (buffer.getNumChannels(), preparedChannels);

    if (numSamples > 0 && numChannels > 0)
    {
        juce::dsp::AudioBlock<float> hostBlock (buffer.getArrayOfWritePointers(), (size_t) numChannels, (size_t) numSamples);

        if (! oversamplingOn)
        {
            runLoop (hostBlock, panic);
        }
        else
        {
            // The oversampler's filters remember their input: a sample that is not finite
            // would smear into its neighbours, an enormous one could overflow them.
            for (int c = 0; c < numChannels; ++c)
            {
                auto* samples = buffer.getWritePointer (c);

                for (int i = 0; i < numSamples; ++i)
                    samples[i] = loopInput (samples[i]);
            }

            // A block longer than the oversampler was sized for (only when the host sends
            // more than it announced) is taken in pieces; the next preparation grows it.
            for (int start = 0; start < numSamples; start += oversamplerCapacity)
            {
                const int length = juce::jmin (oversamplerCapacity, numSamples - start);
                auto piece = hostBlock.getSubBlock ((size_t) start, (size_t) length);
                auto upsampled = oversampler->processSamplesUp (piece);
                runLoop (upsampled, panic);
                oversampler->processSamplesDown (piece);
            }

            // The down-sampling filter rings above a limited signal's peaks.
            for (int c = 0; c < numChannels; ++c)
                juce::FloatVectorOperations::clip (buffer.getWritePointer (c), buffer.getReadPointer (c),
                                                   -limiterCeiling, limiterCeiling, numSamples);
        }
    }

    for (int channel = processor.getTotalNumInputChannels(); channel < processor.getTotalNumOutputChannels(); ++channel)
        buffer.clear (channel, 0, numSamples);
}

//==============================================================================
void DelayEngine::runLoop (juce::dsp::AudioBlock<float>& block, std::atomic<float>& panic) noexcept
{
    const int numChannels = (int) block.getNumChannels();
    const int numSamples = (int) block.getNumSamples();

    // The smoothers are shared by all channels and advance once per sample of each
    // channel, so a ramp runs through channel 0's samples, then channel 1's.
    for (int c = 0; c < numChannels; ++c)
    {
        auto* samples = block.getChannelPointer ((size_t) c);

        const bool steady = ! smoothedDelay.isSmoothing() && ! smoothedFeedback.isSmoothing()
                            && ! smoothedCutoff.isSmoothing()
                            && crossfade.isSettled ((float) ((double) smoothedDelay.getTargetValue() * engineSampleRate), c);

        if (steady)
            runChannel<true> (samples, numSamples, c, numChannels, panic);
        else
            runChannel<false> (samples, numSamples, c, numChannels, panic);
    }
}

/** One channel's pass over the block. The steady variant is taken when no parameter
    is ramping and no crossfade is running or can start: the smoothers would return
    their targets and the crossfade would take plain reads, so it skips both and gives
    bit-identical results. */
template <bool steady>
void DelayEngine::runChannel (float* samples, int numSamples, int channel, int numChannels, std::atomic<float>& panic) noexcept
{
    auto& filter = highPassOn ? highPassFilter : lowPassFilter;
    auto& filterCutoff = highPassOn ? highPassCutoff : lowPassCutoff;

    const float steadyFeedback = smoothedFeedback.getTargetValue();
    const float steadyCutoff = smoothedCutoff.getTargetValue();

    for (int i = 0; i < numSamples; ++i)
    {
        const float inputSample = samples[i];
        const float loopSample = loopInput (inputSample);

        float currentFeedback, currentCutoff, wetSample;

        if constexpr (steady)
        {
            currentFeedback = steadyFeedback;
            currentCutoff = steadyCutoff;
        }
        else
        {
            currentFeedback = smoothedFeedback.getNextValue();
            const auto currentDelaySamples = (float) ((double) smoothedDelay.getNextValue() * engineSampleRate);
            currentCutoff = smoothedCutoff.getNextValue();

            crossfade.checkStart (currentDelaySamples, numChannels);
        }

        const bool panicOn = panic.load (std::memory_order_relaxed) != 0.0f;

        if constexpr (steady)
        {
            wetSample = delayLine.popSample (channel);
        }
        else
        {
            wetSample = crossfade.read (delayLine, channel);
            crossfade.endOfSample (numChannels);
        }

        float filterOutput;

        if (panicOn)
        {
            // The loop is open: the line takes the dry input alone and neither filter runs.
            filterOutput = loopSample;
        }
        else
        {
            if (currentCutoff != filterCutoff)
            {
                filterCutoff = currentCutoff;
                filter.setCutoffFrequency (juce::jmin (currentCutoff, cutoffCeiling));
            }

            filterOutput = filter.processSample (channel, currentFeedback * wetSample + loopSample);
        }

        delayLine.pushSample (channel, limit (filterOutput));

        samples[i] = limit (mixOn ? inputSample + wetSample : wetSample);
    }
}
