#include "PresetLabel.h"

#include "DocumentsFolder.h"
#include "processor/PluginProcessor.h"

PresetLabel::PresetLabel (juce::AudioProcessorValueTreeState& state)
    : juce::Label ({}, {})
    , valueTreeState (state)
{
    setEditable (false, true, false);
    setText (noPresetText, juce::dontSendNotification);
    setJustificationType (juce::Justification::centred);
    setColour (juce::Label::textColourId, juce::Colour (0xffd3d3d3));
    refreshMenu();
    presetMenu.setLookAndFeel (&menuLookAndFeel);
}

PresetLabel::~PresetLabel()
{
    presetMenu.setLookAndFeel (nullptr);
}

//==============================================================================
juce::File PresetLabel::presetFolder()
{
    return juce::File (userDocumentsPath() + presetFolderName);
}

juce::File PresetLabel::presetFile (const juce::String& name)
{
    return juce::File (userDocumentsPath() + presetFolderName + name + presetExtension);
}

juce::String PresetLabel::makeSafeName (const juce::String& typed)
{
    juce::String safe;

    for (auto p = typed.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        const bool unsafe = c < 32 || juce::String ("/\\<>:\"|?*").containsChar (c);
        safe << (unsafe ? juce::juce_wchar ('_') : c);
    }

    // Windows opens a device, not a file, for CON, NUL, COM1 and the like, whatever follows the
    // first dot: "nul.vtrpreset" would swallow the preset. A '_' after the stem makes it a file.
    const auto stem = safe.upToFirstOccurrenceOf (".", false, false);
    const auto device = stem.trimEnd().toUpperCase();
    const bool reserved = device == "CON" || device == "PRN" || device == "AUX" || device == "NUL"
                          || ((device.startsWith ("COM") || device.startsWith ("LPT"))
                              && device.length() == 4 && juce::CharacterFunctions::isDigit (device[3]));

    return reserved ? stem + "_" + safe.substring (stem.length()) : safe;
}

juce::StringArray PresetLabel::listPresets()
{
    juce::StringArray names;

    for (const auto& file : presetFolder().findChildFiles (juce::File::findFiles, false, "*" + presetExtension))
    {
        const auto path = file.getFullPathName();
        const auto fileName = path.substring (path.lastIndexOfChar (juce::File::getSeparatorChar()) + 1);
        const int cut = fileName.indexOf (presetExtension);
        names.add (cut >= 0 ? fileName.substring (0, cut) : fileName);
    }

    return names;
}

void PresetLabel::apply (const juce::String& name)
{
    // A preset is a few hundred bytes; anything huge is not one and is not read in.
    constexpr juce::int64 largestPresetFile = 1 << 20;
    const auto file = presetFile (name);

    if (! file.existsAsFile() || file.getSize() > largestPresetFile)
        return;

    const auto xml = TemplateAudioProcessor::parseParameterXml (file.loadFileAsString());

    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (valueTreeState.state.getType().toString()))
        return;

    TemplateAudioProcessor::replaceParameterState (valueTreeState, juce::ValueTree::fromXml (*xml));
}

void PresetLabel::loadPreset (const juce::String& name)
{
    apply (name);
    setText (name, juce::dontSendNotification);
}

void PresetLabel::loadPresetAt (int position)
{
    const auto names = listPresets();

    if (juce::isPositiveAndBelow (position, names.size()))
        apply (names[position]);
}

void PresetLabel::savePreset (const juce::String& name)
{
    const auto file = presetFile (makeSafeName (name));
    const auto xml = valueTreeState.copyState().createXml();

    if (xml == nullptr || ! file.getParentDirectory().createDirectory())
        return;

    // writeTo goes through a temporary file beside the target and moves it into place,
    // so a failed write leaves an existing preset untouched.
    xml->writeTo (file);
}

void PresetLabel::deletePresetAt (int position)
{
    const auto names = listPresets();

    if (! juce::isPositiveAndBelow (position, names.size()))
        return;

    const auto file = presetFile (names[position]);

    if (file.existsAsFile() && file.deleteFile())
        setText (noPresetText, juce::dontSendNotification);
}

//==============================================================================
void PresetLabel::refreshMenu()
{
    presetNames = listPresets();
    presetMenu.clear();

    for (const auto& name : presetNames)
        presetMenu.addItem (name, [this, name] { loadPreset (name); });
}

void PresetLabel::showPresetMenu()
{
    refreshMenu();
    juce::PopupMenu::dismissAllActiveMenus();

    // A label that is not on screen (a closing window) has nowhere to pop the menu up.
    if (isShowing())
        presetMenu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (this));
}

void PresetLabel::previousPreset()
{
    const auto current = getText();

    if (current == noPresetText)
        return;

    const int p = presetNames.indexOf (current);

    if (p <= 0)
        return;

    loadPresetAt (p - 1);

    // If the folder lost presets since the menu was read, stay with the last one listed.
    const auto names = listPresets();
    if (names.isEmpty())
        return;
    setText (names[juce::jmin (p - 1, names.size() - 1)], juce::dontSendNotification);
}

void PresetLabel::nextPreset()
{
    const auto current = getText();

    if (current == noPresetText)
    {
        if (listPresets().isEmpty())
            return;

        loadPresetAt (0);
        setText (listPresets()[0], juce::dontSendNotification);
        return;
    }

    const int p = presetNames.indexOf (current);
    const int n = listPresets().size();

    if (p >= n - 1)
        return;

    loadPresetAt (p + 1);
    setText (listPresets()[p + 1], juce::dontSendNotification);
}

void PresetLabel::deleteCurrentPreset()
{
    const auto current = getText();

    if (current == noPresetText)
        return;

    // Only the preset the label names; a name that is not listed deletes nothing.
    const int p = listPresets().indexOf (current);

    if (p >= 0)
        deletePresetAt (p);
}

void PresetLabel::mouseUp (const juce::MouseEvent&)
{
    showPresetMenu();
}

void PresetLabel::textWasEdited()
{
    const auto names = listPresets();
    const auto typed = makeSafeName (getText());

    if (typed != getText())
        setText (typed, juce::dontSendNotification);

    if (! names.contains (typed) && typed.isNotEmpty())
    {
        if (typed.length() < maxNameLength)
        {
            savePreset (typed);
        }
        else
        {
            const auto shortened = typed.substring (0, maxNameLength);
            savePreset (shortened);
            setText (shortened, juce::dontSendNotification);
        }
    }

    showPresetMenu();
}
