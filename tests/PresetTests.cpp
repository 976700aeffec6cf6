// The preset store and the preset bar, with an empty preset folder for every test: on Linux
// in a scratch HOME, on Windows in the user's real Documents folder (under Wine, the test
// prefix's own).

#include "helpers/MessageLoop.h"
#include "helpers/ProcessorHelpers.h"

#include "gui/bottombar/PresetsArea.h"
#include "gui/bottombar/TopBar.h"

#include <gtest/gtest.h>

#include <map>

#if ! JUCE_WINDOWS
 #include <unistd.h>
#endif

using namespace testhelpers;

namespace
{
#if JUCE_WINDOWS
    /** Windows asks the shell for the documents folder, which no environment variable moves:
        the tests use the real one, with any presets already there moved aside meanwhile. */
    struct ScopedDocuments
    {
        juce::File documents { juce::File::getSpecialLocation (juce::File::userDocumentsDirectory) };
        juce::File aside { juce::File::getSpecialLocation (juce::File::tempDirectory)
                               .getNonexistentChildFile ("vantorel-presets-moved-aside", {}) };
        bool movedAside = false;
        bool ready = false; // false: the user's own presets are in the way, so touch nothing

        ScopedDocuments()
        {
            movedAside = presets().exists();
            ready = ! movedAside || presets().moveFileTo (aside);
        }

        ~ScopedDocuments()
        {
            if (! ready)
                return;
            EXPECT_TRUE (presets().deleteRecursively()) << "cannot empty " << presets().getFullPathName();
            if (movedAside)
            {
                EXPECT_TRUE (aside.moveFileTo (presets())) << "the presets that were there are at " << aside.getFullPathName();
            }
        }

        /** The folder the tests look through for stray preset files. */
        juce::File root() const { return documents; }
        juce::File presets() const { return documents.getChildFile ("Vantorel_Presets"); }
    };
#else
    /** Points HOME (and with it the documents folder) at a fresh temporary folder. */
    struct ScopedDocuments
    {
        juce::TemporaryFile folder { "vantorel-home" };
        juce::String previous { juce::SystemStats::getEnvironmentVariable ("HOME", {}) };
        const bool ready = true;

        juce::String previousDataHome { juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {}) };

        ScopedDocuments()
        {
            folder.getFile().createDirectory();
            setenv ("HOME", folder.getFile().getFullPathName().toRawUTF8(), 1);
            unsetenv ("XDG_DATA_HOME"); // the trash goes to HOME/.local/share/Trash
        }

        ~ScopedDocuments()
        {
            setenv ("HOME", previous.toRawUTF8(), 1);
            if (previousDataHome.isNotEmpty())
                setenv ("XDG_DATA_HOME", previousDataHome.toRawUTF8(), 1);
            folder.getFile().deleteRecursively();
        }

        /** The folder the tests look through for stray preset files. */
        juce::File root() const { return folder.getFile(); }
        juce::File presets() const { return folder.getFile().getChildFile ("Documents/Vantorel_Presets"); }
    };
#endif

    /** Whether a folder made read-only keeps this process from writing into it: not for
        root, and not on Windows, where the attribute does not protect a folder's content. */
    bool readOnlyFoldersStopWrites()
    {
       #if JUCE_WINDOWS
        return false;
       #else
        return geteuid() != 0;
       #endif
    }

    struct PresetFixture : ::testing::Test
    {
        ScopedDocuments home;
        TemplateAudioProcessor processor;
        PresetsArea bar { processor.apvts };
        PresetLabel& label = bar.presetLabel;

        juce::File folder() const { return home.presets(); }

        /** Writes a preset file directly (no temporary file, so even names at the length limit work). */
        void writePreset (const juce::String& fileName, const juce::String& rootTag, float feedback)
        {
            folder().createDirectory();
            const auto file = folder().getChildFile (fileName);
            file.deleteFile();
            juce::FileOutputStream out (file);
            out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<" << rootTag << "><PARAM id=\"feedback\" value=\""
                << juce::String (feedback) << "\"/></" << rootTag << ">\r\n";
        }

        void type (const juce::String& text)
        {
            label.showEditor();
            auto* editor = label.getCurrentTextEditor();
            ASSERT_NE (editor, nullptr);
            editor->setText (text, false);
            label.hideEditor (false);
        }

        float feedback() { return rawValue (processor, "feedback"); }

        /** A release of the mouse over the label's centre, as the n-th click. */
        juce::MouseEvent release (juce::ModifierKeys mods, int clicks)
        {
            const auto at = label.getLocalBounds().getCentre().toFloat();
            const auto now = juce::Time::getCurrentTime();
            return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), at, mods,
                                     juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                                     &label, &label, now, at, now, clicks, false);
        }

        void SetUp() override { ASSERT_TRUE (home.ready) << "cannot move " << home.presets().getFullPathName() << " aside"; }
    };
} // namespace

