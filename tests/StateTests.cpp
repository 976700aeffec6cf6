#include "helpers/ProcessorHelpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace testhelpers;

namespace
{
    juce::MemoryBlock saveState (TemplateAudioProcessor& p)
    {
        juce::MemoryBlock block;
        p.getStateInformation (block);
        return block;
    }

    void restoreState (TemplateAudioProcessor& p, const juce::MemoryBlock& block)
    {
        p.setStateInformation (block.getData(), (int) block.getSize());
    }

    /** The blob layout hosts store: magic, length, UTF-8 text, a zero byte. */
    juce::MemoryBlock blob (const juce::String& text, std::optional<juce::int64> lengthField = {},
                            juce::uint32 magic = 0x21324356)
    {
        juce::MemoryBlock block;
        juce::MemoryOutputStream out (block, false);
        out.writeInt ((int) magic);
        const auto utf8 = text.toRawUTF8();
        const auto length = (juce::int64) text.getNumBytesAsUTF8();
        out.writeInt ((int) (juce::uint32) lengthField.value_or (length));
        out.write (utf8, (size_t) length);
        out.writeByte (0);
        out.flush();
        return block;
    }

    juce::String stateXml (const juce::String& params, const juce::String& rootTag = "pluginParameter")
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <" + rootTag + ">" + params + "</" + rootTag + ">";
    }

    juce::String param (const juce::String& id, const juce::String& value)
    {
        return "<PARAM id=\"" + id + "\" value=\"" + value + "\"/>";
    }
} // namespace

TEST (HostState, BlobLayoutOfAFreshInstance)
{
    TemplateAudioProcessor p;
    const auto block = saveState (p);
    const auto* bytes = static_cast<const juce::uint8*> (block.getData());
    const auto size = block.getSize();

    ASSERT_GT (size, 9u);
    EXPECT_EQ (bytes[0], 0x56);
    EXPECT_EQ (bytes[1], 0x43);
    EXPECT_EQ (bytes[2], 0x32);
    EXPECT_EQ (bytes[3], 0x21);

    const auto n = juce::ByteOrder::littleEndianInt (bytes + 4);
    EXPECT_EQ ((size_t) n, size - 9);
    EXPECT_EQ (bytes[8 + n], 0);

    const juce::String text = juce::String::fromUTF8 (reinterpret_cast<const char*> (bytes + 8), (int) n);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <pluginParameter>")) << text;
    EXPECT_FALSE (text.containsAnyOf ("\r\n"));

    // Nine PARAM elements in code-point order of their IDs, id before value.
    const char* expectedOrder[] = { "cutoff", "delay", "feedback", "feedbackboost", "ishpf",
                                    "mix", "onoff", "oversampling", "panic" };
    int from = 0;
    for (const auto* id : expectedOrder)
    {
        const auto at = text.indexOf (from, "<PARAM id=\"" + juce::String (id) + "\" value=\"");
        EXPECT_GT (at, from) << id;
        from = juce::jmax (from, at);
    }
    EXPECT_EQ (text.indexOf (from + 1, "<PARAM "), -1);

    // Saving again overwrites whatever the block held before.
    juce::MemoryBlock reused (4096, true);
    p.getStateInformation (reused);
    EXPECT_EQ (reused, block);
}

TEST (HostState, RoundTripRestoresAllNineAndClearsHistory)
{
    TemplateAudioProcessor source;
    setAll (source, nonDefaultValues());
    const auto saved = saveState (source);

    // Into a second instance.
    TemplateAudioProcessor copy;
    restoreState (copy, saved);
    EXPECT_EQ (allValues (copy), allValues (source));

    // Into the same instance after every value changed, with something to undo.
    TemplateAudioProcessor fresh;
    const auto defaults = allValues (fresh);
    const auto freshBlob = saveState (fresh);
    setAll (fresh, nonDefaultValues());
    fresh.undoManager.beginNewTransaction();
    saveState (fresh); // the tree picks up the changes, as its timer would
    ASSERT_TRUE (fresh.undoManager.canUndo());

    restoreState (fresh, freshBlob);
    EXPECT_EQ (allValues (fresh), defaults);
    EXPECT_FALSE (fresh.undoManager.canUndo());
    EXPECT_FALSE (fresh.undoManager.canRedo());
}

