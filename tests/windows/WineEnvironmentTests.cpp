// The Windows the tests run on: Wine with a prefix of its own in the build folder. Files the
// plug-in writes into the user's folders (its presets go under Documents) must land inside
// that prefix, never in the home folder of whoever runs the tests.

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shlobj.h>

#include "gui/bottombar/PresetLabel.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

TEST (WineEnvironment, DocumentsFolderIsAPrivateFolderOfTheTestPrefix)
{
    // What a Windows program is told, the way the plug-in asks for it.
    wchar_t path[MAX_PATH] {};
    ASSERT_TRUE (SHGetSpecialFolderPathW (nullptr, path, CSIDL_PERSONAL, FALSE));
    const juce::File documents (juce::String (juce::CharPointer_UTF16 (reinterpret_cast<const juce::CharPointer_UTF16::CharType*> (path))));
    EXPECT_EQ (documents, juce::File::getSpecialLocation (juce::File::userDocumentsDirectory));
    ASSERT_TRUE (documents.isDirectory()) << documents.getFullPathName();

    // Wine's Z: drive shows the Unix side: the folder must be the prefix's own, not a link
    // to a real home folder.
    const auto prefix = juce::SystemStats::getEnvironmentVariable ("WINEPREFIX", {});
    ASSERT_TRUE (prefix.isNotEmpty());
    const auto probe = documents.getNonexistentChildFile ("vantorel-probe", ".txt");
    ASSERT_TRUE (probe.replaceWithText ("probe"));
    const auto relative = probe.getRelativePathFrom (juce::File ("C:\\"));
    const auto insidePrefix = juce::File ("Z:" + prefix).getChildFile ("drive_c").getChildFile (relative);
    EXPECT_TRUE (insidePrefix.existsAsFile()) << insidePrefix.getFullPathName();
    EXPECT_FALSE (documents.isSymbolicLink());
    probe.deleteFile();
}

TEST (WineEnvironment, PresetsGoToTheWineUsersDocumentsFolderInsideThePrefix)
{
    const auto prefix = juce::SystemStats::getEnvironmentVariable ("WINEPREFIX", {});
    ASSERT_TRUE (prefix.isNotEmpty());

    wchar_t user[256] {};
    DWORD length = 256;
    ASSERT_TRUE (GetUserNameW (user, &length));
    const juce::String userName (juce::CharPointer_UTF16 (reinterpret_cast<const juce::CharPointer_UTF16::CharType*> (user)));

    // As a Windows program sees it, and as the same folder lies on this machine.
    EXPECT_EQ (PresetStore::presetFolder().getFullPathName(), "C:\\users\\" + userName + "\\Documents\\Vantorel_Presets");
    const auto unixSide = juce::File ("Z:" + prefix).getChildFile ("drive_c/users").getChildFile (userName).getChildFile ("Documents/Vantorel_Presets");

    TemplateAudioProcessor processor;
    PresetLabel store (processor.apvts);
    const auto name = unixSide.getNonexistentChildFile ("wine-probe", PresetStore::presetExtension).getFileNameWithoutExtension();
    store.savePreset (name);
    const auto saved = unixSide.getChildFile (name + PresetStore::presetExtension);
    EXPECT_TRUE (saved.existsAsFile()) << saved.getFullPathName();
    EXPECT_TRUE (PresetLabel::listPresets().contains (name));
    saved.deleteFile();
}