TEST_F (PresetFixture, DocumentsFolderFollowsTheUsersHome)
{
    EXPECT_EQ (PresetStore::presetFolder(), folder());
    EXPECT_EQ (PresetStore::presetFile ("warm"), folder().getChildFile ("warm.vtrpreset"));
}

TEST_F (PresetFixture, SaveAndLoadRestoreAllNineValuesAndClearTheHistory)
{
    EXPECT_TRUE (PresetLabel::listPresets().isEmpty()); // no folder yet

    setAll (processor, nonDefaultValues());
    const auto saved = allValues (processor);
    label.savePreset ("everything");
    ASSERT_TRUE (folder().getChildFile ("everything.vtrpreset").existsAsFile());
    EXPECT_EQ (PresetLabel::listPresets(), juce::StringArray ("everything"));

    const auto text = folder().getChildFile ("everything.vtrpreset").loadFileAsString();
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<pluginParameter>")) << text;

    TemplateAudioProcessor fresh;
    setAll (processor, allValues (fresh));
    processor.undoManager.beginNewTransaction();
    processor.apvts.copyState(); // the tree picks the changes up, as its timer would
    ASSERT_TRUE (processor.undoManager.canUndo());

    label.loadPreset ("everything");
    EXPECT_EQ (allValues (processor), saved);
    EXPECT_EQ (label.getText(), "everything");
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST_F (PresetFixture, StoreEdgeCases)
{
    // Saving under an existing name replaces the file's content.
    setParameter (processor, "feedback", 0.2f);
    label.savePreset ("a");
    setParameter (processor, "feedback", 0.9f);
    label.savePreset ("a");
    setParameter (processor, "feedback", 0.5f);
    label.loadPreset ("a");
    EXPECT_FLOAT_EQ (feedback(), 0.9f);

    // a.vtrpreset.vtrpreset is listed as "a", and loading "a" reads a.vtrpreset.
    writePreset ("a.vtrpreset.vtrpreset", "pluginParameter", 0.1f);
    auto names = PresetLabel::listPresets();
    names.sort (false);
    EXPECT_EQ (names, juce::StringArray ("a", "a"));
    label.loadPreset ("a");
    EXPECT_FLOAT_EQ (feedback(), 0.9f);

    // The root tag in other letter case is applied; another root type is not.
    writePreset ("caps.vtrpreset", "PLUGINPARAMETER", 0.33f);
    label.loadPreset ("caps");
    EXPECT_FLOAT_EQ (feedback(), 0.33f);
    writePreset ("other.vtrpreset", "somethingElse", 0.77f);
    label.loadPreset ("other");
    EXPECT_FLOAT_EQ (feedback(), 0.33f);
    EXPECT_EQ (label.getText(), "other");

    // A missing file changes nothing but still names the label.
    label.loadPreset ("ghost");
    EXPECT_FLOAT_EQ (feedback(), 0.33f);
    EXPECT_EQ (label.getText(), "ghost");

    // Malformed XML changes nothing.
    folder().getChildFile ("broken.vtrpreset").replaceWithText ("<pluginParameter><PARAM id=");
    label.loadPreset ("broken");
    EXPECT_FLOAT_EQ (feedback(), 0.33f);

    // A document type declaration (whose entities could keep the parser busy for ever) is refused.
    folder().getChildFile ("entities.vtrpreset").replaceWithText (
        "<?xml version=\"1.0\"?>\r\n<!DOCTYPE pluginParameter [<!ENTITY f \"<PARAM id='feedback' value='0.9'/>\">]>\r\n"
        "<pluginParameter>&f;</pluginParameter>\r\n");
    label.loadPreset ("entities");
    EXPECT_FLOAT_EQ (feedback(), 0.33f);

    // So is a processing instruction inside the tree (text after one keeps the parser busy).
    folder().getChildFile ("instruction.vtrpreset").replaceWithText (
        "<?xml version=\"1.0\"?>\r\n<pluginParameter><?x?>text<PARAM id=\"feedback\" value=\"0.9\"/></pluginParameter>\r\n");
    label.loadPreset ("instruction");
    EXPECT_FLOAT_EQ (feedback(), 0.33f);

    // And elements nested deep enough to overflow the parser's stack.
    folder().getChildFile ("deep.vtrpreset").replaceWithText (
        "<pluginParameter>" + juce::String::repeatedString ("<PARAM>", 100000) + "</pluginParameter>");
    label.loadPreset ("deep");
    EXPECT_FLOAT_EQ (feedback(), 0.33f);

    // A preset saved by an editor that writes a byte order mark still loads, declaration and all.
    const std::string marked = "\xef\xbb\xbf<?xml version=\"1.0\"?>\r\n"
                               "<pluginParameter><PARAM id=\"feedback\" value=\"0.5\"/></pluginParameter>\r\n";
    folder().getChildFile ("marked.vtrpreset").replaceWithData (marked.data(), marked.size());
    label.loadPreset ("marked");
    EXPECT_FLOAT_EQ (feedback(), 0.5f);
    setParameter (processor, "feedback", 0.33f);

    // The empty name is the file ".vtrpreset", listed as an empty name.
    label.savePreset ("");
    EXPECT_TRUE (folder().getChildFile (".vtrpreset").existsAsFile());
    EXPECT_TRUE (PresetLabel::listPresets().contains (""));

    // Positions outside the listing load and delete nothing.
    label.loadPresetAt (99);
    EXPECT_FLOAT_EQ (feedback(), 0.33f);
    label.deletePresetAt (99);
    EXPECT_TRUE (folder().getChildFile (".vtrpreset").existsAsFile());
}

TEST_F (PresetFixture, ExtensionInCapitalsIsListedUnderItsWholeFileName)
{
    // JUCE matches the listing pattern without regard to letter case on every platform, but the
    // name is cut at the extension in small letters only: the name is the whole file name, and
    // loading it looks for another file. Only a file system that ignores case finds it as "A".
    writePreset ("A.VTRPRESET", "pluginParameter", 0.25f);
    EXPECT_EQ (PresetLabel::listPresets(), juce::StringArray ("A.VTRPRESET"));

    const auto before = feedback();
    label.loadPreset ("A.VTRPRESET");
    EXPECT_FLOAT_EQ (feedback(), before);
    label.loadPreset ("A");
    EXPECT_FLOAT_EQ (feedback(), juce::File::areFileNamesCaseSensitive() ? before : 0.25f);
}

TEST_F (PresetFixture, DeleteRemovesOnlyThePresetTheLabelNames)
{
    label.savePreset ("");      // a preset the user saved under the empty name
    label.savePreset ("keep");
    label.savePreset ("drop");

    label.setText ("not a preset", juce::dontSendNotification);
    label.deleteCurrentPreset();
    EXPECT_TRUE (folder().getChildFile (".vtrpreset").existsAsFile());
    EXPECT_EQ (PresetLabel::listPresets().size(), 3);

    setParameter (processor, "cutoff", 2500.0f);
    label.setText ("drop", juce::dontSendNotification);
    bar.deleteButton.triggerClick();
    testhelpers::pumpMessages (30);
    EXPECT_FALSE (folder().getChildFile ("drop.vtrpreset").exists());
    EXPECT_TRUE (folder().getChildFile ("keep.vtrpreset").existsAsFile());
    EXPECT_TRUE (folder().getChildFile (".vtrpreset").existsAsFile());
    EXPECT_EQ (label.getText(), "No preset selected");
    EXPECT_FLOAT_EQ (rawValue (processor, "cutoff"), 2500.0f);
}

TEST_F (PresetFixture, AFailedSaveKeepsTheOldPreset)
{
    struct Case
    {
        const char* name;
        juce::String presetName;
        bool lockFolder;
    };

    // Longest file name the file system takes: the temporary file beside it cannot be made.
    const auto longName = juce::String::repeatedString ("n", 255 - 10);
    const Case cases[] = {
        { "temporary file cannot be created", longName, false },
        { "read-only folder", "locked", true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        if (c.lockFolder && ! readOnlyFoldersStopWrites())
            continue;

        const auto target = folder().getChildFile (c.presetName + ".vtrpreset");
        writePreset (target.getFileName(), "pluginParameter", 0.42f);
        ASSERT_TRUE (target.existsAsFile());
        const auto before = target.loadFileAsString();

        if (c.lockFolder)
            folder().setReadOnly (true);

        setParameter (processor, "feedback", 0.11f);
        label.savePreset (c.presetName);

        if (c.lockFolder)
            folder().setReadOnly (false);

        EXPECT_EQ (target.loadFileAsString(), before);
    }
}

TEST_F (PresetFixture, NamesNeverLeaveThePresetFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        { "../escape", ".._escape" },
        { "sub/dir", "sub_dir" },
        { "back\\slash", "back_slash" },
        { "what?", "what_" },
        // The rest of what Windows refuses in a file name (':' would even open a stream of
        // another file there).
        { "a<b>c", "a_b_c" },
        { "drive:stream", "drive_stream" },
        { "\"quoted\"", "_quoted_" },
        { "pipe|star*", "pipe_star_" },
        { "tab\there", "tab_here" },
        // Names Windows opens as devices, whatever the extension; look-alikes stay as typed.
        { "con", "con_" },
        { "NUL", "NUL_" },
        { "Aux.old", "Aux_.old" },
        { "prn ", "prn _" },
        { "com1", "com1_" },
        { "LPT9.a.b", "LPT9_.a.b" },
        { "console", "console" },
        { "com10", "com10" },
        { "nullify", "nullify" },
    };

    for (const auto& [typed, stored] : cases)
    {
        SCOPED_TRACE (typed);
        type (typed);
        EXPECT_EQ (label.getText(), stored);
        EXPECT_TRUE (folder().getChildFile (juce::String (stored) + ".vtrpreset").existsAsFile());
        EXPECT_TRUE (PresetLabel::listPresets().contains (stored));
    }

    EXPECT_FALSE (folder().getParentDirectory().getChildFile ("escape.vtrpreset").exists());
    const auto everything = home.root().findChildFiles (juce::File::findFiles, true, "*.vtrpreset");
    for (const auto& f : everything)
        EXPECT_EQ (f.getParentDirectory(), folder()) << f.getFullPathName();
}

TEST_F (PresetFixture, BarWithoutPresets)
{
    const auto before = allValues (processor);
    bar.nextButton.triggerClick();
    bar.previousButton.triggerClick();
    bar.saveButton.triggerClick();
    testhelpers::pumpMessages (30);

    EXPECT_EQ (label.getText(), "No preset selected");
    EXPECT_FALSE (folder().exists()); // Save with no preset named wrote nothing
    EXPECT_EQ (allValues (processor), before);

    label.refreshMenu();
    EXPECT_EQ (label.presetMenu.getNumItems(), 0);
}

TEST_F (PresetFixture, PreviousAndNextWalkTheListingWithoutWrapping)
{
    for (const auto* name : { "one", "two", "three" })
    {
        setParameter (processor, "delay", (float) juce::String (name).length() * 0.1f);
        label.savePreset (name);
    }
    const auto order = PresetLabel::listPresets(); // the file system's order
    label.refreshMenu();
    ASSERT_EQ (order.size(), 3);

    label.previousPreset(); // nothing selected: nothing happens
    EXPECT_EQ (label.getText(), "No preset selected");

    label.nextPreset();
    EXPECT_EQ (label.getText(), order[0]);
    EXPECT_FLOAT_EQ (rawValue (processor, "delay"), (float) order[0].length() * 0.1f);

    label.previousPreset(); // at the first: no wrap-around
    EXPECT_EQ (label.getText(), order[0]);

    label.nextPreset();
    label.nextPreset();
    EXPECT_EQ (label.getText(), order[2]);
    label.nextPreset(); // at the last: no wrap-around
    EXPECT_EQ (label.getText(), order[2]);

    label.previousPreset();
    EXPECT_EQ (label.getText(), order[1]);
    EXPECT_FLOAT_EQ (rawValue (processor, "delay"), (float) order[1].length() * 0.1f);

    // A name that is not listed moves to the first preset.
    label.setText ("stranger", juce::dontSendNotification);
    label.nextPreset();
    EXPECT_EQ (label.getText(), order[0]);
}

TEST_F (PresetFixture, TypingNames)
{
    // A long name is cut to its first 25 characters.
    type ("abcdefghijklmnopqrstuvwxyz1234");
    EXPECT_EQ (label.getText(), "abcdefghijklmnopqrstuvwxy");
    EXPECT_TRUE (PresetLabel::listPresets().contains ("abcdefghijklmnopqrstuvwxy"));
    EXPECT_TRUE (label.presetNames.contains ("abcdefghijklmnopqrstuvwxy")); // the menu was refreshed

    // Typing an existing name neither loads nor overwrites it; a following Save does overwrite.
    setParameter (processor, "feedback", 0.3f);
    label.savePreset ("mine");
    setParameter (processor, "feedback", 0.6f);
    type ("mine");
    EXPECT_EQ (label.getText(), "mine");
    EXPECT_FLOAT_EQ (feedback(), 0.6f);
    label.loadPreset ("mine");
    EXPECT_FLOAT_EQ (feedback(), 0.3f);
    setParameter (processor, "feedback", 0.6f);
    type ("mine");
    bar.saveButton.triggerClick();
    testhelpers::pumpMessages (30);
    setParameter (processor, "feedback", 0.1f);
    label.loadPreset ("mine");
    EXPECT_FLOAT_EQ (feedback(), 0.6f);

    // Clearing the text saves nothing; a following Save writes the empty name.
    type ("");
    EXPECT_EQ (label.getText(), "");
    EXPECT_FALSE (folder().getChildFile (".vtrpreset").exists());
    bar.saveButton.triggerClick();
    testhelpers::pumpMessages (30);
    EXPECT_TRUE (folder().getChildFile (".vtrpreset").existsAsFile());
}

TEST_F (PresetFixture, TypingANameNeverOverwritesAnotherPreset)
{
    struct Case
    {
        const char* what;
        juce::StringArray existing; // preset names already in the folder
        juce::String typed;
        bool namesIgnoreCase;
        juce::String shown;   // the label afterwards
        juce::String written; // the new preset, or empty when nothing may be written
    };

    const auto first25 = juce::String ("abcdefghijklmnopqrstuvwxy");
    const Case cases[] = {
        { "30 characters whose first 25 name a preset", { first25 }, first25 + "z1234", false, first25, {} },
        { "a name that is made safe into an existing one", { "a_b" }, "a/b", false, "a_b", {} },
        { "a device name whose safe form exists", { "con_" }, "con", false, "con_", {} },
        { "other letter case where names ignore it", { "Lead" }, "lead", true, "Lead", {} },
        { "capitals where names ignore letter case", { "Lead" }, "LEAD", true, "Lead", {} },
        { "the same name", { "Lead" }, "Lead", false, "Lead", {} },
        { "other letter case where case counts", { "Lead" }, "lead", false, "lead", "lead" },
        { "a new name", { "Lead", "Pad" }, "Bass", false, "Bass", "Bass" },
        { "a new long name", { first25.substring (0, 24) }, first25 + "z1234", false, first25, first25 },
        { "a new name made safe", { "Lead" }, "a:b", true, "a_b", "a_b" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        folder().deleteRecursively();

        std::map<juce::String, juce::MemoryBlock> before;
        for (const auto& name : c.existing)
        {
            writePreset (name + ".vtrpreset", "pluginParameter", 0.25f);
            folder().getChildFile (name + ".vtrpreset").loadFileAsData (before[name]);
        }

        // A volume that ignores letter case (Windows, and Wine's view of any folder) has the
        // last word, whatever the label was told.
        const bool volumeIgnoresCase = folder().getChildFile (c.existing[0].toUpperCase() + ".vtrpreset").exists()
                                       && c.existing[0] != c.existing[0].toUpperCase();
        const bool sameFile = volumeIgnoresCase && c.typed.equalsIgnoreCase (c.existing[0]);
        const auto shown = sameFile ? c.existing[0] : c.shown;
        const auto written = sameFile ? juce::String() : c.written;

        setParameter (processor, "feedback", 0.8f);
        label.fileNamesIgnoreCase = c.namesIgnoreCase;
        type (c.typed);

        EXPECT_EQ (label.getText(), shown);
        auto listed = PresetLabel::listPresets();
        EXPECT_EQ (listed.size(), c.existing.size() + (written.isEmpty() ? 0 : 1));

        for (const auto& [name, bytes] : before)
        {
            juce::MemoryBlock now;
            folder().getChildFile (name + ".vtrpreset").loadFileAsData (now);
            EXPECT_EQ (now, bytes) << name << " was overwritten";
        }

        if (written.isNotEmpty())
        {
            EXPECT_TRUE (listed.contains (written));
            label.loadPreset (written);
            EXPECT_FLOAT_EQ (feedback(), 0.8f);
        }
    }
}

TEST_F (PresetFixture, DeleteMovesThePresetToTheTrash)
{
    setParameter (processor, "feedback", 0.35f);
    label.savePreset ("drop");
    juce::MemoryBlock saved;
    folder().getChildFile ("drop.vtrpreset").loadFileAsData (saved);

    label.setText ("drop", juce::dontSendNotification);
    bar.deleteButton.triggerClick();
    pumpMessages (30);
    EXPECT_FALSE (folder().getChildFile ("drop.vtrpreset").exists());
    EXPECT_EQ (label.getText(), "No preset selected");

#if JUCE_WINDOWS
    // Under Wine the Recycle Bin is the freedesktop.org trash of XDG_DATA_HOME (a folder of
    // the build, see cmake/mingw-w64-x86_64.cmake), seen through Wine's drive for the Unix root.
    const auto unixDataHome = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});
    if (unixDataHome.startsWithChar ('/'))
    {
        const juce::File bin ("Z:" + unixDataHome.replaceCharacter ('/', '\\') + "\\Trash\\files");
        EXPECT_TRUE (bin.getChildFile ("drop.vtrpreset").existsAsFile()) << "not in " << bin.getFullPathName();
    }
#else
    // The user's freedesktop.org trash: the file itself, and where it came from, so the
    // file manager can put it back.
    const auto trash = home.root().getChildFile (".local/share/Trash");
    const auto trashed = trash.getChildFile ("files/drop.vtrpreset");
    ASSERT_TRUE (trashed.existsAsFile());
    juce::MemoryBlock inTrash;
    trashed.loadFileAsData (inTrash);
    EXPECT_EQ (inTrash, saved);

    const auto info = trash.getChildFile ("info/drop.vtrpreset.trashinfo").loadFileAsString();
    EXPECT_TRUE (info.startsWith ("[Trash Info]\n"));
    EXPECT_TRUE (info.contains ("\nPath=" + folder().getChildFile ("drop.vtrpreset").getFullPathName() + "\n"));
    EXPECT_TRUE (info.contains ("\nDeletionDate=" + juce::Time::getCurrentTime().formatted ("%Y-%m-%d")));

    // A second preset of the same name goes in beside it; names with spaces are escaped.
    label.savePreset ("drop");
    label.setText ("drop", juce::dontSendNotification);
    bar.deleteButton.triggerClick();
    pumpMessages (30);
    EXPECT_FALSE (folder().getChildFile ("drop.vtrpreset").exists());
    EXPECT_TRUE (trash.getChildFile ("files/drop.2.vtrpreset").existsAsFile());
    EXPECT_TRUE (trash.getChildFile ("info/drop.2.vtrpreset.trashinfo").existsAsFile());

    label.savePreset ("warm pad");
    label.setText ("warm pad", juce::dontSendNotification);
    bar.deleteButton.triggerClick();
    pumpMessages (30);
    EXPECT_TRUE (trash.getChildFile ("info/warm pad.vtrpreset.trashinfo").loadFileAsString().contains ("warm%20pad.vtrpreset"));

    // Where no trash can be made, the preset is deleted as before.
    trash.deleteRecursively();
    trash.replaceWithText ("a file where the trash folder should be");
    label.savePreset ("gone");
    label.setText ("gone", juce::dontSendNotification);
    bar.deleteButton.triggerClick();
    pumpMessages (30);
    EXPECT_FALSE (folder().getChildFile ("gone.vtrpreset").exists());
    EXPECT_EQ (label.getText(), "No preset selected");
#endif
}

