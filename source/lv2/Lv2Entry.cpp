// The LV2 binary's entry points. JUCE's LV2 wrapper is compiled with its descriptors renamed
// (see CMakeLists.txt); the ones exported here hand out JUCE's plug-in and editor, with each
// instance wrapped so that the plug-in works in any host that can load it:
//
//  - JUCE refuses to start without a URID map, the options feature with a maximum block
//    length and the bounded-block-length promise, and crashes when a host leaves its event
//    ports unconnected. Simple hosts (lv2apply, batch tools) give none of these. The wrapper
//    supplies what is missing: its own URID map, a block length of its choosing, empty event
//    buffers.
//  - JUCE sizes its buffers for the announced block length and reallocates on the audio
//    thread for anything longer. The wrapper hands JUCE longer blocks as consecutive pieces
//    of at most that length, with the events of the block in the first piece and what the
//    plug-in reports collected from all of them.
//  - The description JUCE writes (dsp.ttl) is adjusted to match: those features become
//    optional, the event ports may be left unconnected, and the plug-in is filed as a delay.

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

extern "C" const LV2_Descriptor* juceLv2Descriptor (uint32_t index);
extern "C" const LV2UI_Descriptor* juceLv2UiDescriptor (uint32_t index);

namespace
{
    // JUCE numbers the ports: the audio inputs, the audio outputs (the processor's default
    // stereo buses), then the event input and output, latency, free-wheeling and enabled.
    constexpr uint32_t numAudioInputs = 2;
    constexpr uint32_t numAudioPorts = 2 * numAudioInputs;
    constexpr uint32_t eventInputPort = numAudioPorts;
    constexpr uint32_t eventOutputPort = numAudioPorts + 1;

    // The block length JUCE is prepared for when the host announces none, and the longest
    // it is ever prepared for (the engine's buffers grow with it).
    constexpr uint32_t defaultBlockLength = 4096;
    constexpr uint32_t longestBlockLength = 32768;

    // Room for what the plug-in reports in one block when the host gave no event output:
    // JUCE's description asks hosts for about 9 KiB.
    constexpr size_t eventScratchBytes = 16384;

    constexpr const char* turtleRecallUri = "https://lv2-extensions.juce.com/turtle_recall";

    const LV2_Descriptor& juceDescriptor()
    {
        return *juceLv2Descriptor (0);
    }

    const void* findFeature (const LV2_Feature* const* features, const char* uri)
    {
        if (features != nullptr)
            for (auto* f = features; *f != nullptr; ++f)
                if (std::strcmp ((*f)->URI, uri) == 0)
                    return (*f)->data;

        return nullptr;
    }

    //==============================================================================
    /** A URID map for hosts that have none. Only used while JUCE sets an instance up. */
    class OwnUridMap
    {
    public:
        OwnUridMap() : feature { this, map } {}

        const LV2_URID_Map feature;

    private:
        static LV2_URID map (LV2_URID_Map_Handle handle, const char* uri)
        {
            auto& self = *static_cast<OwnUridMap*> (handle);
            const std::lock_guard<std::mutex> lock (self.mutex);

            const auto it = std::find (self.uris.begin(), self.uris.end(), uri);
            if (it != self.uris.end())
                return (LV2_URID) (it - self.uris.begin()) + 1;

            self.uris.emplace_back (uri);
            return (LV2_URID) self.uris.size();
        }

        std::mutex mutex;
        std::vector<std::string> uris;
    };

    /** The block length the host promises, if it promises one we can use. */
    uint32_t announcedBlockLength (const LV2_Feature* const* features, const LV2_URID_Map& map)
    {
        const auto* options = static_cast<const LV2_Options_Option*> (findFeature (features, LV2_OPTIONS__options));
        if (options == nullptr)
            return 0;

        const auto maxKey = map.map (map.handle, LV2_BUF_SIZE__maxBlockLength);
        const auto nominalKey = map.map (map.handle, LV2_BUF_SIZE__nominalBlockLength);
        const auto intType = map.map (map.handle, LV2_ATOM__Int);
        const auto longType = map.map (map.handle, LV2_ATOM__Long);

        int64_t maximum = 0, nominal = 0;

        for (auto* o = options; o->key != 0; ++o)
        {
            if (o->value == nullptr)
                continue;

            int64_t value = 0;
            if (o->type == intType && o->size == sizeof (int32_t))
                value = *static_cast<const int32_t*> (o->value);
            else if (o->type == longType && o->size == sizeof (int64_t))
                value = *static_cast<const int64_t*> (o->value);
            else
                continue;

            if (o->key == maxKey)
                maximum = value;
            else if (o->key == nominalKey)
                nominal = value;
        }

        const auto length = maximum > 0 ? maximum : nominal;
        return length > 0 ? (uint32_t) std::min<int64_t> (length, longestBlockLength) : 0;
    }

