// The trust boundary for parameter trees from outside: host state blobs and preset files.
// Hostile texts are refused without a trace or taken into valid values, the same way on
// both paths. (How long each takes is the benchmark's: bench/ReaderBenchmarks.cpp.)

#include "helpers/HostileInputs.h"
#include "helpers/ProcessorHelpers.h"

#include "gui/bottombar/PresetStore.h"
#include "processor/ParameterTreeReader.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testhelpers;

namespace
{
    /** A processor with its values away from the defaults and something to undo, so that a
        refusal (nothing changes) and an acceptance (the history is cleared) can be told apart. */
    struct Instance
    {
        TemplateAudioProcessor processor;

        Instance()
        {
            setParameter (processor, "delay", 0.47f);
            setParameter (processor, "feedback", 0.25f);
            setParameter (processor, "cutoff", 3100.0f);
            processor.undoManager.beginNewTransaction();
            processor.apvts.state.setProperty ("probe", 1, &processor.undoManager);
        }

        bool wasRefused() { return processor.undoManager.canUndo() && rawValue (processor, "feedback") == 0.25f; }
        bool tookFeedback (float value) { return ! processor.undoManager.canUndo() && rawValue (processor, "feedback") == value; }
    };

    juce::File scratchFile()
    {
        return juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("vantorel-hostile", ".vtrpreset");
    }
} // namespace

TEST (ParameterTreeReader, HostileTextsAreRefusedOrTakenAlikeAsStateAndAsPreset)
{
    const auto file = scratchFile();

    for (const auto& input : hostileInputs())
    {
        SCOPED_TRACE (input.name);

        // As host state.
        {
            Instance instance;
            const auto blob = asStateBlob (input.text);
            instance.processor.setStateInformation (blob.getData(), (int) blob.getSize());
            if (input.accepted)
                EXPECT_TRUE (instance.tookFeedback (input.feedback)) << "state refused";
            else
                EXPECT_TRUE (instance.wasRefused()) << "state taken";
        }

        // As a preset file.
        {
            ASSERT_TRUE (file.replaceWithData (input.text.data(), input.text.size()));
            Instance instance;
            const auto tree = ParameterTreeReader::fromFile (file);
            ParameterTreeReader::install (instance.processor.apvts, tree.get());
            if (input.accepted)
                EXPECT_TRUE (instance.tookFeedback (input.feedback)) << "preset refused";
            else
                EXPECT_TRUE (instance.wasRefused()) << "preset taken";
        }
    }

    file.deleteFile();
}

TEST (ParameterTreeReader, AStateBlobTakesNoMoreTextThanAPresetFile)
{
    // The length field may claim more than there is; only the bytes present count, and
    // those are held to the same limit as a preset file.
    const std::string tree = "<pluginParameter><PARAM id=\"feedback\" value=\"0.5\"/></pluginParameter>";

    struct Case
    {
        const char* what;
        size_t padding;
        juce::uint32 lengthField; // 0: the true length
        bool accepted;
    };

    const size_t room = (size_t) ParameterTreeReader::maximumTextBytes - tree.size();
    const Case cases[] = {
        { "at the limit", room, 0, true },
        { "one byte over", room + 1, 0, false },
        { "a length field of 2 GB over a small text", 0, 0x7fffffff, true },
        { "a length field with its top bit set", 0, 0x80000010, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto text = std::string (c.padding, ' ') + tree;
        auto blob = asStateBlob (text);
        if (c.lengthField != 0)
            std::memcpy (static_cast<char*> (blob.getData()) + 4, &c.lengthField, 4); // little-endian, as the header

        Instance instance;
        instance.processor.setStateInformation (blob.getData(), (int) blob.getSize());
        EXPECT_EQ (instance.tookFeedback (0.5f), c.accepted);
        EXPECT_EQ (instance.wasRefused(), ! c.accepted);
    }
}

TEST (ParameterTreeReader, TextsThatWouldMisleadTheParser)
{
    // JUCE's parser starts at the first "<?xml" and looks for a document type declaration
    // anywhere in the text, so these are refused wherever they stand; and text it would cut
    // at a zero byte is not a tree.
    const char* const refused[] = {
        "<pluginParameter note=\"<?xml ?>\"><PARAM id=\"feedback\" value=\"0.5\"/></pluginParameter>",
        "<pluginParameter note=\"<!DOCTYPE x>\"><PARAM id=\"feedback\" value=\"0.5\"/></pluginParameter>",
        "<pluginParameter><PARAM id=\"feedback\" value=\"0.5\"/><!ELEMENT x ANY></pluginParameter>",
        "<pluginParameter a=\"1\" a=\"2\"><PARAM id=\"feedback\" value=\"0.5\"/></pluginParameter>",
    };

    for (const auto* text : refused)
    {
        SCOPED_TRACE (text);
        EXPECT_EQ (ParameterTreeReader::fromText (juce::String (text)), nullptr);
    }

    const std::string withZero ("<pluginParameter>\0<x/></pluginParameter>", 40);
    EXPECT_EQ (ParameterTreeReader::fromText (withZero.data(), withZero.size()), nullptr);

    // What a preset may still hold: comments, a declaration, a byte order mark, and UTF-16
    // from a text editor.
    const std::string plain = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- mine -->\r\n"
                              "<pluginParameter><PARAM id=\"feedback\" value=\"0.5\"/></pluginParameter>\r\n";
    EXPECT_NE (ParameterTreeReader::fromText (plain.data(), plain.size()), nullptr);

    const auto file = scratchFile();
    juce::FileOutputStream (file).writeText (juce::String (plain.data() + 3), true, true, "\r\n");
    auto tree = ParameterTreeReader::fromFile (file);
    file.deleteFile();
    ASSERT_NE (tree, nullptr);
    EXPECT_EQ (tree->getChildByAttribute ("id", "feedback")->getStringAttribute ("value"), "0.5");
}
