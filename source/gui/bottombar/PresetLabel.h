#pragma once

#include "PresetManagerLAF.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** The preset bar's name label, and the preset store: presets are XML files named after
    the preset in a folder under the user's documents folder. The label shows the current
    preset's name, opens a menu of all presets when clicked and saves under a new name
    when one is typed (double click). */
class PresetLabel : public juce::Label
{
public:
    explicit PresetLabel (juce::AudioProcessorValueTreeState& state);
    ~PresetLabel() override;

    //==============================================================================
    // The store.

    /** Names of the presets in the folder, in the order the file system lists them. */
    static juce::StringArray listPresets();

    /** Applies the named preset if its file is valid; shows the name either way. */
    void loadPreset (const juce::String& name);

    /** Applies the preset at a position of a fresh listing (nothing outside it). */
    void loadPresetAt (int position);

    /** Writes the current parameters as the named preset, replacing one of the same name.
        The old file stays as it was if the new one cannot be written. */
    void savePreset (const juce::String& name);

    /** Deletes the preset at a position of a fresh listing (nothing outside it). */
    void deletePresetAt (int position);

    /** The file a preset name is stored in. */
    static juce::File presetFile (const juce::String& name);

    /** The folder holding the presets. */
    static juce::File presetFolder();

    /** A typed name made safe as a file name inside the preset folder: path separators and
        characters no file system accepts become '_', and a name Windows keeps for a device
        (CON, NUL, COM1, ...) gets a '_' after it, so the preset lands in the folder and is
        listed under exactly this name on every platform. */
    static juce::String makeSafeName (const juce::String& typed);

    //==============================================================================
    // The bar's actions.

    void refreshMenu();
    void showPresetMenu();
    void previousPreset();
    void nextPreset();
    void deleteCurrentPreset();

    void mouseUp (const juce::MouseEvent&) override;
    void textWasEdited() override;

    static inline const juce::String presetFolderName { "/Vantorel_Presets/" };
    static inline const juce::String presetExtension { ".vtrpreset" };

    juce::AudioProcessorValueTreeState& valueTreeState;
    juce::PopupMenu presetMenu;
    juce::StringArray presetNames;
    const juce::String noPresetText { "No preset selected" };
    PresetManagerLAF menuLookAndFeel;
    const int maxNameLength = 25;

private:
    void apply (const juce::String& name);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetLabel)
};
