// An audio component of JUCE's, wrapped so that no process() call reaches JUCE with more
// samples than the host announced.
//
// JUCE 7.0.5's VST3 wrapper copies each block into scratch buffers sized exactly to
// ProcessSetup::maxSamplesPerBlock; a host that sends a longer block (VST3 forbids it, some
// do it anyway) would make it write past them. The wrapper below hands such a block to
// JUCE as consecutive pieces of at most the announced length, which is exactly what JUCE
// would have done with them had the host sent them itself.
//
// Everything else is forwarded unchanged. The wrapper answers for every standard interface
// JUCE's component has, so whatever a host queries from it leads back to the wrapper and
// never around it; only JUCE's private interfaces (its controller finds the processor
// through the connection point) are answered by the component inside.

#include "Vst3Ref.h"

#include <algorithm>
#include <atomic>
#include <vector>

// Events keep their sample offsets only when they travel with the piece that holds them;
// this plug-in has no event buses, so they simply go with the first piece.
static_assert (! JucePlugin_WantsMidiInput && ! JucePlugin_ProducesMidiOutput,
               "event lists would need splitting along with the audio");

namespace vantorel::vst3
{
using namespace Steinberg;

namespace
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor" // SDK objects are released, never deleted through a base

    //==============================================================================
    class BlockSplittingComponent final : public Vst::IComponent,
                                          public Vst::IAudioProcessor,
                                          public Vst::IUnitInfo,
                                          public Vst::IConnectionPoint,
                                          public Vst::IProcessContextRequirements
    {
    public:
        /** Takes over the caller's reference to `componentToWrap`. */
        explicit BlockSplittingComponent (Vst::IComponent* componentToWrap)
            : component (componentToWrap),
              processor (Ref<Vst::IAudioProcessor>::query (componentToWrap, Vst::IAudioProcessor_iid)),
              units (Ref<Vst::IUnitInfo>::query (componentToWrap, Vst::IUnitInfo_iid)),
              connection (Ref<Vst::IConnectionPoint>::query (componentToWrap, Vst::IConnectionPoint_iid)),
              contextRequirements (Ref<Vst::IProcessContextRequirements>::query (componentToWrap, Vst::IProcessContextRequirements_iid))
        {
        }

        virtual ~BlockSplittingComponent() = default;

        //==============================================================================
        tresult PLUGIN_API queryInterface (const TUID wanted, void** obj) override
        {
            if (obj == nullptr)
                return kInvalidArgument;

            *obj = nullptr;
            if (sameIid (wanted, FUnknown_iid) || sameIid (wanted, IPluginBase_iid) || sameIid (wanted, Vst::IComponent_iid))
                *obj = static_cast<Vst::IComponent*> (this);
            else if (sameIid (wanted, Vst::IAudioProcessor_iid) && processor)
                *obj = static_cast<Vst::IAudioProcessor*> (this);
            else if (sameIid (wanted, Vst::IUnitInfo_iid) && units)
                *obj = static_cast<Vst::IUnitInfo*> (this);
            else if (sameIid (wanted, Vst::IConnectionPoint_iid) && connection)
                *obj = static_cast<Vst::IConnectionPoint*> (this);
            else if (sameIid (wanted, Vst::IProcessContextRequirements_iid) && contextRequirements)
                *obj = static_cast<Vst::IProcessContextRequirements*> (this);
            else
                return component->queryInterface (wanted, obj);

            addRef();
            return kResultOk;
        }

        uint32 PLUGIN_API addRef() override { return ++refCount; }

        uint32 PLUGIN_API release() override
        {
            const auto remaining = --refCount;
            if (remaining == 0)
                delete this;
            return remaining;
        }

        //==============================================================================
        tresult PLUGIN_API initialize (FUnknown* context) override { return component->initialize (context); }
        tresult PLUGIN_API terminate() override { return component->terminate(); }

        tresult PLUGIN_API getControllerClassId (TUID classId) override { return component->getControllerClassId (classId); }
        tresult PLUGIN_API setIoMode (Vst::IoMode mode) override { return component->setIoMode (mode); }
        int32 PLUGIN_API getBusCount (Vst::MediaType type, Vst::BusDirection dir) override { return component->getBusCount (type, dir); }
        tresult PLUGIN_API getBusInfo (Vst::MediaType type, Vst::BusDirection dir, int32 index, Vst::BusInfo& bus) override
        {
            return component->getBusInfo (type, dir, index, bus);
        }
        tresult PLUGIN_API getRoutingInfo (Vst::RoutingInfo& in, Vst::RoutingInfo& out) override { return component->getRoutingInfo (in, out); }
        tresult PLUGIN_API activateBus (Vst::MediaType type, Vst::BusDirection dir, int32 index, TBool state) override
        {
            return component->activateBus (type, dir, index, state);
        }
        tresult PLUGIN_API setState (IBStream* state) override { return component->setState (state); }
        tresult PLUGIN_API getState (IBStream* state) override { return component->getState (state); }

        tresult PLUGIN_API setActive (TBool state) override
        {
            // The piece buffers are sized for the buses now, off the audio thread.
            if (state)
                reserveForBuses();
            return component->setActive (state);
        }

        //==============================================================================
        tresult PLUGIN_API setBusArrangements (Vst::SpeakerArrangement* inputs, int32 numIns,
                                               Vst::SpeakerArrangement* outputs, int32 numOuts) override
        {
            return processor->setBusArrangements (inputs, numIns, outputs, numOuts);
        }
        tresult PLUGIN_API getBusArrangement (Vst::BusDirection dir, int32 index, Vst::SpeakerArrangement& arr) override
        {
            return processor->getBusArrangement (dir, index, arr);
        }
        tresult PLUGIN_API canProcessSampleSize (int32 size) override { return processor->canProcessSampleSize (size); }
        uint32 PLUGIN_API getLatencySamples() override { return processor->getLatencySamples(); }
        tresult PLUGIN_API setProcessing (TBool state) override { return processor->setProcessing (state); }
        uint32 PLUGIN_API getTailSamples() override { return processor->getTailSamples(); }

        tresult PLUGIN_API setupProcessing (Vst::ProcessSetup& setup) override
        {
            const auto result = processor->setupProcessing (setup);

            // JUCE sizes its buffers to the setup it accepted, and keeps the old ones otherwise.
            if (result == kResultTrue)
                announcedMaximum.store (setup.maxSamplesPerBlock);
            return result;
        }

        tresult PLUGIN_API process (Vst::ProcessData& data) override
        {
            // A negative count is no block at all; JUCE would copy it as an enormous one.
            if (data.numSamples < 0)
                return kInvalidArgument;

            const auto limit = announcedMaximum.load();
            if (data.numSamples <= limit)
                return processor->process (data);

            // Even without buses JUCE would clear that many samples of its own buffers.
            if (limit <= 0)
                return kResultFalse;

            return processInPieces (data, limit);
        }

        //==============================================================================
        int32 PLUGIN_API getUnitCount() override { return units->getUnitCount(); }
        tresult PLUGIN_API getUnitInfo (int32 index, Vst::UnitInfo& info) override { return units->getUnitInfo (index, info); }
        int32 PLUGIN_API getProgramListCount() override { return units->getProgramListCount(); }
        tresult PLUGIN_API getProgramListInfo (int32 index, Vst::ProgramListInfo& info) override { return units->getProgramListInfo (index, info); }
        tresult PLUGIN_API getProgramName (Vst::ProgramListID list, int32 program, Vst::String128 name) override
        {
            return units->getProgramName (list, program, name);
        }
        tresult PLUGIN_API getProgramInfo (Vst::ProgramListID list, int32 program, Vst::CString attribute, Vst::String128 value) override
        {
            return units->getProgramInfo (list, program, attribute, value);
        }
        tresult PLUGIN_API hasProgramPitchNames (Vst::ProgramListID list, int32 program) override
        {
            return units->hasProgramPitchNames (list, program);
        }
        tresult PLUGIN_API getProgramPitchName (Vst::ProgramListID list, int32 program, int16 pitch, Vst::String128 name) override
        {
            return units->getProgramPitchName (list, program, pitch, name);
        }
        Vst::UnitID PLUGIN_API getSelectedUnit() override { return units->getSelectedUnit(); }
        tresult PLUGIN_API selectUnit (Vst::UnitID unit) override { return units->selectUnit (unit); }
        tresult PLUGIN_API getUnitByBus (Vst::MediaType type, Vst::BusDirection dir, int32 bus, int32 channel, Vst::UnitID& unit) override
        {
            return units->getUnitByBus (type, dir, bus, channel, unit);
        }
        tresult PLUGIN_API setUnitProgramData (int32 listOrUnit, int32 program, IBStream* data) override
        {
            return units->setUnitProgramData (listOrUnit, program, data);
        }

        //==============================================================================
        tresult PLUGIN_API connect (Vst::IConnectionPoint* other) override { return connection->connect (other); }
        tresult PLUGIN_API disconnect (Vst::IConnectionPoint* other) override { return connection->disconnect (other); }
        tresult PLUGIN_API notify (Vst::IMessage* message) override { return connection->notify (message); }

        uint32 PLUGIN_API getProcessContextRequirements() override { return contextRequirements->getProcessContextRequirements(); }

    private:
        /** The host's buses with every channel pointer moved on by `offset` samples. */
        Vst::AudioBusBuffers* offsetBuses (const Vst::AudioBusBuffers* buses, int32 count, int32 offset, bool doubles,
                                           size_t& nextBus, size_t& nextChannel)
        {
            if (buses == nullptr)
                return nullptr;

            auto* first = pieceBuses.data() + nextBus;
            for (int32 b = 0; b < count; ++b)
            {
                auto& bus = pieceBuses[nextBus++];
                bus = buses[b];
                if (buses[b].channelBuffers32 == nullptr)
                    continue;

                void** channels = pieceChannels.data() + nextChannel;
                for (int32 c = 0; c < buses[b].numChannels; ++c)
                {
                    void* const start = doubles ? static_cast<void*> (buses[b].channelBuffers64[c])
                                                : static_cast<void*> (buses[b].channelBuffers32[c]);
                    channels[c] = start == nullptr ? nullptr
                                : doubles          ? static_cast<void*> (static_cast<Vst::Sample64*> (start) + offset)
                                                   : static_cast<void*> (static_cast<Vst::Sample32*> (start) + offset);
                }
                nextChannel += (size_t) std::max (0, buses[b].numChannels);
                bus.channelBuffers32 = reinterpret_cast<Vst::Sample32**> (channels);
            }
            return first;
        }

        static size_t channelCount (const Vst::AudioBusBuffers* buses, int32 count)
        {
            size_t total = 0;
            for (int32 b = 0; buses != nullptr && b < count; ++b)
                total += (size_t) std::max (0, buses[b].numChannels);
            return total;
        }

        tresult processInPieces (Vst::ProcessData& data, int32 limit)
        {
            const auto numInputs = data.inputs != nullptr ? std::max (0, data.numInputs) : 0;
            const auto numOutputs = data.outputs != nullptr ? std::max (0, data.numOutputs) : 0;
            // Only a host that sends more buses than were arranged gets here with too little room.
            reserve ((size_t) (numInputs + numOutputs), channelCount (data.inputs, numInputs) + channelCount (data.outputs, numOutputs));

            const bool doubles = data.symbolicSampleSize == Vst::kSample64;
            Vst::ProcessContext context {};
            if (data.processContext != nullptr)
                context = *data.processContext;

            // An output is silent only if it was in every piece.
            for (int32 b = 0; b < numOutputs; ++b)
                outputSilence[(size_t) b] = ~uint64 {};

            Vst::ProcessData part = data;
            for (int32 done = 0; done < data.numSamples; done += part.numSamples)
            {
                part.numSamples = std::min (limit, data.numSamples - done);
                const bool last = done + part.numSamples == data.numSamples;

                size_t nextBus = 0, nextChannel = 0;
                part.inputs = offsetBuses (data.inputs, numInputs, done, doubles, nextBus, nextChannel);
                part.outputs = offsetBuses (data.outputs, numOutputs, done, doubles, nextBus, nextChannel);

                // JUCE applies the last point of each queue before it processes a block, so
                // the changes belong to the first piece; the parameters it reports back
                // pile up until the last piece collects them.
                part.inputParameterChanges = done == 0 ? data.inputParameterChanges : nullptr;
                part.outputParameterChanges = last ? data.outputParameterChanges : nullptr;
                part.inputEvents = done == 0 ? data.inputEvents : nullptr;
                part.outputEvents = last ? data.outputEvents : nullptr;

                if (data.processContext != nullptr)
                {
                    part.processContext = &context;
                    advance (context, *data.processContext, done);
                }

                const auto result = processor->process (part);
                if (result != kResultOk)
                    return result;

                for (int32 b = 0; b < numOutputs; ++b)
                    outputSilence[(size_t) b] &= part.outputs[b].silenceFlags;
            }

            for (int32 b = 0; b < numOutputs; ++b)
                data.outputs[b].silenceFlags = outputSilence[(size_t) b];
            return kResultTrue;
        }

        /** The host's context for the block, moved on to the piece that starts `offset` samples in. */
        static void advance (Vst::ProcessContext& context, const Vst::ProcessContext& block, int32 offset)
        {
            using Flags = Vst::ProcessContext;
            context.projectTimeSamples = block.projectTimeSamples + offset;
            if ((block.state & Flags::kContTimeValid) != 0)
                context.continousTimeSamples = block.continousTimeSamples + offset;

            if (block.sampleRate <= 0.0)
                return;
            const double seconds = offset / block.sampleRate;
            if ((block.state & Flags::kSystemTimeValid) != 0)
                context.systemTime = block.systemTime + (int64) (seconds * 1.0e9);
            if ((block.state & Flags::kProjectTimeMusicValid) != 0 && (block.state & Flags::kTempoValid) != 0)
                context.projectTimeMusic = block.projectTimeMusic + seconds * block.tempo / 60.0;
        }

        void reserveForBuses()
        {
            size_t buses = 0, channels = 0;
            for (const auto dir : { Vst::kInput, Vst::kOutput })
            {
                const auto count = component->getBusCount (Vst::kAudio, dir);
                for (int32 b = 0; b < count; ++b)
                {
                    Vst::BusInfo info {};
                    if (component->getBusInfo (Vst::kAudio, dir, b, info) == kResultOk)
                        channels += (size_t) std::max (0, info.channelCount);
                }
                buses += (size_t) std::max (0, count);
            }
            reserve (buses, channels);
        }

        void reserve (size_t buses, size_t channels)
        {
            if (pieceBuses.size() < buses)
            {
                pieceBuses.resize (buses);
                outputSilence.resize (buses);
            }
            if (pieceChannels.size() < channels)
                pieceChannels.resize (channels);
        }

        std::atomic<uint32> refCount { 1 };
        Ref<Vst::IComponent> component;
        Ref<Vst::IAudioProcessor> processor;
        Ref<Vst::IUnitInfo> units;
        Ref<Vst::IConnectionPoint> connection;
        Ref<Vst::IProcessContextRequirements> contextRequirements;

        // The most samples JUCE's buffers hold: its own default of 1024 until it accepts a setup.
        std::atomic<int32> announcedMaximum { 1024 };

        std::vector<Vst::AudioBusBuffers> pieceBuses;
        std::vector<void*> pieceChannels;
        std::vector<uint64> outputSilence;
    };
#pragma GCC diagnostic pop
} // namespace

Vst::IComponent* wrapComponent (Vst::IComponent* juceComponent)
{
    return new BlockSplittingComponent (juceComponent);
}
} // namespace vantorel::vst3