TEST_F (PresetFixture, MenuListsPresetsAndLoadsTheChosenOne)
{
    setParameter (processor, "cutoff", 300.0f);
    label.savePreset ("low");
    setParameter (processor, "cutoff", 3000.0f);
    label.savePreset ("high");
    label.refreshMenu();
    ASSERT_EQ (label.presetMenu.getNumItems(), 2);

    auto choose = [this] (const juce::String& name) {
        for (juce::PopupMenu::MenuItemIterator it (label.presetMenu); it.next();)
            if (it.getItem().text == name)
                it.getItem().action();
    };

    choose ("low");
    EXPECT_FLOAT_EQ (rawValue (processor, "cutoff"), 300.0f);
    EXPECT_EQ (label.getText(), "low");

    // The file vanished after the menu was built: nothing applied, the name still shown.
    folder().getChildFile ("high.vtrpreset").deleteFile();
    choose ("high");
    EXPECT_FLOAT_EQ (rawValue (processor, "cutoff"), 300.0f);
    EXPECT_EQ (label.getText(), "high");
}

TEST_F (PresetFixture, BarLayoutAtTheDefaultSize)
{
    bar.setBounds (0, 0, 509, 20);
    EXPECT_EQ (bar.previousButton.getBounds(), juce::Rectangle<int> (0, 0, 50, 20));
    EXPECT_EQ (bar.presetLabel.getBounds(), juce::Rectangle<int> (50, 0, 152, 20));
    EXPECT_EQ (bar.nextButton.getBounds(), juce::Rectangle<int> (202, 0, 50, 20));
    EXPECT_EQ (bar.saveButton.getBounds(), juce::Rectangle<int> (277, 0, 50, 20));
    EXPECT_EQ (bar.deleteButton.getBounds(), juce::Rectangle<int> (352, 0, 50, 20));
    EXPECT_EQ (bar.saveButton.getButtonText(), "Save");
    EXPECT_EQ (bar.deleteButton.getButtonText(), "Delete");
}

