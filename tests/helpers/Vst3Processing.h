#pragma once

// Drives the audio side of a loaded module the way a VST3 host does: bus arrangements,
// setupProcessing, setActive/setProcessing, and process() with parameter changes.

#include "Vst3Module.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/vstspeaker.h>

#include <vector>

namespace testhelpers
{
    /** The VST3 parameter ID a host sees for a parameter ID string. */
    inline Steinberg::Vst::ParamID vst3ParamId (const char* id)
    {
        juce::uint32 h = 0;
        for (const char* c = id; *c != 0; ++c)
            h = 31u * h + (juce::uint32) (unsigned char) *c;
        return h & 0x7fffffffu;
    }

    inline constexpr Steinberg::Vst::ParamID bypassParamId = 0x62797073; // 'byps'

   // The SDK's interfaces have no virtual destructors: objects are released, not deleted.
   #pragma GCC diagnostic push
   #pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

    /** One parameter's queue of points for one block; lives on the host's stack. */
    class ParamQueue : public Steinberg::Vst::IParamValueQueue
    {
    public:
        ParamQueue (Steinberg::Vst::ParamID idToUse, Steinberg::int32 offset, double value) : id (idToUse)
        {
            points.push_back ({ offset, value });
        }

        Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID, void** obj) override
        {
            *obj = nullptr;
            return Steinberg::kNoInterface;
        }
        Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
        Steinberg::uint32 PLUGIN_API release() override { return 1; }

        Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id; }
        Steinberg::int32 PLUGIN_API getPointCount() override { return (Steinberg::int32) points.size(); }

        Steinberg::tresult PLUGIN_API getPoint (Steinberg::int32 index, Steinberg::int32& offset, Steinberg::Vst::ParamValue& value) override
        {
            if (index < 0 || index >= getPointCount())
                return Steinberg::kResultFalse;
            offset = points[(size_t) index].first;
            value = points[(size_t) index].second;
            return Steinberg::kResultOk;
        }

        Steinberg::tresult PLUGIN_API addPoint (Steinberg::int32 offset, Steinberg::Vst::ParamValue value, Steinberg::int32& index) override
        {
            index = getPointCount();
            points.push_back ({ offset, value });
            return Steinberg::kResultOk;
        }

    private:
        Steinberg::Vst::ParamID id;
        std::vector<std::pair<Steinberg::int32, double>> points;
    };

    /** The parameter changes a host hands to one process() call. */
    class ParamChanges : public Steinberg::Vst::IParameterChanges
    {
    public:
        /** Adds a change of a normalised value at a sample offset in the block. */
        void set (Steinberg::Vst::ParamID id, double normalised, Steinberg::int32 offset = 0)
        {
            for (auto& q : queues)
            {
                if (q.getParameterId() == id)
                {
                    Steinberg::int32 unused;
                    q.addPoint (offset, normalised, unused);
                    return;
                }
            }
            queues.emplace_back (id, offset, normalised);
        }

        void set (const char* id, double normalised) { set (vst3ParamId (id), normalised); }
        void clear() { queues.clear(); }
        bool empty() const { return queues.empty(); }

        Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID, void** obj) override
        {
            *obj = nullptr;
            return Steinberg::kNoInterface;
        }
        Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
        Steinberg::uint32 PLUGIN_API release() override { return 1; }

        Steinberg::int32 PLUGIN_API getParameterCount() override { return (Steinberg::int32) queues.size(); }

        Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData (Steinberg::int32 index) override
        {
            return index >= 0 && index < getParameterCount() ? &queues[(size_t) index] : nullptr;
        }

        Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData (const Steinberg::Vst::ParamID& id, Steinberg::int32& index) override
        {
            index = getParameterCount();
            queues.emplace_back (id, 0, 0.0);
            return &queues.back();
        }

    private:
        std::vector<ParamQueue> queues;
    };
   #pragma GCC diagnostic pop

    inline Steinberg::Vst::SpeakerArrangement arrangementFor (int channels)
    {
        return channels == 1 ? Steinberg::Vst::SpeakerArr::kMono : Steinberg::Vst::SpeakerArr::kStereo;
    }

    /** An instance of the module's effect, processed block by block as a host does. */
    class ProcessRig
    {
    public:
        explicit ProcessRig (Steinberg::IPluginFactory& factory) : instance (factory) {}

        ~ProcessRig() { stop(); }

        bool isValid() const { return instance.isValid(); }
        Steinberg::Vst::IAudioProcessor& processor() { return *instance.processor.get(); }
        Steinberg::Vst::IComponent& component() { return *instance.component.get(); }
        Steinberg::Vst::IEditController& controller() { return *instance.controller.get(); }

        Steinberg::tresult arrange (Steinberg::Vst::SpeakerArrangement in, Steinberg::Vst::SpeakerArrangement out)
        {
            return processor().setBusArrangements (&in, 1, &out, 1);
        }

        /** The bus arrangement for the channel count, the buses activated, then
            setupProcessing, setActive (true), setProcessing (true). */
        bool start (double rate, int maxBlock, int numChannels, Steinberg::int32 mode = Steinberg::Vst::kRealtime)
        {
            using namespace Steinberg;
            stop();
            channels = numChannels;
            if (arrange (arrangementFor (channels), arrangementFor (channels)) != kResultTrue)
                return false;

            // Hosts activate the buses they connect; the module writes only those.
            for (const auto direction : { Vst::kInput, Vst::kOutput })
                if (component().activateBus (Vst::kAudio, direction, 0, true) != kResultOk)
                    return false;

            Vst::ProcessSetup setup { mode, Vst::kSample32, maxBlock, rate };
            if (processor().setupProcessing (setup) != kResultOk)
                return false;
            if (component().setActive (true) != kResultOk)
                return false;
            active = true;
            processing = processor().setProcessing (true) == kResultOk;
            return true;
        }

        /** setProcessing (false), setActive (false). */
        void stop()
        {
            if (processing)
                processor().setProcessing (false);
            if (active)
                component().setActive (false);
            processing = active = false;
        }

        /** One process() call over the buffer (in place, as hosts often do), with the
            given changes; silence flags are passed in both directions. */
        Steinberg::tresult process (juce::AudioBuffer<float>& buffer, ParamChanges* changes = nullptr,
                                    Steinberg::uint64 inputSilence = 0)
        {
            return processCount (buffer, buffer.getNumSamples(), changes, inputSilence);
        }

        /** As process(), with a sample count of the caller's choosing (a misbehaving host's). */
        Steinberg::tresult processCount (juce::AudioBuffer<float>& buffer, Steinberg::int32 numSamples,
                                         ParamChanges* changes = nullptr, Steinberg::uint64 inputSilence = 0)
        {
            using namespace Steinberg;
            jassert (buffer.getNumChannels() >= channels);

            Vst::AudioBusBuffers in {}, out {};
            in.numChannels = out.numChannels = channels;
            in.silenceFlags = inputSilence;
            in.channelBuffers32 = out.channelBuffers32 = const_cast<float**> (buffer.getArrayOfWritePointers());

            Vst::ProcessData data {};
            data.processMode = Vst::kRealtime;
            data.symbolicSampleSize = Vst::kSample32;
            data.numSamples = numSamples;
            data.numInputs = data.numOutputs = 1;
            data.inputs = &in;
            data.outputs = &out;
            data.inputParameterChanges = changes;

            const auto result = processor().process (data);
            outputSilence = out.silenceFlags;
            return result;
        }

        /** A process() call that only delivers parameter changes: no buses, no samples. */
        Steinberg::tresult flush (ParamChanges& changes)
        {
            Steinberg::Vst::ProcessData data {};
            data.processMode = Steinberg::Vst::kRealtime;
            data.symbolicSampleSize = Steinberg::Vst::kSample32;
            data.inputParameterChanges = &changes;
            return processor().process (data);
        }

        Steinberg::uint64 outputSilence = 0;
        int channels = 2;

    private:
        Vst3Instance instance;
        bool active = false, processing = false;
    };
} // namespace testhelpers
