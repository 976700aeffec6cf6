#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include "DelayCrossfade.h"

class TemplateAudioProcessor;

/** The plug-in's signal path: a feedback delay whose repeats pass through a one-pole
    low-pass or high-pass filter and a hard limiter, optionally run oversampled.

    Delay time changes are applied by a crossfade (DelayCrossfade); delay, feedback and
    cutoff are smoothed over 30 ms.
*/
class DelayEngine
{
public:
    explicit DelayEngine (TemplateAudioProcessor& owner);
    ~DelayEngine();

    /** Builds the oversampler and sets everything that depends on the sample rate, then
        restarts (see restart()). Everything the engine will need is allocated here, for
        the plain and the oversampled rate alike, so processing never allocates. */
    void prepare (double sampleRate, int maximumBlockSize, float maximumDelaySeconds);

    /** Turns one host block, in place, into the effect's output. Allocates nothing, frees
        nothing, takes no lock. Before any prepare() the block passes through as an empty
        delay line would leave it: the dry signal with mix on, silence with mix off. */
    void process (juce::AudioBuffer<float>& buffer, juce::AudioProcessorValueTreeState& parameters);

    /** Host samples by which the oversampler delays the whole output (dry signal included)
        while oversampling is on; 0 before any preparation. Safe to call from any thread. */
    float getOversamplingLatency() const noexcept { return oversamplingLatency.load (std::memory_order_relaxed); }

    /** How long the output stays audible once the input falls silent, in seconds, for the
        given settings (oversampling latency not included): until the repeats, each the
        feedback gain times the last, fall below -100 dB from full scale, or infinity where
        the loop sustains itself (a gain of 1 or more; the limiter keeps it going). */
    static double audibleTailSeconds (float delaySeconds, float feedback, bool boostOn, bool panicOn) noexcept;

    //==============================================================================
    /** Rate of the per-sample loop: the host rate, times the oversampling factor while
        oversampling is on. */
    double getEngineSampleRate() const noexcept { return engineSampleRate; }

    /** Samples per crossfade phase at the engine rate. */
    int getFadeLength() const noexcept { return crossfade.getFadeLength(); }

    /** Longest delay the delay line holds, in samples at the engine rate. */
    int getMaximumDelayInSamples() const noexcept { return maximumDelaySamples; }

    /** Factor of the oversampler built by the last preparation (1 before any). */
    int getOversamplerFactor() const noexcept { return oversampler != nullptr ? (int) oversampler->getOversamplingFactor() : 1; }

    /** Host samples the oversampler takes in one go; longer blocks are processed in pieces.
        Grows, at the next preparation, to the longest block processed so far. */
    int getOversamplerCapacity() const noexcept { return oversamplerCapacity; }

    bool isOversampling() const noexcept { return oversamplingOn; }
    bool isCrossfadeIdle() const noexcept { return crossfade.isIdle(); }

    const juce::SmoothedValue<float>& getDelaySmoother() const noexcept { return smoothedDelay; }
    const juce::SmoothedValue<float>& getFeedbackSmoother() const noexcept { return smoothedFeedback; }
    const juce::SmoothedValue<float>& getCutoffSmoother() const noexcept { return smoothedCutoff; }

private:
    using Filter = juce::dsp::FirstOrderTPTFilter<float>;

    /** Sets the engine to the rate the oversampling switch asks for and discards the delay
        line's contents, the filter states, any crossfade and any smoothing ramp in progress
        (the smoothers land on their targets). Uses only what prepare() allocated. */
    void restart() noexcept;

    /** What an empty delay line gives before the engine was ever prepared. */
    void passThroughUnprepared (juce::AudioBuffer<float>& buffer) const noexcept;

    void runLoop (juce::dsp::AudioBlock<float>& block, std::atomic<float>& panic) noexcept;

    template <bool steady, bool modestInput>
    void runChannel (float* samples, int numSamples, int channel, int numChannels, std::atomic<float>& panic) noexcept;

    TemplateAudioProcessor& processor;

    juce::SmoothedValue<float> smoothedDelay, smoothedFeedback, smoothedCutoff;
    Filter lowPassFilter, highPassFilter;
    juce::dsp::DelayLine<float, juce::dsp::DelayLineInterpolationTypes::Thiran> delayLine;
    std::unique_ptr<juce::dsp::Oversampling<float>> oversampler;

    double engineSampleRate = 44100.0;
    float feedbackTarget = 0.0f;
    bool highPassOn = false, mixOn = false;

    DelayCrossfade crossfade;

    bool oversamplingOn = false;
    float maxDelaySeconds = 1.0f;
    bool needsPrepare = true;

    /** The cutoff each filter was last given, so an unchanged cutoff costs no tangent. */
    float lowPassCutoff = 1000.0f, highPassCutoff = 1000.0f;

    /** Cutoffs are kept just below the engine's Nyquist frequency: above it the filter's
        coefficient turns negative and the loop would blow up (only at very low rates). */
    float cutoffCeiling = 1000.0f;

    /** Last usable host rate, for a preparation asked for with none. */
    double lastValidSampleRate = 44100.0;

    /** Host rate and oversampling factor of the last preparation. */
    double preparedSampleRate = 44100.0;
    int oversamplingFactor = 1;

    /** Longest delay, in samples at the engine rate; the delay line holds the longest
        delay at the oversampled rate, whichever rate the engine runs at. */
    int maximumDelaySamples = 0;

    std::atomic<float> oversamplingLatency { 0.0f };

    /** Channels of the last preparation. */
    int preparedChannels = 0;

    /** Largest block announced or processed so far; every preparation sizes the
        oversampler for it. */
    int largestBlockSize = 0;
    int oversamplerCapacity = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DelayEngine)
};
