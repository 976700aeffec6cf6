// The built Vantorel.lv2 as LV2 hosts see it, through lilv: its description (name, maker,
// parameters, ports, editor), the sound through it at the usual rates, blocks of any length,
// state carried from one instance to another, and hosts that offer nothing at all.

#include "helpers/Lv2Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <thread>

using namespace testhelpers;

namespace
{
    const std::string bundle = VANTOREL_LV2_BUNDLE;
    const std::string lv2 = "http://lv2plug.in/ns/lv2core#";
    const std::string rdfs = "http://www.w3.org/2000/01/rdf-schema#";
    const std::string rdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
    const std::string doap = "http://usefulinc.com/ns/doap#";
    const std::string foaf = "http://xmlns.com/foaf/0.1/";
    const std::string patchWritable = "http://lv2plug.in/ns/ext/patch#writable";

    struct Stereo
    {
        std::vector<float> left, right;
    };

    /** A click of 0.5 at sample 100 on the left; on the right the same click inverted in
        stereo, silence in mono. */
    Stereo clicks (size_t length, bool stereo)
    {
        Stereo s { std::vector<float> (length, 0.0f), std::vector<float> (length, 0.0f) };
        s.left[100] = 0.5f;
        if (stereo)
            s.right[100] = -0.5f;
        return s;
    }

    /** Runs the whole signal through, in blocks of the given lengths taken in turn. */
    Stereo render (Lv2Instance& plugin, Stereo signal, const std::vector<uint32_t>& blockLengths)
    {
        size_t at = 0;
        for (size_t i = 0; at < signal.left.size(); ++i)
        {
            const auto n = (uint32_t) std::min<size_t> (blockLengths[i % blockLengths.size()], signal.left.size() - at);
            plugin.process (signal.left.data() + at, signal.right.data() + at, n);
            at += n;
        }
        return signal;
    }

    /** Index of the first sample that is not exactly 0, or the length. */
    size_t firstSound (const std::vector<float>& x)
    {
        return (size_t) (std::find_if (x.begin(), x.end(), [] (float v) { return v != 0.0f; }) - x.begin());
    }
} // namespace

//==============================================================================
TEST (Lv2Description, NamesTheDelayItsMakerAndItsEditor)
{
    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr) << "no plug-in " << lv2PluginUri << " in " << bundle;

    const Lv2World::Node name (lilv_plugin_get_name (world.plugin));
    const Lv2World::Node maker (lilv_plugin_get_author_name (world.plugin));
    const Lv2World::Node homepage (lilv_plugin_get_author_homepage (world.plugin));
    EXPECT_STREQ (lilv_node_as_string (name), "Vantorel");
    EXPECT_STREQ (lilv_node_as_string (maker), "Korvane");
    EXPECT_STREQ (lilv_node_as_string (homepage), "https://korvane.example");
    EXPECT_TRUE (world.has (lv2PluginUri, rdfType, lv2 + "DelayPlugin"));
    EXPECT_EQ (world.get (lv2PluginUri, lv2 + "minorVersion"), "0");
    EXPECT_EQ (world.get (lv2PluginUri, lv2 + "microVersion"), "1");

    // Nothing is required of a host: the plug-in copes without a URID map, options or
    // bounded blocks; it says it can use them.
    LilvNodes* required = lilv_plugin_get_required_features (world.plugin);
    EXPECT_EQ (lilv_nodes_size (required), 0u);
    lilv_nodes_free (required);

    const auto optional = world.objects (lv2PluginUri, lv2 + "optionalFeature");
    for (const auto* feature : { LV2_URID__map, LV2_OPTIONS__options, LV2_BUF_SIZE__boundedBlockLength })
        EXPECT_NE (std::find (optional.begin(), optional.end(), feature), optional.end()) << feature;

    EXPECT_TRUE (world.has (lv2PluginUri, lv2 + "extensionData", "http://lv2plug.in/ns/ext/state#interface"));

    LilvUIs* uis = lilv_plugin_get_uis (world.plugin);
    ASSERT_EQ (lilv_uis_size (uis), 1u);
    const LilvUI* ui = lilv_uis_get (uis, lilv_uis_begin (uis));
    EXPECT_EQ (std::string (lilv_node_as_uri (lilv_ui_get_uri (ui))), std::string (lv2PluginUri) + ":UI");
    const auto x11 = world.uri ("http://lv2plug.in/ns/extensions/ui#X11UI");
    EXPECT_TRUE (lilv_ui_is_a (ui, x11));
    lilv_uis_free (uis);
}