TEST (TopBarLayout, FollowsTheStripSizeDownToEveryButton)
{
    ScopedDocuments home;
    TemplateAudioProcessor processor;
    TopBar bar (&processor.undoManager, processor.apvts);

    using R = juce::Rectangle<int>;
    struct Row
    {
        int width, height;
        R undoRedo, presets;
        R undo, redo;
        R previous, label, next, save, remove;
    };
    const Row rows[] = {
        { 636, 24, { 0, 2, 127, 20 }, { 127, 2, 509, 20 }, { 31, 0, 31, 20 }, { 62, 0, 31, 20 },
          { 0, 0, 50, 20 }, { 50, 0, 152, 20 }, { 202, 0, 50, 20 }, { 277, 0, 50, 20 }, { 352, 0, 50, 20 } },
        { 423, 16, { 0, 1, 84, 14 }, { 84, 1, 339, 14 }, { 21, 0, 21, 14 }, { 42, 0, 21, 14 },
          { 0, 0, 33, 14 }, { 33, 0, 101, 14 }, { 134, 0, 33, 14 }, { 183, 0, 33, 14 }, { 232, 0, 33, 14 } },
        { 954, 36, { 0, 3, 190, 30 }, { 190, 3, 764, 30 }, { 47, 0, 47, 30 }, { 94, 0, 47, 30 },
          { 0, 0, 76, 30 }, { 76, 0, 229, 30 }, { 305, 0, 76, 30 }, { 419, 0, 76, 30 }, { 533, 0, 76, 30 } },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (juce::String (row.width) + " x " + juce::String (row.height));
        bar.setSize (row.width, row.height);
        EXPECT_EQ (bar.undoRedoArea.getBounds(), row.undoRedo);
        EXPECT_EQ (bar.presetsArea.getBounds(), row.presets);
        EXPECT_EQ (bar.undoRedoArea.undoButton.getBounds(), row.undo);
        EXPECT_EQ (bar.undoRedoArea.redoButton.getBounds(), row.redo);
        EXPECT_EQ (bar.presetsArea.previousButton.getBounds(), row.previous);
        EXPECT_EQ (bar.presetsArea.presetLabel.getBounds(), row.label);
        EXPECT_EQ (bar.presetsArea.nextButton.getBounds(), row.next);
        EXPECT_EQ (bar.presetsArea.saveButton.getBounds(), row.save);
        EXPECT_EQ (bar.presetsArea.deleteButton.getBounds(), row.remove);
    }

    bar.setSize (636, 24);
    const auto image = bar.createComponentSnapshot (bar.getLocalBounds());
    EXPECT_EQ (image.getPixelAt (1, 0).getARGB(), 0xff000000u); // the strip is black
}