    //==============================================================================
    class Instance
    {
    public:
        /** Marks our handles, so the editor's look-up of the plug-in can tell them apart. */
        static constexpr uint32_t handleTag = 0x56747232;

        static Instance* create (double sampleRate, const char* bundlePath, const LV2_Feature* const* hostFeatures)
        {
            std::unique_ptr<Instance> self (new Instance());
            const auto* hostMap = static_cast<const LV2_URID_Map*> (findFeature (hostFeatures, LV2_URID__map));
            const auto& map = hostMap != nullptr ? *hostMap : self->ownMap.feature;

            // Blocks longer than this are split whatever the host promised.
            const auto announced = announcedBlockLength (hostFeatures, map);
            self->blockLength = announced > 0 ? announced : defaultBlockLength;
            self->sequenceType = map.map (map.handle, LV2_ATOM__Sequence);

            // JUCE reads the block length from the options during instantiation only.
            const int32_t blockLengthValue = (int32_t) self->blockLength;
            const LV2_Options_Option options[] {
                { LV2_OPTIONS_INSTANCE, 0, map.map (map.handle, LV2_BUF_SIZE__maxBlockLength),
                  sizeof (int32_t), map.map (map.handle, LV2_ATOM__Int), &blockLengthValue },
                { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr }
            };

            const LV2_Feature mapFeature { LV2_URID__map, const_cast<LV2_URID_Map*> (&map) };
            const LV2_Feature optionsFeature { LV2_OPTIONS__options, const_cast<LV2_Options_Option*> (options) };
            const LV2_Feature boundedFeature { LV2_BUF_SIZE__boundedBlockLength, nullptr };

            std::vector<const LV2_Feature*> features { &mapFeature, &optionsFeature, &boundedFeature };

            if (hostFeatures != nullptr)
                for (auto* f = hostFeatures; *f != nullptr; ++f)
                    if (std::strcmp ((*f)->URI, LV2_URID__map) != 0
                        && std::strcmp ((*f)->URI, LV2_OPTIONS__options) != 0
                        && std::strcmp ((*f)->URI, LV2_BUF_SIZE__boundedBlockLength) != 0)
                        features.push_back (*f);

            features.push_back (nullptr);

            self->silence.assign (self->blockLength, 0.0f);
            self->discard.assign (self->blockLength, 0.0f);
            self->emptyEvents.atom = { sizeof (LV2_Atom_Sequence_Body), self->sequenceType };
            self->emptyEvents.body = { 0, 0 };
            self->eventScratch.assign (eventScratchBytes / sizeof (uint64_t), 0);

            self->inner = juceDescriptor().instantiate (&juceDescriptor(), sampleRate, bundlePath, features.data());

            if (self->inner == nullptr)
                return nullptr;

            return self.release();
        }

        static Instance* from (LV2_Handle handle) { return static_cast<Instance*> (handle); }

        /** Our instance behind a handle, or null if the handle is not one of ours. */
        static Instance* tryFrom (const void* handle)
        {
            auto* candidate = static_cast<const Instance*> (handle);
            return candidate != nullptr && candidate->tag == handleTag ? const_cast<Instance*> (candidate) : nullptr;
        }

        ~Instance()
        {
            if (inner != nullptr)
                juceDescriptor().cleanup (inner);
        }

        LV2_Handle juceHandle() const { return inner; }

        void connect (uint32_t port, void* data)
        {
            if (port < numAudioPorts)
                audio[port] = static_cast<float*> (data);
            else if (port == eventInputPort)
                hostEventsIn = static_cast<const LV2_Atom_Sequence*> (data);
            else if (port == eventOutputPort)
                hostEventsOut = static_cast<LV2_Atom_Sequence*> (data);
            else
                juceDescriptor().connect_port (inner, port, data);
        }

