#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The one way in for parameter trees that come from outside the plug-in: host state blobs
    and preset files. Everything here treats its input as hostile: sizes are limited before
    anything is read, the text's structure is checked in one linear pass before JUCE's
    parser sees it, and every check after parsing is bounded by those limits, so no input
    can keep the calling thread (a host's, or the message thread) busy for long.

    A parameter tree is tiny (a root and nine children of two attributes, under a kilobyte);
    the limits leave generous room for trees that later versions may write. */
namespace ParameterTreeReader
{
    /** Longest text read from a state blob or a preset file. */
    inline constexpr int maximumTextBytes = 1 << 20;

    /** Deepest nesting of elements (JUCE's parser recurses once per level). */
    inline constexpr int maximumDepth = 64;

    /** Most elements in one tree. */
    inline constexpr int maximumElements = 1024;

    /** Most attributes on one element, and in the whole tree. */
    inline constexpr int maximumAttributesPerElement = 64;
    inline constexpr int maximumAttributes = 4096;

    /** Longest element or attribute name, in bytes. JUCE keeps names in a sorted pool,
        comparing them whole, so long names sharing a prefix are costly. */
    inline constexpr int maximumNameBytes = 256;

    /** Most character references ("&amp;" and the like) and CDATA sections in one text:
        JUCE's parser builds a value one reference or section at a time, at a cost that
        grows with the square of their number. */
    inline constexpr int maximumCharacterReferences = 4096;
    inline constexpr int maximumCdataSections = 64;

    /** Unwraps the XML of a state blob (the layout copyXmlToBinary writes); nothing for a
        blob that is malformed, truncated, too large or fails the checks of fromText. */
    std::unique_ptr<juce::XmlElement> fromStateBlob (const void* data, int sizeInBytes);

    /** Reads a preset file; nothing for a missing, unreadable or too large file, or text
        that fails the checks of fromText. */
    std::unique_ptr<juce::XmlElement> fromFile (const juce::File& file);

    /** Parses UTF-8 text of a saved parameter tree. Nothing for text that is not UTF-8, is
        too large, is not well-formed XML, has a document type declaration or a processing
        instruction (other than the XML declaration), nests too deep, has too many elements
        or attributes, or names an attribute twice on one element. */
    std::unique_ptr<juce::XmlElement> fromText (const char* utf8, size_t numBytes);
    std::unique_ptr<juce::XmlElement> fromText (const juce::String& text);

    /** Installs a tree read by the functions above into the parameters, when its root is a
        parameter tree ("pluginParameter" in any letter case): parameters the tree does not
        mention keep their current values, a value that is not a number counts as 0, and the
        undo history is cleared. Returns false, changing nothing, for any other tree. */
    bool install (juce::AudioProcessorValueTreeState& parameters, const juce::XmlElement* tree);
} // namespace ParameterTreeReader