TEST (HostState, MalformedAndPartialBlobs)
{
    const auto fullXml = juce::String (stateXml (param ("delay", "0.5")));
    const auto start = nonDefaultValues();

    struct Case
    {
        const char* name;
        std::function<juce::MemoryBlock()> makeBlob;
        bool accepted;
        std::map<std::string, float> expectedChanges;
    };

    const Case cases[] = {
        { "empty", [] { return juce::MemoryBlock(); }, false, {} },
        { "eight bytes", [&] { juce::MemoryBlock b = blob (fullXml); b.setSize (8); return b; }, false, {} },
        { "wrong magic", [&] { return blob (fullXml, {}, 0x21324357); }, false, {} },
        { "length zero", [&] { return blob (fullXml, 0); }, false, {} },
        { "negative length", [&] { return blob (fullXml, 0x80000010); }, false, {} },
        { "length beyond the data", [&] { return blob (fullXml, 100000); }, true, { { "delay", 0.5f } } },
        { "length cuts the closing tag", [&] { return blob (fullXml, fullXml.getNumBytesAsUTF8() - 1); }, false, {} },
        { "length cuts an element", [&] { return blob (fullXml, fullXml.getNumBytesAsUTF8() - 25); }, false, {} },
        { "not XML", [] { return blob ("this is not xml at all"); }, false, {} },
        { "entity expansion", [] { return blob ("<?xml version=\"1.0\"?> <!DOCTYPE pluginParameter [<!ENTITY a \"<PARAM id='delay' value='0.5'/>\">]> <pluginParameter>&a;</pluginParameter>"); }, false, {} },
        { "processing instruction in the tree", [] { return blob (stateXml ("<?x?>text" + param ("delay", "0.5"))); }, false, {} },
        { "attribute given twice", [] { return blob (stateXml ("<PARAM id=\"delay\" id=\"mix\" value=\"0.5\"/>")); }, false, {} },
        { "value given twice", [] { return blob (stateXml ("<PARAM id=\"delay\" value=\"0.5\" value=\"0.3\"/>")); }, false, {} },
        { "elements nested 100000 deep", [] { return blob (stateXml (juce::String::repeatedString ("<a>", 100000) + juce::String::repeatedString ("</a>", 100000))); }, false, {} },
        { "nesting hidden in quotes", [] { return blob (stateXml (juce::String::repeatedString ("<a x='/>'>", 100000))); }, false, {} },
        { "not UTF-8", [] { auto b = blob (stateXml (param ("delay", "0.5"))); static_cast<char*> (b.getData())[40] = (char) 0xff; return b; }, false, {} },
        { "one character", [] { return blob ("x"); }, false, {} },
        { "another root tag", [] { return blob (stateXml (param ("delay", "0.5"), "otherParameters")); }, false, {} },
        { "root tag in capitals", [] { return blob (stateXml (param ("delay", "0.5"), "PLUGINPARAMETER")); }, true, { { "delay", 0.5f } } },
        { "value not a number", [] { return blob (stateXml (param ("cutoff", "loud"))); }, true, { { "cutoff", 100.0f } } },
        { "value nan", [] { return blob (stateXml (param ("cutoff", "nan") + param ("feedback", "NaN"))); }, true, { { "cutoff", 100.0f }, { "feedback", 0.0f } } },
        { "value infinite", [] { return blob (stateXml (param ("cutoff", "inf") + param ("feedback", "-inf"))); }, true, { { "cutoff", 4000.0f }, { "feedback", 0.0f } } },
        { "value out of range", [] { return blob (stateXml (param ("feedback", "5"))); }, true, { { "feedback", 1.0f } } },
        { "delay off the grid", [] { return blob (stateXml (param ("delay", "0.123"))); }, true, { { "delay", 0.12f } } },
        { "missing value takes the default", [] { return blob (stateXml ("<PARAM id=\"feedback\"/>")); }, true, { { "feedback", 0.7f } } },
        { "switch threshold", [] { return blob (stateXml (param ("mix", "0.5") + param ("panic", "0.49"))); }, true, { { "mix", 1.0f }, { "panic", 0.0f } } },
        { "unknown ids only", [] { return blob (stateXml (param ("volume", "0.3"))); }, true, {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        TemplateAudioProcessor p;
        setAll (p, start);
        p.undoManager.beginNewTransaction();
        saveState (p);
        const bool hadHistory = p.undoManager.canUndo();

        restoreState (p, c.makeBlob());

        auto expected = start;
        for (const auto& [id, value] : c.expectedChanges)
            expected[id] = value;

        const auto actual = allValues (p);
        for (const auto& [id, value] : expected)
            EXPECT_FLOAT_EQ (actual.at (id), value) << id;

        // An accepted blob replaced the tree and with it the history; a rejected one touched nothing.
        EXPECT_EQ (p.undoManager.canUndo(), ! c.accepted && hadHistory);
    }
}

TEST (HostState, UnknownChildrenSurviveTheNextSave)
{
    TemplateAudioProcessor p;
    restoreState (p, blob (stateXml (param ("delay", "0.3") + param ("futureKnob", "42"))));
    EXPECT_FLOAT_EQ (rawValue (p, "delay"), 0.3f);

    const auto saved = saveState (p);
    const auto xml = juce::AudioProcessor::getXmlFromBinary (saved.getData(), (int) saved.getSize());
    ASSERT_NE (xml, nullptr);

    auto* future = xml->getChildByAttribute ("id", "futureKnob");
    ASSERT_NE (future, nullptr);
    EXPECT_EQ (future->getStringAttribute ("value"), "42");

    // Parameters the blob did not name kept their values and were written back.
    auto* cutoff = xml->getChildByAttribute ("id", "cutoff");
    ASSERT_NE (cutoff, nullptr);
    EXPECT_FLOAT_EQ ((float) cutoff->getDoubleAttribute ("value"), 1000.0f);
}
