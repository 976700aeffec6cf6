#include "PluginProcessor.h"

#include <cmath>
#include <cstring>

#include "gui/PluginEditor.h"

namespace
{
    /** A continuous, linear float parameter (a range with interval 0, so hosts see the
        value unsnapped, with seven decimals). */
    std::unique_ptr<juce::AudioParameterFloat> makeContinuous (const char* id, const char* name,
                                                               float minimum, float maximum, float defaultValue)
    {
        return std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id, 0 }, name,
                                                            juce::NormalisableRange<float> (minimum, maximum),
                                                            defaultValue);
    }

    std::unique_ptr<juce::AudioParameterBool> makeSwitch (const char* id, bool defaultValue)
    {
        return std::make_unique<juce::AudioParameterBool> (juce::ParameterID { id, 0 }, id, defaultValue);
    }
} // namespace

//==============================================================================
TemplateAudioProcessor::TemplateAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
    , apvts (*this, &undoManager, "pluginParameter", createParameterLayout())
    , engine (*this)
{
}

TemplateAudioProcessor::~TemplateAudioProcessor() = default;

juce::AudioProcessorValueTreeState::ParameterLayout TemplateAudioProcessor::createParameterLayout()
{
    namespace id = ParameterIDs;
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    layout.add (std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id::delay, 0 }, "Delay time",
                                                             juce::NormalisableRange<float> (0.01f, 1.0f, 0.01f, 1.0f),
                                                             0.2f));
    layout.add (makeContinuous (id::feedback, "Feedback", 0.0f, 1.0f, 0.7f));
    layout.add (makeContinuous (id::cutoff, "cutoff", 100.0f, 4000.0f, 1000.0f));
    layout.add (makeSwitch (id::ishpf, false));
    layout.add (makeSwitch (id::panic, false));
    layout.add (makeSwitch (id::feedbackboost, true));
    layout.add (makeSwitch (id::onoff, true));
    layout.add (makeSwitch (id::mix, false));
    layout.add (makeSwitch (id::oversampling, false));

    return layout;
}

//==============================================================================
bool TemplateAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

void TemplateAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    engine.prepare (sampleRate, maximumExpectedSamplesPerBlock, 1.0f);
    outputLevel.reset (10);
}

void TemplateAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    const int numSamples = buffer.getNumSamples();

    for (int channel = getTotalNumInputChannels(); channel < getTotalNumOutputChannels(); ++channel)
        buffer.clear (channel, 0, numSamples);

    // Any non-zero raw value, NaN included, counts as on.
    if (apvts.getRawParameterValue (ParameterIDs::onoff)->load() != 0.0f)
        engine.process (buffer, apvts);

    const float peak = buffer.getMagnitude (0, numSamples);
    const float decibels = juce::Decibels::gainToDecibels (peak);
    outputLevel.setTargetValue ((decibels + 100.0f) / 100.0f);
}

//==============================================================================
juce::AudioProcessorEditor* TemplateAudioProcessor::createEditor()
{
    return new TemplateAudioProcessorEditor (*this);
}

//==============================================================================
void TemplateAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto state = apvts.copyState();

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void TemplateAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = parseStateBlob (data, sizeInBytes);

    // Anything unreadable, or a tree of another kind, leaves the current settings as they are.
    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (apvts.state.getType().toString()))
        return;

    replaceParameterState (apvts, juce::ValueTree::fromXml (*xml));
}

std::unique_ptr<juce::XmlElement> TemplateAudioProcessor::parseStateBlob (const void* data, int sizeInBytes)
{
    constexpr juce::uint32 magic = 0x21324356; // what copyXmlToBinary writes

    if (data == nullptr || sizeInBytes <= 8 || juce::ByteOrder::littleEndianInt (data) != magic)
        return {};

    const auto length = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (length <= 0)
        return {};

    const auto* utf8 = static_cast<const char*> (data) + 8;
    const int textBytes = juce::jmin (sizeInBytes - 8, length);

    // Bytes that are not UTF-8 cannot be an XML document.
    if (! juce::CharPointer_UTF8::isValidString (utf8, textBytes))
        return {};

    const auto text = juce::String::fromUTF8 (utf8, textBytes).trimEnd();

    // The XML parser forgives a root closing tag that was cut short; a truncated state
    // is not to be trusted, so the text must end where a complete document ends.
    if (! text.endsWithChar ('>'))
        return {};

    auto xml = parseParameterXml (text);

    if (xml == nullptr || ! (text.endsWith ("</" + xml->getTagName() + ">") || text.endsWith ("/>")))
        return {};

    return xml;
}

