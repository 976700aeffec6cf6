#pragma once

#include "PresetManagerLAF.h"
#include "PresetStore.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** The preset bar's name label, and the preset store: presets are XML files named after
    the preset in a folder under the user's documents folder. The label shows the current
    preset's name, opens a menu of all presets when clicked and saves under a new name
    when one is typed (double click). */
class PresetLabel : public juce::Label,
                    private juce::Timer
{
public:
    explicit PresetLabel (juce::AudioProcessorValueTreeState& state);
    ~PresetLabel() override;

    //==============================================================================
    // The store (the files themselves are PresetStore's).

    /** Names of the presets in the folder, in the order the file system lists them. */
    static juce::StringArray listPresets() { return PresetStore::listPresets(); }

    /** Applies the named preset if its file is valid; shows the name either way. */
    void loadPreset (const juce::String& name);

    /** Applies the preset at a position of a fresh listing (nothing outside it). */
    void loadPresetAt (int position);

    /** Writes the current parameters as the named preset, replacing one of the same name.
        The old file stays as it was if the new one cannot be written. */
    void savePreset (const juce::String& name);

    /** Moves the preset at a position of a fresh listing to the trash (nothing outside it). */
    void deletePresetAt (int position);

    //==============================================================================
    // The bar's actions.

    void refreshMenu();
    void showPresetMenu();
    void previousPreset();
    void nextPreset();
    void deleteCurrentPreset();

    /** A single click (any button) opens the menu once the double-click interval has passed
        without a second click; a double click opens the name editor instead. */
    void mouseUp (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void textWasEdited() override;

    juce::AudioProcessorValueTreeState& valueTreeState;
    juce::PopupMenu presetMenu;
    juce::StringArray presetNames;
    const juce::String noPresetText { "No preset selected" };
    PresetManagerLAF menuLookAndFeel;
    const int maxNameLength = 25;

    /** Whether names that differ only in letter case name the same file, as on Windows (the
        file system itself is asked as well; see PresetStore::presetSavedAs). */
    bool fileNamesIgnoreCase = ! juce::File::areFileNamesCaseSensitive();

private:
    void timerCallback() override;
    void menuClosed (int chosenItem);

    int clicksBeforeMenu = 0; // the desktop's click count when the menu opened

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetLabel)
};
