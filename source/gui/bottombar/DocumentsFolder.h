#pragma once

#include <juce_core/juce_core.h>

/** The user's personal documents folder as a path string, as the platform reports it;
    empty when it cannot be found. On Linux JUCE follows the XDG user-dirs settings
    (XDG_DOCUMENTS_DIR, else ~/Documents); on Windows it is the shell's "My Documents". */
inline juce::String userDocumentsPath()
{
    const auto folder = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
    return folder == juce::File() ? juce::String() : folder.getFullPathName();
}