namespace
{
    /** True when elements in the text nest deeper than `limit`. It errs towards counting
        too deep (text that merely looks like tags), never too shallow: quoted attribute
        values, comments, CDATA and declarations are stepped over as the parser would. */
    bool nestsDeeperThan (const juce::String& text, int limit)
    {
        int depth = 0;

        for (auto p = text.getCharPointer(); ! p.isEmpty();)
        {
            if (*p != '<')
            {
                ++p;
                continue;
            }

            const auto next = p[1];
            const auto skipPast = [&p] (const char* end)
            {
                const auto found = p.indexOf (juce::CharPointer_ASCII (end));
                p += found < 0 ? (int) p.length() : found + (int) std::strlen (end);
            };

            if (next == '/')
            {
                --depth;
                skipPast (">");
            }
            else if (next == '!' && p[2] == '-' && p[3] == '-')
            {
                skipPast ("-->");
            }
            else if (next == '!' && p[2] == '[')
            {
                skipPast ("]]>");
            }
            else if (next == '!' || next == '?')
            {
                skipPast (">");
            }
            else
            {
                if (++depth > limit)
                    return true;

                // Through the start tag, skipping quoted values; "/>" closes it at once.
                ++p;
                juce::juce_wchar quote = 0, previous = 0;

                for (; ! p.isEmpty(); previous = *p, ++p)
                {
                    const auto c = *p;

                    if (quote != 0)
                    {
                        if (c == quote)
                            quote = 0;
                    }
                    else if (c == '"' || c == '\'')
                    {
                        quote = c;
                    }
                    else if (c == '>')
                    {
                        if (previous == '/')
                            --depth;
                        ++p;
                        break;
                    }
                }
            }
        }

        return false;
    }

    bool hasRepeatedAttribute (const juce::XmlElement& element)
    {
        for (int i = 1; i < element.getNumAttributes(); ++i)
            for (int j = 0; j < i; ++j)
                if (element.getAttributeName (i) == element.getAttributeName (j))
                    return true;

        for (const auto* child : element.getChildIterator())
            if (hasRepeatedAttribute (*child))
                return true;

        return false;
    }
}

std::unique_ptr<juce::XmlElement> TemplateAudioProcessor::parseParameterXml (const juce::String& text)
{
    // A document type declaration can define entities that expand exponentially and keep
    // the XML parser busy for ever. A parameter tree never has one.
    if (text.containsIgnoreCase ("<!DOCTYPE") || text.containsIgnoreCase ("<!ENTITY"))
        return {};

    // JUCE's parser also loops for ever on a processing instruction inside an element when
    // text follows it ("<a><?x?>b</a>"). Only the XML declaration may open a parameter tree.
    auto body = text.trimCharactersAtStart (juce::String::charToString (0xfeff) + " \t\r\n");
    if (body.startsWith ("<?xml"))
        body = body.fromFirstOccurrenceOf ("?>", false, false);

    if (body.contains ("<?"))
        return {};

    // The parser descends one call per level: tens of thousands of nested elements in a
    // state blob or preset file would overflow the stack. A parameter tree is two deep.
    if (nestsDeeperThan (text, 64))
        return {};

    auto xml = juce::parseXML (text);

    // An element naming an attribute twice is not well-formed XML, yet JUCE's parser keeps
    // both: the parameter tree would read the first, and save only the last.
    if (xml != nullptr && hasRepeatedAttribute (*xml))
        return {};

    return xml;
}

void TemplateAudioProcessor::replaceParameterState (juce::AudioProcessorValueTreeState& parameters, juce::ValueTree newState)
{
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
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new TemplateAudioProcessor();
}
