#include "PresetLabel.h"


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
    stopTimer();
    presetMenu.setLookAndFeel (nullptr);
}

//==============================================================================
void PresetLabel::loadPreset (const juce::String& name)
{
    PresetStore::load (valueTreeState, name);
    setText (name, juce::dontSendNotification);
}

void PresetLabel::loadPresetAt (int position)
{
    const auto names = listPresets();

    if (juce::isPositiveAndBelow (position, names.size()))
        PresetStore::load (valueTreeState, names[position]);
}

void PresetLabel::savePreset (const juce::String& name)
{
    PresetStore::save (valueTreeState, name);
}

void PresetLabel::deletePresetAt (int position)
{
    const auto names = listPresets();

    if (juce::isPositiveAndBelow (position, names.size()) && PresetStore::remove (names[position]))
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
    if (! isShowing())
        return;

    clicksBeforeMenu = juce::Desktop::getInstance().getMouseButtonClickCounter();
    juce::Component::SafePointer<PresetLabel> label (this);
    presetMenu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (this),
                              [label] (int chosen) { if (label != nullptr) label->menuClosed (chosen); });
}

void PresetLabel::menuClosed (int chosen)
{
    // An open menu takes the clicks on the name: the first click of a double click closes it
    // (after a name is typed, or when a busy message thread opened the single click's menu
    // before it read the second click), and the label may never see a double click. The
    // mouse still counted both clicks on the name: when the menu closes on such a pair, the
    // user double-clicked the name, so the editor opens.
    if (chosen != 0)
        return;

    const auto& mouse = juce::Desktop::getInstance().getMainMouseSource();
    const bool clickedWhileOpen = juce::Desktop::getInstance().getMouseButtonClickCounter() != clicksBeforeMenu;

    if (clickedWhileOpen && mouse.getNumberOfMultipleClicks() >= 2 && isShowing()
        && getScreenBounds().contains (mouse.getLastMouseDownPosition().roundToInt()))
    {
        stopTimer();
        showEditor();
    }
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

void PresetLabel::mouseUp (const juce::MouseEvent& event)
{
    // The second click of a double click: mouseDoubleClick follows and opens the editor.
    if (event.getNumberOfClicks() > 1)
    {
        stopTimer();
        return;
    }

    // The menu waits out the double-click interval, so that a second click still reaches
    // the label instead of closing a menu that has just opened. (A click that closes an open
    // menu never reaches the label, but still counts as the first of a double click: its
    // release arrives here, and the second click arrives as a double click.)
    startTimer (juce::MouseEvent::getDoubleClickTimeout());
}

void PresetLabel::mouseDoubleClick (const juce::MouseEvent& event)
{
    stopTimer();
    juce::Label::mouseDoubleClick (event);
}

void PresetLabel::timerCallback()
{
    stopTimer();
    showPresetMenu();
}

void PresetLabel::textWasEdited()
{
    const auto typed = getText();

    if (typed.isNotEmpty())
    {
        // What is compared is the name the file would really get, against the files there
        // are: a typed name is cut and made safe before it is written, and on a file system
        // that ignores letter case "lead" is the file of "Lead".
        const auto name = PresetStore::nameToSave (typed, maxNameLength);

        if (const auto existing = PresetStore::presetSavedAs (name, fileNamesIgnoreCase))
        {
            setText (*existing, juce::dontSendNotification);
        }
        else
        {
            savePreset (name);
            setText (name, juce::dontSendNotification);
        }
    }

    showPresetMenu();
}
