#pragma once

#include "processor/PluginProcessor.h"

#include <map>
#include <string>

namespace testhelpers
{
    /** Sets a parameter from its real-world value, the way a host's automation would. */
    inline void setParameter (TemplateAudioProcessor& p, const juce::String& id, float realValue)
    {
        auto* param = p.apvts.getParameter (id);
        jassert (param != nullptr);
        param->setValueNotifyingHost (param->convertTo0to1 (realValue));
    }

    inline float rawValue (TemplateAudioProcessor& p, const juce::String& id)
    {
        return p.apvts.getRawParameterValue (id)->load();
    }

    /** All nine raw values, keyed by ID. */
    inline std::map<std::string, float> allValues (TemplateAudioProcessor& p)
    {
        std::map<std::string, float> values;
        for (const auto* id : ParameterIDs::all)
            values[id] = rawValue (p, id);
        return values;
    }

    /** A setting of every parameter away from its default. */
    inline const std::map<std::string, float>& nonDefaultValues()
    {
        static const std::map<std::string, float> values {
            { "delay", 0.47f }, { "feedback", 0.25f }, { "cutoff", 3100.0f }, { "ishpf", 1.0f },
            { "panic", 1.0f }, { "feedbackboost", 0.0f }, { "onoff", 0.0f }, { "mix", 1.0f },
            { "oversampling", 1.0f }
        };
        return values;
    }

    inline void setAll (TemplateAudioProcessor& p, const std::map<std::string, float>& values)
    {
        for (const auto& [id, value] : values)
            setParameter (p, id, value);
    }

    /** A buffer filled with one constant per channel. */
    inline juce::AudioBuffer<float> constantBuffer (int channels, int samples, float value)
    {
        juce::AudioBuffer<float> buffer (channels, samples);
        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (buffer.getWritePointer (c), value, samples);
        return buffer;
    }
} // namespace testhelpers
