#pragma once

// Texts built to make a parser of parameter trees slow or to exhaust it: many attributes,
// many elements, long values and names, deep nesting, the largest size taken and one byte
// more. The tests check what becomes of each (through host state and preset files); the
// benchmark times each against the bound a host's thread can afford.

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

namespace testhelpers
{
    struct HostileInput
    {
        std::string name;
        std::string text;
        bool accepted;          // whether a parameter tree is taken from it
        float feedback = 0.5f;  // the feedback it sets when accepted
    };

    inline std::vector<HostileInput> hostileInputs()
    {
        constexpr size_t limit = 1 << 20; // ParameterTreeReader::maximumTextBytes
        const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <pluginParameter>";
        const std::string tail = "</pluginParameter>";
        const std::string feedback = "<PARAM id=\"feedback\" value=\"0.5\"/>";

        const auto tree = [&] (const std::string& body) { return head + body + tail; };
        const auto repeat = [] (const std::string& piece, size_t count)
        {
            std::string s;
            s.reserve (piece.size() * count);
            for (size_t i = 0; i < count; ++i)
                s += piece;
            return s;
        };
        const auto attributes = [] (size_t count, size_t from = 0)
        {
            std::string s;
            for (size_t i = from; i < from + count; ++i)
                s += " a" + std::to_string (i) + "=\"0\"";
            return s;
        };
        const auto padTo = [&] (size_t size)
        {
            // White space inside the root element, so the text stays one valid tree.
            const auto base = tree (feedback);
            return head + feedback + std::string (size - base.size(), ' ') + tail;
        };

        // Room left under the limit where a text is to be taken: what is taken must fit again
        // once written out as a preset (declaration, line breaks, indentation).
        constexpr size_t room = 4096;

        std::vector<HostileInput> inputs;

        // Attributes: the repeated-name check once walked JUCE's list inside two loops.
        inputs.push_back ({ "2000 attributes on one element (19 KB)",
                            tree ("<PARAM id=\"feedback\" value=\"0.5\"" + attributes (2000) + "/>"), false });
        inputs.push_back ({ "100000 attributes on one element",
                            tree ("<PARAM id=\"feedback\" value=\"0.5\"" + attributes (100000) + "/>"), false });
        inputs.push_back ({ "62 attributes on one element, the most taken",
                            tree ("<PARAM id=\"feedback\" value=\"0.5\"" + attributes (62) + "/>"), true });

        std::string spread;
        for (size_t i = 0; i < 64; ++i)
            spread += "<x" + attributes (63, i * 63) + "/>";
        inputs.push_back ({ "4034 attributes over 66 elements", tree (feedback + spread), true });
        inputs.push_back ({ "4097 attributes over 67 elements", tree (feedback + spread + "<x" + attributes (63, 9000) + "/>"), false });

        // Names: long ones, different or all the same.
        std::string longNames, sameNames;
        const std::string stem (250, 'n');
        for (int i = 0; i < 62; ++i)
        {
            longNames += " " + stem + std::to_string (i) + "=\"0\"";
            sameNames += " " + stem + "=\"0\"";
        }
        inputs.push_back ({ "62 attribute names of 252 bytes", tree ("<PARAM id=\"feedback\" value=\"0.5\"" + longNames + "/>"), true });
        inputs.push_back ({ "62 copies of one 250-byte attribute name", tree ("<PARAM id=\"feedback\" value=\"0.5\"" + sameNames + "/>"), false });
        inputs.push_back ({ "an attribute name of 257 bytes", tree ("<PARAM id=\"feedback\" value=\"0.5\" " + std::string (257, 'n') + "=\"0\"/>"), false });
        inputs.push_back ({ "an attribute name of 1 MB",
                            tree ("<PARAM id=\"feedback\" value=\"0.5\" " + std::string (limit - room, 'n') + "=\"0\"/>"), false });
        inputs.push_back ({ "an element name of 1 MB", tree (feedback + "<" + std::string (limit - room, 'n') + "/>"), false });

        // Elements.
        inputs.push_back ({ "1022 unknown children", tree (feedback + repeat ("<PARAM id=\"x\" value=\"1\"/>", 1021)), true });
        inputs.push_back ({ "100000 unknown children", tree (feedback + repeat ("<PARAM/>", 100000)), false });
        inputs.push_back ({ "120000 '<' in a row", tree (feedback + std::string (120000, '<')), false });
        inputs.push_back ({ "64 levels deep", tree (feedback + repeat ("<x>", 63) + repeat ("</x>", 63)), true });
        inputs.push_back ({ "65 levels deep", tree (feedback + repeat ("<x>", 64) + repeat ("</x>", 64)), false });
        inputs.push_back ({ "100000 levels deep", tree (feedback + repeat ("<x>", 100000) + repeat ("</x>", 100000)), false });
        inputs.push_back ({ "100000 elements inside a comment", tree (feedback + "<!--" + repeat ("<x>", 100000) + "-->"), true });

        // Values and text.
        inputs.push_back ({ "a value of 1 MB", tree ("<PARAM id=\"feedback\" value=\"0.5" + std::string (limit - room, '0') + "\"/>"), true });
        inputs.push_back ({ "200000 character references in a value",
                            tree ("<PARAM id=\"feedback\" value=\"0.5\" note=\"" + repeat ("&amp;", 200000) + "\"/>"), false });
        inputs.push_back ({ "4096 character references in a value, the most taken",
                            tree ("<PARAM id=\"feedback\" value=\"0.5\" note=\"" + repeat ("&amp;", 4096) + "\"/>"), true });
        inputs.push_back ({ "1 MB of text between elements", tree (feedback + std::string (limit - room, 't')), true });
        inputs.push_back ({ "70000 CDATA sections", tree (feedback + repeat ("<![CDATA[<x>]]>", 70000)), false });
        inputs.push_back ({ "64 CDATA sections of 16 KB, the most taken",
                            tree (feedback + repeat ("<![CDATA[" + std::string (16000, 'c') + "]]>", 64)), true });
        inputs.push_back ({ "a quote left open to the end", tree ("<PARAM id=\"feedback\" value=\"0.5" + std::string (limit - 200, ' ')), false });

        // Taken, but not once written out: each '>' in a value becomes "&gt;".
        inputs.push_back ({ "5000 '>' in a value", tree ("<PARAM id=\"feedback\" value=\"0.5\" note=\"" + std::string (5000, '>') + "\"/>"), false });

        // Size.
        inputs.push_back ({ "exactly the largest text taken", padTo (limit), true });
        inputs.push_back ({ "one byte over the largest text taken", padTo (limit + 1), false });

        return inputs;
    }

    /** The text as a host state blob (the header copyXmlToBinary writes, and its zero byte). */
    inline juce::MemoryBlock asStateBlob (const std::string& text)
    {
        juce::MemoryBlock blob;
        juce::MemoryOutputStream out (blob, false);
        out.writeInt (0x21324356);
        out.writeInt ((int) text.size());
        out.write (text.data(), text.size());
        out.writeByte (0);
        out.flush();
        return blob;
    }
} // namespace testhelpers
