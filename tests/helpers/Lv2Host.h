#pragma once

// Loads the built LV2 bundle the way an LV2 host does, through lilv: the world reads the
// bundle's description, the plug-in is instantiated with the features a host offers (or
// none, as the simplest hosts do), its ports are connected by symbol, parameters are set
// with patch:Set messages on its event input, what it reports comes back on its event
// output, and its state is saved and restored through lilv's state API as a session does.

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace testhelpers
{
    inline constexpr const char* lv2PluginUri = "https://korvane.example/plugins/vantorel";

    /** The URI of one of the plug-in's parameters (JUCE: the plug-in's URI, ':', the ID). */
    inline std::string lv2ParameterUri (const std::string& id) { return std::string (lv2PluginUri) + ":" + id; }

    /** A host's URID map and unmap. */
    class UridMap
    {
    public:
        UridMap() : map { this, mapUri }, unmap { this, unmapUrid } {}

        LV2_URID operator() (const char* uri) { return mapUri (this, uri); }
        std::string uriOf (LV2_URID urid) { return unmapUrid (this, urid); }

        LV2_URID_Map map;
        LV2_URID_Unmap unmap;

    private:
        static LV2_URID mapUri (LV2_URID_Map_Handle handle, const char* uri)
        {
            auto& self = *static_cast<UridMap*> (handle);
            const std::lock_guard<std::mutex> lock (self.mutex);
            for (size_t i = 0; i < self.uris.size(); ++i)
                if (self.uris[i] == uri)
                    return (LV2_URID) i + 1;
            self.uris.emplace_back (uri);
            return (LV2_URID) self.uris.size();
        }

        static const char* unmapUrid (LV2_URID_Unmap_Handle handle, LV2_URID urid)
        {
            auto& self = *static_cast<UridMap*> (handle);
            const std::lock_guard<std::mutex> lock (self.mutex);
            return urid >= 1 && urid <= self.uris.size() ? self.uris[urid - 1].c_str() : nullptr;
        }

        std::mutex mutex;
        std::vector<std::string> uris;
    };

    /** A lilv world that knows the built bundle (and the LV2 core vocabulary). */
    class Lv2World
    {
    public:
        explicit Lv2World (const std::string& bundleFolder) : world (lilv_world_new())
        {
            for (const auto& folder : { std::string ("/usr/lib/lv2/core.lv2"), bundleFolder })
            {
                const auto path = folder.back() == '/' ? folder : folder + "/";
                LilvNode* uri = lilv_new_file_uri (world, nullptr, path.c_str());
                lilv_world_load_bundle (world, uri);
                lilv_node_free (uri);
            }

            LilvNode* uri = lilv_new_uri (world, lv2PluginUri);
            plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);

            // lilv reads a plug-in's description (dsp.ttl) when first asked about it.
            if (plugin != nullptr)
                lilv_world_load_resource (world, uri);

            lilv_node_free (uri);
        }

        ~Lv2World() { lilv_world_free (world); }

        Lv2World (const Lv2World&) = delete;
        Lv2World& operator= (const Lv2World&) = delete;

        /** Owns a node made by lilv. */
        struct Node
        {
            explicit Node (LilvNode* n) : node (n) {}
            ~Node() { lilv_node_free (node); }
            Node (const Node&) = delete;
            Node& operator= (const Node&) = delete;
            operator const LilvNode*() const { return node; }
            LilvNode* node;
        };

        Node uri (const std::string& text) const { return Node (lilv_new_uri (world, text.c_str())); }

        /** The one value of a subject's property, as text (empty if none). */
        std::string get (const std::string& subject, const std::string& property) const
        {
            const auto s = uri (subject), p = uri (property);
            const Node value (lilv_world_get (world, s, p, nullptr));
            return value.node != nullptr ? lilv_node_as_string (value.node) : std::string();
        }

        bool has (const std::string& subject, const std::string& property, const std::string& object) const
        {
            const auto s = uri (subject), p = uri (property), o = uri (object);
            return lilv_world_ask (world, s, p, o);
        }

        std::vector<std::string> objects (const std::string& subject, const std::string& property) const
        {
            const auto s = uri (subject), p = uri (property);
            std::vector<std::string> found;
            LilvNodes* nodes = lilv_world_find_nodes (world, s, p, nullptr);
            LILV_FOREACH (nodes, i, nodes)
                found.emplace_back (lilv_node_as_string (lilv_nodes_get (nodes, i)));
            lilv_nodes_free (nodes);
            return found;
        }

        LilvWorld* world;
        const LilvPlugin* plugin = nullptr;
    };

    /** The features a full host offers; none for the simplest hosts (lv2apply gives none). */
    enum class HostFeatures
    {
        full,
        none
    };

    /** One instance of the plug-in, run block by block. Stereo buffers are the host's; a
        "mono" host feeds the left input and leaves the right one silent. */
    class Lv2Instance
    {
    public:
        Lv2Instance (Lv2World& w, double rate, uint32_t maxBlockToAnnounce, HostFeatures features = HostFeatures::full,
                     bool connectEventPorts = true)
            : world (w), sampleRate (rate), maxBlock ((int32_t) maxBlockToAnnounce)
        {
            const auto intType = urids (LV2_ATOM__Int);
            options = {
                { LV2_OPTIONS_INSTANCE, 0, urids (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), intType, &maxBlock },
                { LV2_OPTIONS_INSTANCE, 0, urids (LV2_BUF_SIZE__minBlockLength), sizeof (int32_t), intType, &minBlock },
                { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr }
            };

            mapFeature = { LV2_URID__map, &urids.map };
            unmapFeature = { LV2_URID__unmap, &urids.unmap };
            optionsFeature = { LV2_OPTIONS__options, options.data() };
            boundedFeature = { LV2_BUF_SIZE__boundedBlockLength, nullptr };

            if (features == HostFeatures::full)
                featureList = { &mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, nullptr };
            else
                featureList = { nullptr };

            instance = lilv_plugin_instantiate (world.plugin, rate, featureList.data());
            if (instance == nullptr)
                return;

            for (const auto* symbol : { "audio_in_1", "audio_in_2", "audio_out_1", "audio_out_2" })
                audioPorts.push_back (portIndex (symbol));

            eventsIn.assign (eventCapacity / sizeof (uint64_t), 0);
            eventsOut.assign (eventCapacity / sizeof (uint64_t), 0);
            lv2_atom_forge_init (&forge, &urids.map);

            if (connectEventPorts)
            {
                lilv_instance_connect_port (instance, portIndex ("in"), eventsIn.data());
                lilv_instance_connect_port (instance, portIndex ("out"), eventsOut.data());
            }

            lilv_instance_connect_port (instance, portIndex ("latency"), &latency);
            lilv_instance_connect_port (instance, portIndex ("freeWheeling"), &freeWheeling);
            lilv_instance_connect_port (instance, portIndex ("enabled"), &enabled);
            lilv_instance_activate (instance);
        }

        ~Lv2Instance()
        {
            if (instance != nullptr)
            {
                lilv_instance_deactivate (instance);
                lilv_instance_free (instance);
            }
        }

        bool isValid() const { return instance != nullptr; }

        uint32_t portIndex (const char* symbol) const
        {
            const auto s = Lv2World::Node (lilv_new_string (world.world, symbol));
            const auto* port = lilv_plugin_get_port_by_symbol (world.plugin, s);
            if (port == nullptr)
                throw std::runtime_error (std::string ("no port ") + symbol);
            return lilv_port_get_index (world.plugin, port);
        }

        /** Sets a parameter (in its real units) with the next block, as a host's automation does. */
        void setParameter (const std::string& id, float value) { pending.emplace_back (id, value); }

        /** Processes a block in place: the two channels are the plug-in's inputs and get its outputs. */
        void process (float* left, float* right, uint32_t numSamples)
        {
            inputs[0].assign (left, left + numSamples);
            inputs[1].assign (right, right + numSamples);

            lilv_instance_connect_port (instance, audioPorts[0], inputs[0].data());
            lilv_instance_connect_port (instance, audioPorts[1], inputs[1].data());
            lilv_instance_connect_port (instance, audioPorts[2], left);
            lilv_instance_connect_port (instance, audioPorts[3], right);

            writePendingEvents();
            auto* out = reinterpret_cast<LV2_Atom_Sequence*> (eventsOut.data());
            out->atom = { (uint32_t) (eventCapacity - sizeof (LV2_Atom)), 0 };

            lilv_instance_run (instance, numSamples);
            readReports();
        }

        /** The values the plug-in reported on its event output (patch:Set), by parameter ID. */
        std::map<std::string, float> reported;

        float latency = 0.0f, freeWheeling = 0.0f, enabled = 1.0f;

        /** The instance's state as a session file stores it (Turtle). */
        std::string saveState()
        {
            const LV2_Feature* stateFeatures[] = { &mapFeature, &unmapFeature, nullptr };
            LilvState* state = lilv_state_new_from_instance (world.plugin, instance, &urids.map, nullptr, nullptr, nullptr,
                                                             nullptr, noPortValue, nullptr,
                                                             LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, stateFeatures);
            if (state == nullptr)
                return {};

            char* text = lilv_state_to_string (world.world, &urids.map, &urids.unmap, state, "urn:vantorel:test-state", nullptr);
            std::string result = text != nullptr ? text : "";
            lilv_free (text);
            lilv_state_free (state);
            return result;
        }

        /** Saves the instance's state as a user preset bundle (manifest.ttl, preset.ttl in
            folder), as LV2 hosts save presets; hosts list it under its label. */
        bool savePreset (const std::string& folder, const std::string& label)
        {
            const LV2_Feature* stateFeatures[] = { &mapFeature, &unmapFeature, nullptr };
            LilvState* state = lilv_state_new_from_instance (world.plugin, instance, &urids.map, nullptr, nullptr, nullptr,
                                                             nullptr, noPortValue, nullptr,
                                                             LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, stateFeatures);
            if (state == nullptr)
                return false;

            lilv_state_set_label (state, label.c_str());
            auto presetUri = "urn:vantorel:preset:" + label;
            std::replace (presetUri.begin(), presetUri.end(), ' ', '-');
            const int failed = lilv_state_save (world.world, &urids.map, &urids.unmap, state, presetUri.c_str(),
                                                folder.c_str(), "preset.ttl");
            lilv_state_free (state);
            return failed == 0;
        }

        bool restoreState (const std::string& text)
        {
            LilvState* state = lilv_state_new_from_string (world.world, &urids.map, text.c_str());
            if (state == nullptr)
                return false;

            const LV2_Feature* stateFeatures[] = { &mapFeature, &unmapFeature, nullptr };
            lilv_state_restore (state, instance, ignorePortValue, nullptr, 0, stateFeatures);
            lilv_state_free (state);
            return true;
        }

        LilvInstance* instance = nullptr;

    private:
        static const void* noPortValue (const char*, void*, uint32_t*, uint32_t*) { return nullptr; }
        static void ignorePortValue (const char*, void*, const void*, uint32_t, uint32_t) {}

        void writePendingEvents()
        {
            lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (eventsIn.data()), eventCapacity);
            LV2_Atom_Forge_Frame sequence;
            lv2_atom_forge_sequence_head (&forge, &sequence, 0);

            for (const auto& [id, value] : pending)
            {
                lv2_atom_forge_frame_time (&forge, 0);
                LV2_Atom_Forge_Frame object;
                lv2_atom_forge_object (&forge, &object, 0, urids (LV2_PATCH__Set));
                lv2_atom_forge_key (&forge, urids (LV2_PATCH__property));
                lv2_atom_forge_urid (&forge, urids (lv2ParameterUri (id).c_str()));
                lv2_atom_forge_key (&forge, urids (LV2_PATCH__value));
                lv2_atom_forge_float (&forge, value);
                lv2_atom_forge_pop (&forge, &object);
            }

            lv2_atom_forge_pop (&forge, &sequence);
            pending.clear();
        }

        void readReports()
        {
            const auto* out = reinterpret_cast<const LV2_Atom_Sequence*> (eventsOut.data());
            if (out->atom.type != urids (LV2_ATOM__Sequence))
                return;

            const auto prefix = lv2ParameterUri ("");

            LV2_ATOM_SEQUENCE_FOREACH (out, event)
            {
                if (event->body.type != urids (LV2_ATOM__Object))
                    continue;

                const auto* object = reinterpret_cast<const LV2_Atom_Object*> (&event->body);
                if (object->body.otype != urids (LV2_PATCH__Set))
                    continue;

                const LV2_Atom* property = nullptr;
                const LV2_Atom* value = nullptr;
                lv2_atom_object_get (object, urids (LV2_PATCH__property), &property, urids (LV2_PATCH__value), &value, 0);

                if (property == nullptr || value == nullptr || property->type != urids (LV2_ATOM__URID)
                    || value->type != urids (LV2_ATOM__Float))
                    continue;

                const auto uri = urids.uriOf (reinterpret_cast<const LV2_Atom_URID*> (property)->body);
                if (uri.rfind (prefix, 0) == 0)
                    reported[uri.substr (prefix.size())] = reinterpret_cast<const LV2_Atom_Float*> (value)->body;
            }
        }

        static constexpr size_t eventCapacity = 16384;

        Lv2World& world;
        double sampleRate;
        UridMap urids;
        int32_t maxBlock, minBlock = 0;
        std::vector<LV2_Options_Option> options;
        LV2_Feature mapFeature {}, unmapFeature {}, optionsFeature {}, boundedFeature {};
        std::vector<const LV2_Feature*> featureList;

        LV2_Atom_Forge forge {};
        std::vector<uint64_t> eventsIn, eventsOut;
        std::vector<uint32_t> audioPorts;
        std::vector<float> inputs[2];
        std::vector<std::pair<std::string, float>> pending;
    };
} // namespace testhelpers
