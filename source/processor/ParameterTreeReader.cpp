#include "ParameterTreeReader.h"

#include "ParameterIDs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace ParameterTreeReader
{
namespace
{
    using Text = std::string_view;

    bool isSpace (char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    char lower (char c) noexcept { return c >= 'A' && c <= 'Z' ? (char) (c - 'A' + 'a') : c; }

    /** True when `pattern` (lower-case ASCII) occurs in the text, in any letter case. One pass:
        the pattern starts with '<', which occurs nowhere else in it. */
    bool containsIgnoringCase (Text text, Text pattern) noexcept
    {
        for (size_t i = text.find ('<'); i != Text::npos; i = text.find ('<', i + 1))
        {
            if (text.size() - i < pattern.size())
                return false;

            size_t k = 1;
            while (k < pattern.size() && lower (text[i + k]) == pattern[k])
                ++k;

            if (k == pattern.size())
                return true;
        }

        return false;
    }

    /** The text after a byte order mark, white space and the XML declaration, if any. */
    Text bodyAfterDeclaration (Text text) noexcept
    {
        if (text.substr (0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix (3);

        while (! text.empty() && isSpace (text.front()))
            text.remove_prefix (1);

        if (text.substr (0, 5) == "<?xml")
        {
            const auto end = text.find ("?>");
            text.remove_prefix (end == Text::npos ? text.size() : end + 2);
        }

        return text;
    }

    /** One pass over the body of a document that refuses what JUCE's parser must never see:
        nesting that would exhaust its recursion, more elements or attributes than a tree can
        reasonably hold, and declarations. It errs towards refusing: text that merely looks
        like a tag counts as one, and every '=' outside quotes in a start tag counts as an
        attribute, so it never counts fewer than the parser will find. */
    bool structureWithinLimits (Text body) noexcept
    {
        if (std::count (body.begin(), body.end(), '&') > maximumCharacterReferences)
            return false;

        int depth = 0, elements = 0, attributes = 0, cdataSections = 0;
        size_t i = 0;

        const auto skipPast = [&] (Text end)
        {
            const auto found = body.find (end, i);
            i = found == Text::npos ? body.size() : found + end.size();
        };

        while (i < body.size())
        {
            i = body.find ('<', i);

            if (i == Text::npos)
                break;

            const auto rest = body.substr (i);

            if (rest.substr (0, 2) == "</")
            {
                --depth;
                skipPast (">");
            }
            else if (rest.substr (0, 4) == "<!--")
            {
                skipPast ("-->");
            }
            else if (rest.substr (0, 9) == "<![CDATA[")
            {
                if (++cdataSections > maximumCdataSections)
                    return false;
                skipPast ("]]>");
            }
            else if (rest.substr (0, 2) == "<!" || rest.substr (0, 2) == "<?")
            {
                return false; // declarations and processing instructions have no place in a tree
            }
            else
            {
                if (++depth > maximumDepth || ++elements > maximumElements)
                    return false;

                // Through the start tag, stepping over quoted values; "/>" closes it at once.
                // Outside quotes, every run of bytes between separators (a name, or anything
                // the parser would refuse) is held to the longest name.
                int ownAttributes = 0, run = 0;
                char quote = 0, previous = 0;

                for (++i; i < body.size(); previous = body[i], ++i)
                {
                    const char c = body[i];

                    if (quote != 0)
                    {
                        if (c == quote)
                            quote = 0;
                    }
                    else if (c == '"' || c == '\'')
                    {
                        quote = c;
                        run = 0;
                    }
                    else if (c == '=')
                    {
                        run = 0;
                        if (++ownAttributes > maximumAttributesPerElement || ++attributes > maximumAttributes)
                            return false;
                    }
                    else if (c == '>')
                    {
                        if (previous == '/')
                            --depth;
                        ++i;
                        break;
                    }
                    else if (isSpace (c) || c == '/')
                    {
                        run = 0;
                    }
                    else if (++run > maximumNameBytes)
                    {
                        return false;
                    }
                }
            }
        }

        return true;
    }

    /** An element naming an attribute twice is not well-formed XML, yet JUCE's parser keeps
        both: the parameter tree would read the first and save only the last. The structure
        scan bounds the attributes per element, so the indexed walk (JUCE keeps them in a list)
        stays small. JUCE pools attribute names, so equal names share their text: comparing
        addresses costs nothing, however long the names. */
    bool hasRepeatedAttribute (const juce::XmlElement& element)
    {
        const int count = element.getNumAttributes();

        if (count > maximumAttributesPerElement)
            return true;

        std::array<const void*, maximumAttributesPerElement> names {};

        for (int i = 0; i < count; ++i)
            names[(size_t) i] = element.getAttributeName (i).getCharPointer().getAddress();

        std::sort (names.begin(), names.begin() + count);

        if (std::adjacent_find (names.begin(), names.begin() + count) != names.begin() + count)
            return true;

        for (const auto* child : element.getChildIterator())
            if (hasRepeatedAttribute (*child))
                return true;

        return false;
    }

    std::unique_ptr<juce::XmlElement> parse (Text text)
    {
        // A zero byte ends the text for JUCE's string, so the parser would see less than the
        // checks below; a tree never has one.
        if (text.size() > (size_t) maximumTextBytes || text.find ('\0') != Text::npos
            || ! juce::CharPointer_UTF8::isValidString (text.data(), (int) text.size()))
            return {};

        // A document type declaration can define entities that expand exponentially; JUCE's
        // parser looks for one anywhere in the text, even inside a quoted value.
        if (containsIgnoringCase (text, "<!doctype") || containsIgnoringCase (text, "<!entity"))
            return {};

        // Only the XML declaration may open a tree. JUCE's parser loops for ever on a
        // processing instruction inside an element when text follows it, and it starts at
        // the first "<?xml" wherever that is, which would hide text from the scan below.
        const auto body = bodyAfterDeclaration (text);

        if (body.find ("<?") != Text::npos || ! structureWithinLimits (body))
            return {};

        // JUCE's parser does not expect a byte order mark (its file reader drops one).
        if (text.substr (0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix (3);

        auto xml = juce::parseXML (juce::String::fromUTF8 (text.data(), (int) text.size()));

        if (xml == nullptr || hasRepeatedAttribute (*xml))
            return {};

        // What is taken must read back in: saved as a preset (the longer of the two forms
        // the plug-in writes) it must stay within the limits, escaped characters included.
        const auto written = xml->toString();
        const auto* bytes = written.toRawUTF8();
        const auto size = written.getNumBytesAsUTF8();

        if (size > (size_t) maximumTextBytes || std::count (bytes, bytes + size, '&') > maximumCharacterReferences)
            return {};

        return xml;
    }
} // namespace

//==============================================================================
std::unique_ptr<juce::XmlElement> fromText (const char* utf8, size_t numBytes)
{
    if (utf8 == nullptr)
        return {};

    return parse (Text (utf8, numBytes));
}

std::unique_ptr<juce::XmlElement> fromText (const juce::String& text)
{
    return fromText (text.toRawUTF8(), text.getNumBytesAsUTF8());
}

std::unique_ptr<juce::XmlElement> fromStateBlob (const void* data, int sizeInBytes)
{
    constexpr juce::uint32 magic = 0x21324356; // what copyXmlToBinary writes

    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != magic)
        return {};

    const auto length = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (length <= 0)
        return {};

    const int textBytes = juce::jmin (sizeInBytes - 8, length);

    if (textBytes > maximumTextBytes)
        return {};

    auto text = Text (static_cast<const char*> (data) + 8, (size_t) textBytes);

    // copyXmlToBinary ends the text with a zero byte, which the length may include.
    while (! text.empty() && (text.back() == '\0' || isSpace (text.back())))
        text.remove_suffix (1);

    // The XML parser forgives a root closing tag that was cut short; a truncated state is
    // not to be trusted, so the text must end where a complete document ends.
    if (text.empty() || text.back() != '>')
        return {};

    auto xml = parse (text);

    if (xml == nullptr)
        return {};

    const auto closingTag = ("</" + xml->getTagName() + ">").toStdString();
    const bool complete = text.size() >= closingTag.size() && text.substr (text.size() - closingTag.size()) == closingTag;

    if (! complete && text.substr (text.size() - 2) != "/>")
        return {};

    return xml;
}

std::unique_ptr<juce::XmlElement> fromFile (const juce::File& file)
{
    if (! file.existsAsFile() || file.getSize() > maximumTextBytes)
        return {};

    juce::FileInputStream stream (file);

    if (! stream.openedOk())
        return {};

    // The file may have grown since its size was read: never take in more than the limit.
    juce::MemoryBlock bytes;
    stream.readIntoMemoryBlock (bytes, (ssize_t) maximumTextBytes + 1);

    if (bytes.getSize() > (size_t) maximumTextBytes)
        return {};

    // A text editor may have saved the file as UTF-16, behind its byte order mark.
    const auto* start = static_cast<const juce::uint8*> (bytes.getData());
    if (bytes.getSize() >= 2 && ((start[0] == 0xff && start[1] == 0xfe) || (start[0] == 0xfe && start[1] == 0xff)))
        return fromText (juce::MemoryInputStream (bytes, false).readEntireStreamAsString());

    return fromText (static_cast<const char*> (bytes.getData()), bytes.getSize());
}

//==============================================================================
bool install (juce::AudioProcessorValueTreeState& parameters, const juce::XmlElement* tree)
{
    if (tree == nullptr || ! tree->getTagName().equalsIgnoreCase (parameters.state.getType().toString()))
        return false;

    auto newState = juce::ValueTree::fromXml (*tree);

    // The parameter tree would reset a parameter the new tree does not mention to its
    // default; a partial state should leave such a parameter as it is instead.
    for (const auto* id : ParameterIDs::all)
    {
        if (auto given = newState.getChildWithProperty ("id", id); given.isValid())
        {
            // "nan" reads as a number that is none: it would pass the parameter's range
            // clamp and become the parameter's value. Like any other text that is not a
            // number it counts as 0, which the clamp then brings into range.
            if (given.hasProperty ("value") && std::isnan ((double) given["value"]))
                given.setProperty ("value", 0.0, nullptr);

            continue;
        }

        juce::ValueTree child ("PARAM");
        child.setProperty ("id", id, nullptr);
        child.setProperty ("value", parameters.getRawParameterValue (id)->load(), nullptr);
        newState.appendChild (child, nullptr);
    }

    parameters.replaceState (newState);
    return true;
}
} // namespace ParameterTreeReader