        void run (uint32_t numSamples)
        {
            const auto& juce = juceDescriptor();
            const bool inPieces = numSamples > blockLength;

            // Pieces report into the scratch buffer and are collected into the host's.
            const auto outCapacity = hostEventsOut != nullptr ? hostEventsOut->atom.size : 0;
            if (inPieces && hostEventsOut != nullptr)
            {
                hostEventsOut->atom.type = sequenceType;
                lv2_atom_sequence_clear (hostEventsOut);
                hostEventsOut->body = { 0, 0 };
            }

            uint32_t done = 0;

            do
            {
                const auto piece = std::min (blockLength, numSamples - done);

                for (uint32_t port = 0; port < numAudioPorts; ++port)
                {
                    const bool isInput = port < numAudioInputs;
                    auto* buffer = audio[port] != nullptr ? audio[port] + done
                                                          : (isInput ? silence.data() : discard.data());
                    juce.connect_port (inner, port, buffer);
                }

                juce.connect_port (inner, eventInputPort,
                                   const_cast<LV2_Atom_Sequence*> (done == 0 && hostEventsIn != nullptr ? hostEventsIn : &emptyEvents));

                auto* scratch = reinterpret_cast<LV2_Atom_Sequence*> (eventScratch.data());
                const bool direct = ! inPieces && hostEventsOut != nullptr;

                if (! direct)
                {
                    scratch->atom = { (uint32_t) (eventScratchBytes - sizeof (LV2_Atom)), 0 };
                    scratch->body = { 0, 0 };
                }

                juce.connect_port (inner, eventOutputPort, direct ? hostEventsOut : scratch);
                juce.run (inner, piece);

                if (inPieces && hostEventsOut != nullptr && scratch->atom.type == sequenceType)
                {
                    LV2_ATOM_SEQUENCE_FOREACH (scratch, event)
                    {
                        event->time.frames += done;
                        lv2_atom_sequence_append_event (hostEventsOut, outCapacity, event);
                    }
                }

                done += piece;
            } while (done < numSamples);
        }

    private:
        Instance() = default;

        const uint32_t tag = handleTag;
        OwnUridMap ownMap;
        LV2_Handle inner = nullptr;
        uint32_t blockLength = defaultBlockLength;
        LV2_URID sequenceType = 0;

        std::array<float*, numAudioPorts> audio {};
        const LV2_Atom_Sequence* hostEventsIn = nullptr;
        LV2_Atom_Sequence* hostEventsOut = nullptr;

        std::vector<float> silence, discard;
        LV2_Atom_Sequence emptyEvents {};
        std::vector<uint64_t> eventScratch; // 64-bit words: atoms are 8-byte aligned
    };

    //==============================================================================
    /** JUCE's state interface, reached through our handles. */
    const LV2_State_Interface* juceState()
    {
        return static_cast<const LV2_State_Interface*> (juceDescriptor().extension_data (LV2_STATE__interface));
    }

    const LV2_State_Interface stateInterface {
        [] (LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t flags, const LV2_Feature* const* features)
        {
            const auto* juce = juceState();
            return juce != nullptr ? juce->save (Instance::from (handle)->juceHandle(), store, state, flags, features)
                                   : LV2_STATE_ERR_UNKNOWN;
        },
        [] (LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t flags, const LV2_Feature* const* features)
        {
            const auto* juce = juceState();
            return juce != nullptr ? juce->restore (Instance::from (handle)->juceHandle(), retrieve, state, flags, features)
                                   : LV2_STATE_ERR_UNKNOWN;
        }
    };

    //==============================================================================
    /** The plug-in's description as JUCE writes it, adjusted to what the wrapper offers. */
    struct Edit
    {
        const char* what;
        std::string from, to;
    };

    bool adjustDescription (const std::string& folder)
    {
        const auto path = folder + "/dsp.ttl";
        std::string text;

        {
            std::ifstream in (path, std::ios::binary);
            if (! in)
            {
                std::fprintf (stderr, "Vantorel: cannot read %s\n", path.c_str());
                return false;
            }

            std::ostringstream content;
            content << in.rdbuf();
            text = content.str();
        }

        const std::string requiredFeatures = "\t\turid:map ,\n\t\topts:options ,\n\t\tbufs:boundedBlockLength ;\n";
        const Edit edits[] {
            { "plug-in class", "\ta lv2:Plugin ;\n", "\ta lv2:Plugin , lv2:DelayPlugin ;\n" },
            { "required features", "\tlv2:requiredFeature\n" + requiredFeatures, "\tlv2:optionalFeature\n" + requiredFeatures },
            { "event input port", "\t\tlv2:symbol \"in\" ;\n\t\tlv2:name \"In\" ;\n",
              "\t\tlv2:symbol \"in\" ;\n\t\tlv2:name \"In\" ;\n\t\tlv2:portProperty lv2:connectionOptional ;\n" },
            { "event output port", "\t\tlv2:symbol \"out\" ;\n\t\tlv2:name \"Out\" ;\n",
              "\t\tlv2:symbol \"out\" ;\n\t\tlv2:name \"Out\" ;\n\t\tlv2:portProperty lv2:connectionOptional ;\n" },
        };

        for (const auto& edit : edits)
        {
            const auto at = text.find (edit.from);

            // JUCE's text must be exactly as expected: a changed JUCE fails the build here
            // instead of shipping a description that promises what the wrapper does not do.
            if (at == std::string::npos || text.find (edit.from, at + 1) != std::string::npos)
            {
                std::fprintf (stderr, "Vantorel: the %s in JUCE's %s is not as expected\n", edit.what, path.c_str());
                return false;
            }

            text.replace (at, edit.from.size(), edit.to);
        }

        std::ofstream out (path, std::ios::binary | std::ios::trunc);
        out << text;
        return (bool) out;
    }