TEST (Lv2Description, ListsTheNineParametersWithRangesAndDefaults)
{
    struct Row
    {
        const char* id;
        const char* label;
        double minimum, maximum, defaultValue;
        bool toggled;
    };

    const Row rows[] {
        { "delay", "Delay time", 0.01, 1.0, 0.2, false },
        { "feedback", "Feedback", 0.0, 1.0, 0.7, false },
        { "cutoff", "cutoff", 100.0, 4000.0, 1000.0, false },
        { "ishpf", "ishpf", 0.0, 1.0, 0.0, true },
        { "panic", "panic", 0.0, 1.0, 0.0, true },
        { "feedbackboost", "feedbackboost", 0.0, 1.0, 1.0, true },
        { "onoff", "onoff", 0.0, 1.0, 1.0, true },
        { "mix", "mix", 0.0, 1.0, 0.0, true },
        { "oversampling", "oversampling", 0.0, 1.0, 0.0, true },
    };

    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr);

    auto writable = world.objects (lv2PluginUri, patchWritable);
    std::vector<std::string> expected;
    for (const auto& row : rows)
        expected.push_back (lv2ParameterUri (row.id));
    std::sort (writable.begin(), writable.end());
    std::sort (expected.begin(), expected.end());
    EXPECT_EQ (writable, expected);

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.id);
        const auto p = lv2ParameterUri (row.id);
        EXPECT_TRUE (world.has (p, rdfType, lv2 + "Parameter"));
        EXPECT_EQ (world.get (p, rdfs + "label"), row.label);
        EXPECT_NEAR (std::stod (world.get (p, lv2 + "minimum")), row.minimum, 1e-6);
        EXPECT_NEAR (std::stod (world.get (p, lv2 + "maximum")), row.maximum, 1e-6);
        EXPECT_NEAR (std::stod (world.get (p, lv2 + "default")), row.defaultValue, 1e-6);
        EXPECT_EQ (world.has (p, lv2 + "portProperty", lv2 + "toggled"), row.toggled);
    }
}

TEST (Lv2Description, PortsInTheOrderTheEntryPointHandles)
{
    struct Row
    {
        const char* symbol;
        uint32_t index;
        const char* direction;
        const char* kind;
        bool optional;
    };

    const std::string atomPort = "http://lv2plug.in/ns/ext/atom#AtomPort";
    const Row rows[] {
        { "audio_in_1", 0, "InputPort", "AudioPort", false },
        { "audio_in_2", 1, "InputPort", "AudioPort", false },
        { "audio_out_1", 2, "OutputPort", "AudioPort", false },
        { "audio_out_2", 3, "OutputPort", "AudioPort", false },
        { "in", 4, "InputPort", "AtomPort", true },
        { "out", 5, "OutputPort", "AtomPort", true },
        { "latency", 6, "OutputPort", "ControlPort", true },
        { "freeWheeling", 7, "InputPort", "ControlPort", true },
        { "enabled", 8, "InputPort", "ControlPort", true },
    };

    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr);
    EXPECT_EQ (lilv_plugin_get_num_ports (world.plugin), std::size (rows));

    const auto optional = world.uri (lv2 + "connectionOptional");

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.symbol);
        const Lv2World::Node symbol (lilv_new_string (world.world, row.symbol));
        const auto* port = lilv_plugin_get_port_by_symbol (world.plugin, symbol);
        ASSERT_NE (port, nullptr);
        EXPECT_EQ (lilv_port_get_index (world.plugin, port), row.index);

        const auto direction = world.uri (lv2 + row.direction);
        const auto kind = world.uri (std::string (row.kind) == "AtomPort" ? atomPort : lv2 + row.kind);
        EXPECT_TRUE (lilv_port_is_a (world.plugin, port, direction));
        EXPECT_TRUE (lilv_port_is_a (world.plugin, port, kind));
        EXPECT_EQ (lilv_port_has_property (world.plugin, port, optional), row.optional);
    }
}

