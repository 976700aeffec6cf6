#include "DelayEngine.h"

#include "processor/PluginProcessor.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
    constexpr float limiterCeiling = 0.99f;

    /** The hard limiter of the loop and the output. A value that is not a number
        passes unchanged: each comparison is false for it. */
    inline float limit (float v) noexcept
    {
        const float aboveFloor = v < -limiterCeiling ? -limiterCeiling : v;
        return limiterCeiling < aboveFloor ? limiterCeiling : aboveFloor;
    }

    /** The same limiter for a value known to be finite, as a plain min/max pair (the
        compiler may not turn limit() into one, as that would change what happens to a
        value that is not a number). */
    inline float limitFinite (float v) noexcept
    {
       #if JUCE_USE_SSE_INTRINSICS
        const auto limited = _mm_min_ss (_mm_max_ss (_mm_set_ss (v), _mm_set_ss (-limiterCeiling)), _mm_set_ss (limiterCeiling));
        return _mm_cvtss_f32 (limited);
       #else
        return limit (v);
       #endif
    }

    /** A switch is on when its value is not 0 (a value that is not a number counts as
        on). Compared as bits, which is cheaper per sample: both zeros are off. */
    inline bool isOn (const std::atomic<float>& parameter) noexcept
    {
        const float value = parameter.load (std::memory_order_relaxed);
        juce::uint32 bits;
        std::memcpy (&bits, &value, sizeof (bits));
        return (bits << 1) != 0;
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

    /** True when loopInput() would pass every sample unchanged. Written as one
        branch-free pass so that it vectorises. */
    inline bool allWithinLoopInputCeiling (const float* samples, int numSamples) noexcept
    {
        int outside = 0;

        for (int i = 0; i < numSamples; ++i)
            outside |= ! (std::abs (samples[i]) <= loopInputCeiling) ? 1 : 0;

        return outside == 0;
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

    // Sized for the longest block seen so far, so a block longer than the one announced
    // here still fits.
    largestBlockSize = juce::jmax (largestBlockSize, maximumBlockSize);
    oversamplerCapacity = juce::jmax (minimumOversamplerCapacity, largestBlockSize);

    oversampler = std::make_unique<juce::dsp::Oversampling<float>> ((size_t) channels, (size_t) order,
                                                                    juce::dsp::Oversampling<float>::filterHalfBandFIREquiripple,
                                                                    true, false);
    oversampler->initProcessing ((size_t) oversamplerCapacity);
    oversamplingLatency.store (oversampler->getLatencyInSamples(), std::memory_order_relaxed);

    preparedSampleRate = sampleRate;
    oversamplingFactor = 1 << order;
    preparedChannels = channels;

    // Room for the longest delay at the oversampled rate: switching oversampling on or off
    // then only clears the line.
    const double highestRate = sampleRate * (double) oversamplingFactor;
    const juce::dsp::ProcessSpec spec { highestRate, (juce::uint32) juce::jmax (0, maximumBlockSize), (juce::uint32) channels };

    for (auto* filter : { &lowPassFilter, &highPassFilter })
        filter->prepare (spec);

    delayLine.prepare (spec);
    delayLine.setMaximumDelayInSamples ((int) ((double) maxDelaySeconds * highestRate));

    restart();
}

void DelayEngine::restart() noexcept
{
    engineSampleRate = oversamplingOn ? preparedSampleRate * (double) oversamplingFactor : preparedSampleRate;

    for (auto* smoother : { &smoothedDelay, &smoothedFeedback, &smoothedCutoff })
        smoother->reset (engineSampleRate, smoothingSeconds);

    cutoffCeiling = (float) (0.49 * engineSampleRate);

    lowPassFilter.setType (juce::dsp::FirstOrderTPTFilterType::lowpass);
    highPassFilter.setType (juce::dsp::FirstOrderTPTFilterType::highpass);

    // The same channel count as prepare() gave them: the filters keep their storage.
    const juce::dsp::ProcessSpec spec { engineSampleRate, (juce::uint32) oversamplerCapacity, (juce::uint32) preparedChannels };

    for (auto* filter : { &lowPassFilter, &highPassFilter })
    {
        filter->prepare (spec);
        filter->setCutoffFrequency (juce::jmin (1000.0f, cutoffCeiling));
    }

    lowPassCutoff = highPassCutoff = 1000.0f;

    delayLine.reset();
    maximumDelaySamples = (int) ((double) maxDelaySeconds * engineSampleRate);

    crossfade.prepare (preparedChannels, (int) (engineSampleRate * fadeSeconds), (float) maximumDelaySamples);
    oversampler->reset();
}

double DelayEngine::audibleTailSeconds (float delaySeconds, float feedback, bool boostOn, bool panicOn) noexcept
{
    constexpr double infinite = std::numeric_limits<double>::infinity();

    // Beyond an hour, no host would wait for it; and some count it in 32-bit samples.
    constexpr double longestFiniteTail = 3600.0;

    // The last crossfade (two phases) and smoothing ramp may still be under way.
    constexpr double settling = 2.0 * fadeSeconds + smoothingSeconds;

    // Repeats fall from at most the limiter's ceiling to -100 dB.
    constexpr double quietLevel = 1.0e-5;

    if (! std::isfinite (delaySeconds) || ! std::isfinite (feedback))
        return infinite;

    const double delay = juce::jlimit (0.0, 1.0e3, (double) delaySeconds);

    // The boost applies while the switch is off.
    const double gain = juce::jmax (0.0, (double) feedback * (boostOn ? 1.0 : 1.15));

    // With the loop open the line's content is heard once more; without feedback the
    // input is heard once, one delay later.
    double repeats = 1.0;

    if (! panicOn && gain >= 1.0)
        return infinite;

    if (! panicOn && gain > 0.0)
        repeats += std::ceil (std::log (quietLevel / (double) limiterCeiling) / std::log (gain));

    const double tail = repeats * delay + settling;
    return tail > longestFiniteTail ? infinite : tail;
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

    if (oversampler == nullptr)
    {
        passThroughUnprepared (buffer);
        return;
    }

    // After the targets above, so a restart lands the smoothers on them.
    if (const bool wantsOversampling = value (id::oversampling) != 0.0f;
        needsPrepare || wantsOversampling != oversamplingOn)
    {
        needsPrepare = false;
        oversamplingOn = wantsOversampling;
        restart();
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

                if (! allWithinLoopInputCeiling (samples, numSamples))
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

void DelayEngine::passThroughUnprepared (juce::AudioBuffer<float>& buffer) const noexcept
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        auto* samples = buffer.getWritePointer (c);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            samples[i] = mixOn ? limit (samples[i]) : 0.0f;
    }
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

        // With every input sample finite and modest, every value in the pass is finite,
        // and the cheaper limiter gives the same results.
        const bool modest = allWithinLoopInputCeiling (samples, numSamples);

        if (steady && modest)
            runChannel<true, true> (samples, numSamples, c, numChannels, panic);
        else if (steady)
            runChannel<true, false> (samples, numSamples, c, numChannels, panic);
        else
            runChannel<false, false> (samples, numSamples, c, numChannels, panic);
    }
}

