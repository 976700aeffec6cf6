#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

/** The preset files: one XML file per preset, named after the preset, in a folder under the
    user's documents folder. Paths, names, the listing, safe saving and deleting live here;
    the preset bar's label calls these and keeps only what it shows. Message thread only. */
namespace PresetStore
{
    /** The folder's part of every preset path, and the extension of a preset file. */
    inline const juce::String presetFolderName { "/Vantorel_Presets/" };
    inline const juce::String presetExtension { ".vtrpreset" };

    /** The folder holding the presets. */
    juce::File presetFolder();

    /** The file a preset name is stored in (the name as it is, nothing escaped). */
    juce::File presetFile (const juce::String& name);

    /** Names of the presets in the folder, in the order the file system lists them. */
    juce::StringArray listPresets();

    /** A typed name made safe as a file name inside the preset folder: path separators and
        characters no file system accepts become '_', and a name Windows keeps for a device
        (CON, NUL, COM1, ...) gets a '_' after it, so the preset lands in the folder and is
        listed under exactly this name on every platform. */
    juce::String makeSafeName (const juce::String& typed);

    /** The name a typed text is saved under: its first maxLength characters, made safe. */
    juce::String nameToSave (const juce::String& typed, int maxLength);

    /** The listed name of the preset whose file saving under `name` would overwrite, if any:
        the same name, or, where the file system ignores letter case, the same name in other
        letters. Whether names differing in case are the same file defaults to what the
        platform's file systems do; the file system is asked as well, so a case-blind volume
        on a case-sensitive platform is caught too. */
    std::optional<juce::String> presetSavedAs (const juce::String& name,
                                               bool namesIgnoreCase = ! juce::File::areFileNamesCaseSensitive());

    /** Applies the named preset's file to the parameters if it is a valid parameter tree
        (clearing the undo history); false, changing nothing, otherwise. */
    bool load (juce::AudioProcessorValueTreeState& parameters, const juce::String& name);

    /** Writes the parameters as the named preset (the name made safe), replacing one of the
        same name. An existing preset stays as it was if the new one cannot be written. */
    bool save (juce::AudioProcessorValueTreeState& parameters, const juce::String& name);

    /** Removes the named preset's file: into the desktop's trash where there is one (so a
        misclick can be undone there), deleted otherwise. False if there was no such file or
        it could not be removed. */
    bool remove (const juce::String& name);

    /** Moves a file into the desktop's trash: the freedesktop.org trash of the user on Linux
        (restorable from the file manager), the Recycle Bin on Windows. False, leaving the
        file where it is, when there is no trash to move it to. */
    bool moveToTrash (const juce::File& file);
} // namespace PresetStore