    /** JUCE's build-time hook that writes the description files beside the binary. */
    struct RecallFeature
    {
        int (*doRecall) (const char* libraryPath);
    };

    const RecallFeature recallFeature {
        [] (const char* libraryPath) -> int
        {
            const auto* juce = static_cast<const RecallFeature*> (juceDescriptor().extension_data (turtleRecallUri));

            if (juce == nullptr || juce->doRecall (libraryPath) != 0)
                return 1;

            std::string folder (libraryPath);
            const auto slash = folder.find_last_of ('/');
            folder = slash == std::string::npos ? std::string (".") : folder.substr (0, slash);

            return adjustDescription (folder) ? 0 : 1;
        }
    };

    //==============================================================================
    LV2UI_Handle instantiateUi (const LV2UI_Descriptor*, const char* pluginUri, const char* bundlePath,
                                LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                                const LV2_Feature* const* features)
    {
        // The host hands the editor our handle for the plug-in; JUCE's editor wants its own.
        std::vector<LV2_Feature> copies;
        std::vector<const LV2_Feature*> list;

        if (features != nullptr)
        {
            for (auto* f = features; *f != nullptr; ++f)
                copies.push_back (**f);

            for (auto& f : copies)
            {
                if (std::strcmp (f.URI, LV2_INSTANCE_ACCESS_URI) == 0)
                    if (auto* instance = Instance::tryFrom (f.data))
                        f.data = instance->juceHandle();

                list.push_back (&f);
            }
        }

        list.push_back (nullptr);

        const auto* juce = juceLv2UiDescriptor (0);
        return juce->instantiate (juce, pluginUri, bundlePath, write, controller, widget, list.data());
    }
} // namespace

//==============================================================================
LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    if (index != 0 || juceLv2Descriptor (0) == nullptr)
        return nullptr;

    static const LV2_Descriptor descriptor {
        juceDescriptor().URI,
        [] (const LV2_Descriptor*, double sampleRate, const char* bundlePath, const LV2_Feature* const* features) -> LV2_Handle
        {
            return Instance::create (sampleRate, bundlePath, features);
        },
        [] (LV2_Handle handle, uint32_t port, void* data) { Instance::from (handle)->connect (port, data); },
        [] (LV2_Handle handle)
        {
            if (juceDescriptor().activate != nullptr)
                juceDescriptor().activate (Instance::from (handle)->juceHandle());
        },
        [] (LV2_Handle handle, uint32_t numSamples) { Instance::from (handle)->run (numSamples); },
        [] (LV2_Handle handle)
        {
            if (juceDescriptor().deactivate != nullptr)
                juceDescriptor().deactivate (Instance::from (handle)->juceHandle());
        },
        [] (LV2_Handle handle) { delete Instance::from (handle); },
        [] (const char* uri) -> const void*
        {
            if (std::strcmp (uri, LV2_STATE__interface) == 0)
                return juceState() != nullptr ? &stateInterface : nullptr;

            if (std::strcmp (uri, turtleRecallUri) == 0)
                return &recallFeature;

            return nullptr;
        }
    };

    return &descriptor;
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    const auto* juce = index == 0 ? juceLv2UiDescriptor (0) : nullptr;
    if (juce == nullptr)
        return nullptr;

    static const LV2UI_Descriptor descriptor = [juce]
    {
        auto d = *juce;
        d.instantiate = instantiateUi;
        return d;
    }();

    return &descriptor;
}