/** One channel's pass over the block. The steady variant is taken when no parameter
    is ramping and no crossfade is running or can start: the smoothers would return
    their targets and the crossfade would take plain reads, so it skips both and gives
    bit-identical results. The modest variant knows every input sample passes the
    loop's input guard unchanged. */
template <bool steady, bool modestInput>
void DelayEngine::runChannel (float* samples, int numSamples, int channel, int numChannels, std::atomic<float>& panic) noexcept
{
    auto& filter = highPassOn ? highPassFilter : lowPassFilter;
    auto& filterCutoff = highPassOn ? highPassCutoff : lowPassCutoff;
    const bool addDry = mixOn;

    const float steadyFeedback = smoothedFeedback.getTargetValue();

    if constexpr (steady)
    {
        // The cutoff holds for the whole pass, so the filter can take it up front: a
        // filter's cutoff only matters when it runs, and it would get this value then.
        const float steadyCutoff = smoothedCutoff.getTargetValue();

        if (steadyCutoff != filterCutoff)
        {
            filterCutoff = steadyCutoff;
            filter.setCutoffFrequency (juce::jmin (steadyCutoff, cutoffCeiling));
        }
    }

    for (int i = 0; i < numSamples; ++i)
    {
        const float inputSample = samples[i];
        const float loopSample = modestInput ? inputSample : loopInput (inputSample);

        float currentFeedback = steadyFeedback, currentCutoff = 0.0f, wetSample;

        if constexpr (steady)
        {
            wetSample = delayLine.popSample (channel);
        }
        else
        {
            currentFeedback = smoothedFeedback.getNextValue();
            const auto currentDelaySamples = (float) ((double) smoothedDelay.getNextValue() * engineSampleRate);
            currentCutoff = smoothedCutoff.getNextValue();

            crossfade.checkStart (currentDelaySamples, numChannels);
            wetSample = crossfade.read (delayLine, channel);
            crossfade.endOfSample (numChannels);
        }

        float filterOutput;

        if (isOn (panic))
        {
            // The loop is open: the line takes the dry input alone and neither filter runs.
            filterOutput = loopSample;
        }
        else
        {
            if constexpr (! steady)
            {
                if (currentCutoff != filterCutoff)
                {
                    filterCutoff = currentCutoff;
                    filter.setCutoffFrequency (juce::jmin (currentCutoff, cutoffCeiling));
                }
            }

            filterOutput = filter.processSample (channel, currentFeedback * wetSample + loopSample);
        }

        // The loop only ever holds finite values.
        delayLine.pushSample (channel, limitFinite (filterOutput));

        const float outputSample = addDry ? inputSample + wetSample : wetSample;
        samples[i] = modestInput ? limitFinite (outputSample) : limit (outputSample);
    }
}