//==============================================================================
TEST (Lv2Processing, EchoOnTheDelaysSampleAtEachRateMonoAndStereo)
{
    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr);

    for (const double rate : { 44100.0, 48000.0, 96000.0 })
        for (const bool stereo : { false, true })
        {
            SCOPED_TRACE (std::to_string ((int) rate) + (stereo ? " Hz stereo" : " Hz mono"));
            Lv2Instance plugin (world, rate, 512);
            ASSERT_TRUE (plugin.isValid());

            // One echo, the delayed signal alone.
            plugin.setParameter ("delay", 0.25f);
            plugin.setParameter ("feedback", 0.0f);

            const auto delay = (size_t) std::lround (0.25 * rate);
            const auto out = render (plugin, clicks (100 + delay + 4000, stereo), { 512 });

            EXPECT_EQ (firstSound (out.left), 100 + delay);
            const auto peak = std::max_element (out.left.begin(), out.left.end(), [] (float a, float b) { return std::abs (a) < std::abs (b); });
            EXPECT_LE ((size_t) (peak - out.left.begin()), 100 + delay + 2) << "the echo's peak lies after its onset";
            EXPECT_GT (std::abs (*peak), 0.02f);

            for (size_t i = 0; i < out.left.size(); ++i)
                ASSERT_EQ (out.right[i], stereo ? -out.left[i] : 0.0f) << "sample " << i;
        }
}

TEST (Lv2Processing, AnyBlockLengthGivesTheSameSound)
{
    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr);

    const auto signal = [] {
        auto s = clicks (48000, true);
        for (size_t i = 0; i < s.left.size(); ++i)
            s.left[i] += 0.1f * std::sin ((float) i * 0.01f);
        return s;
    }();

    Lv2Instance reference (world, 48000.0, 512);
    ASSERT_TRUE (reference.isValid());
    const auto expected = render (reference, signal, { 512 });

    struct Case
    {
        const char* name;
        uint32_t announced;
        HostFeatures features;
        std::vector<uint32_t> blocks;
    };

    // 0-length runs and blocks longer than announced (or than the plug-in's own choice of 4096
    // when the host announces nothing) among odd lengths.
    const Case cases[] {
        { "odd lengths", 512, HostFeatures::full, { 1, 7, 333, 0, 511, 64 } },
        { "longer than announced", 256, HostFeatures::full, { 1000, 0, 257, 3 } },
        { "single samples", 512, HostFeatures::full, { 1 } },
        { "no features, long blocks", 0, HostFeatures::none, { 5000, 0, 1, 4097, 12000 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Lv2Instance plugin (world, 48000.0, c.announced, c.features, c.features == HostFeatures::full);
        ASSERT_TRUE (plugin.isValid());
        const auto out = render (plugin, signal, c.blocks);

        for (size_t i = 0; i < expected.left.size(); ++i)
        {
            ASSERT_EQ (out.left[i], expected.left[i]) << "sample " << i;
            ASSERT_EQ (out.right[i], expected.right[i]) << "sample " << i;
        }
    }
}

TEST (Lv2Processing, HostThatOffersNothingGetsTheDefaultEcho)
{
    // As lv2apply runs a plug-in: no URID map, no options, event ports left unconnected.
    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr);
    Lv2Instance plugin (world, 48000.0, 0, HostFeatures::none, false);
    ASSERT_TRUE (plugin.isValid());

    const auto out = render (plugin, clicks (20000, true), { 0, 1, 9999, 10000 });
    EXPECT_EQ (firstSound (out.left), 100u + 9600u) << "the default delay is 0.2 s";
    for (const auto v : out.left)
        ASSERT_TRUE (std::isfinite (v));
}

TEST (Lv2Processing, DisabledByTheHostPassesTheInputThrough)
{
    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr);
    Lv2Instance plugin (world, 48000.0, 512);
    ASSERT_TRUE (plugin.isValid());
    plugin.setParameter ("mix", 1.0f);
    plugin.enabled = 0.0f;

    auto signal = clicks (30000, true);
    for (size_t i = 0; i < signal.left.size(); ++i)
        signal.left[i] += 0.2f * std::sin ((float) i * 0.03f);

    const auto out = render (plugin, signal, { 512 });
    EXPECT_EQ (out.left, signal.left);
    EXPECT_EQ (out.right, signal.right);
}