TEST_F (PresetFixture, AnyMouseButtonReleasedOnTheLabelRefreshesAndOpensTheMenu)
{
    const std::pair<const char*, juce::ModifierKeys> buttons[] = {
        { "left", juce::ModifierKeys::leftButtonModifier },
        { "right", juce::ModifierKeys::rightButtonModifier },
    };

    int count = 0;
    for (const auto& [name, mods] : buttons)
    {
        SCOPED_TRACE (name);
        label.savePreset ("added " + juce::String (++count)); // the menu does not know it yet
        ASSERT_FALSE (label.presetNames.contains ("added " + juce::String (count)));

        label.mouseUp (release (mods, 1));

        // The menu waits out the double-click interval, then opens with a fresh listing.
        EXPECT_FALSE (label.presetNames.contains ("added " + juce::String (count)));
        pumpMessages (juce::MouseEvent::getDoubleClickTimeout() + 200);
        EXPECT_TRUE (label.presetNames.contains ("added " + juce::String (count)));
        EXPECT_EQ (label.presetMenu.getNumItems(), count);
        EXPECT_FALSE (label.isBeingEdited()); // a single click never starts editing
    }
}

TEST_F (PresetFixture, ADoubleClickOpensTheNameEditorAndNoMenu)
{
    label.savePreset ("present");
    ASSERT_FALSE (label.presetNames.contains ("present"));

    // The label's own order of events for a double click: release, release of the second
    // click, then the double click.
    const auto left = juce::ModifierKeys::leftButtonModifier;
    label.mouseUp (release (left, 1));
    label.mouseUp (release (left, 2));
    label.mouseDoubleClick (release (left, 2));
    EXPECT_TRUE (label.isBeingEdited());

    pumpMessages (juce::MouseEvent::getDoubleClickTimeout() + 200);
    EXPECT_TRUE (label.isBeingEdited());
    EXPECT_FALSE (label.presetNames.contains ("present")); // no menu was refreshed or shown
    label.hideEditor (true);
}