TEST (Lv2Processing, ReportsTheOversamplersLatency)
{
    Lv2World world (bundle);
    ASSERT_NE (world.plugin, nullptr);
    Lv2Instance plugin (world, 48000.0, 512);
    ASSERT_TRUE (plugin.isValid());

    std::vector<float> left (512), right (512);
    plugin.process (left.data(), right.data(), 512);
    EXPECT_EQ (plugin.latency, 0.0f);

    // The plug-in settles its latency on its own message thread, a moment after the switch.
    plugin.setParameter ("oversampling", 1.0f);
    for (int i = 0; i < 400 && plugin.latency == 0.0f; ++i)
    {
        plugin.process (left.data(), right.data(), 512);
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    EXPECT_EQ (plugin.latency, 60.0f) << "the VST3 module reports 60 samples at 48 kHz";
}

//==============================================================================
TEST (Lv2State, SavedByOneInstanceRestoresInASecond)
{
    const std::map<std::string, float> settings {
        { "delay", 0.47f }, { "feedback", 0.35f }, { "cutoff", 2345.5f }, { "ishpf", 1.0f }, { "panic", 1.0f },
        { "feedbackboost", 0.0f }, { "onoff", 0.0f }, { "mix", 1.0f }, { "oversampling", 1.0f },
    };

    std::string session;
    {
        Lv2World world (bundle);
        ASSERT_NE (world.plugin, nullptr);
        Lv2Instance first (world, 48000.0, 512);
        ASSERT_TRUE (first.isValid());
        for (const auto& [id, value] : settings)
            first.setParameter (id, value);
        std::vector<float> left (512), right (512);
        first.process (left.data(), right.data(), 512);
        session = first.saveState();
    }
    ASSERT_FALSE (session.empty());

    // As a host reopening the session: a new world, a new instance, the saved text.
    Lv2World world (bundle);
    Lv2Instance second (world, 48000.0, 512);
    ASSERT_TRUE (second.isValid());
    ASSERT_TRUE (second.restoreState (session));

    std::vector<float> left (512), right (512);
    second.process (left.data(), right.data(), 512);

    // Every value differs from its default, so the restore changes each and the plug-in
    // reports each to the host.
    for (const auto& [id, value] : settings)
    {
        ASSERT_EQ (second.reported.count (id), 1u) << id << " not reported after the restore";
        EXPECT_NEAR (second.reported[id], value, 1e-4f) << id;
    }
}

TEST (Lv2State, RestoredDelayIsHeard)
{
    std::string session;
    {
        Lv2World world (bundle);
        Lv2Instance first (world, 44100.0, 512);
        ASSERT_TRUE (first.isValid());
        first.setParameter ("delay", 0.25f);
        first.setParameter ("feedback", 0.0f);
        std::vector<float> left (512), right (512);
        first.process (left.data(), right.data(), 512);
        session = first.saveState();
    }

    Lv2World world (bundle);
    Lv2Instance second (world, 44100.0, 512);
    ASSERT_TRUE (second.isValid());
    ASSERT_TRUE (second.restoreState (session));

    const auto out = render (second, clicks (20000, false), { 512 });
    EXPECT_EQ (firstSound (out.left), 100u + (size_t) std::lround (0.25 * 44100.0));
}

TEST (Lv2State, UnreadableStateChangesNothing)
{
    Lv2World world (bundle);
    Lv2Instance plugin (world, 48000.0, 512);
    ASSERT_TRUE (plugin.isValid());
    plugin.setParameter ("delay", 0.3f);
    std::vector<float> left (512), right (512);
    plugin.process (left.data(), right.data(), 512);
    auto session = plugin.saveState();

    // The plug-in's own blob inside the session, damaged: the host hands it over as saved.
    const auto key = session.find ("StateString");
    ASSERT_NE (key, std::string::npos) << session;
    const auto quote = session.find ('"', key);
    ASSERT_NE (quote, std::string::npos);
    session.replace (quote + 1, 12, "this is not!");

    plugin.setParameter ("delay", 0.6f);
    plugin.process (left.data(), right.data(), 512);
    plugin.reported.clear();
    ASSERT_TRUE (plugin.restoreState (session));
    plugin.process (left.data(), right.data(), 512);
    EXPECT_EQ (plugin.reported.count ("delay"), 0u) << "a damaged state must leave the delay as it was";
}
