#include "PresetStore.h"

#include "DocumentsFolder.h"
#include "processor/ParameterTreeReader.h"

#if JUCE_LINUX || JUCE_BSD
 #include <cerrno>
 #include <cstdio>
 #include <cstring>
 #include <sys/stat.h>
 #include <fcntl.h>
 #include <unistd.h>
#endif

namespace PresetStore
{
juce::File presetFolder()
{
    return juce::File (userDocumentsPath() + presetFolderName);
}

juce::File presetFile (const juce::String& name)
{
    return juce::File (userDocumentsPath() + presetFolderName + name + presetExtension);
}

juce::StringArray listPresets()
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

juce::String makeSafeName (const juce::String& typed)
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

juce::String nameToSave (const juce::String& typed, int maxLength)
{
    // Cut first: a cut can leave a device name behind ("CON" and spaces), which the
    // safe name then mends.
    return makeSafeName (typed.substring (0, juce::jmax (0, maxLength)));
}

std::optional<juce::String> presetSavedAs (const juce::String& name, bool namesIgnoreCase)
{
    const auto names = listPresets();

    if (names.contains (name))
        return name;

    const int sameIgnoringCase = names.indexOf (name, true);

    if (namesIgnoreCase && sameIgnoringCase >= 0)
        return names[sameIgnoringCase];

    // Whatever the platform usually does, the volume holding the folder has the last word.
    if (presetFile (name).exists())
        return sameIgnoringCase >= 0 ? names[sameIgnoringCase] : name;

    return std::nullopt;
}

bool load (juce::AudioProcessorValueTreeState& parameters, const juce::String& name)
{
    const auto tree = ParameterTreeReader::fromFile (presetFile (name));
    return ParameterTreeReader::install (parameters, tree.get());
}

bool save (juce::AudioProcessorValueTreeState& parameters, const juce::String& name)
{
    const auto file = presetFile (makeSafeName (name));
    const auto xml = parameters.copyState().createXml();

    if (xml == nullptr || ! file.getParentDirectory().createDirectory())
        return false;

    // writeTo goes through a temporary file beside the target and moves it into place,
    // so a failed write leaves an existing preset untouched.
    return xml->writeTo (file);
}

bool remove (const juce::String& name)
{
    const auto file = presetFile (name);

    if (! file.existsAsFile())
        return false;

    return moveToTrash (file) || file.deleteFile();
}

//==============================================================================
#if JUCE_LINUX || JUCE_BSD
namespace
{
    /** A path as the trash's info files record it: bytes outside RFC 2396's unreserved set
        (and '/') escaped as %XX. */
    juce::String escapedPath (const juce::String& path)
    {
        juce::String escaped;
        const char* unreserved = "-_.!~*'()/";

        for (auto* p = path.toRawUTF8(); *p != 0; ++p)
        {
            const auto byte = (unsigned char) *p;

            if (juce::CharacterFunctions::isLetterOrDigit ((char) byte) && byte < 128)
                escaped << (char) byte;
            else if (std::strchr (unreserved, (int) byte) != nullptr)
                escaped << (char) byte;
            else
                escaped << "%" << juce::String::toHexString ((int) byte).paddedLeft ('0', 2).toUpperCase();
        }

        return escaped;
    }

    /** Creates a file only if there is none of that name (the trash's way of claiming a name). */
    bool createExclusively (const juce::File& file, const juce::String& content)
    {
        const int fd = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL, 0600);

        if (fd < 0)
            return false;

        const auto* bytes = content.toRawUTF8();
        const auto size = content.getNumBytesAsUTF8();
        const bool written = ::write (fd, bytes, size) == (ssize_t) size;
        return (::close (fd) == 0) && written;
    }

    /** The user's trash (as freedesktop.org desktops lay it out): $XDG_DATA_HOME/Trash,
        by default ~/.local/share/Trash, created when missing. */
    juce::File homeTrash()
    {
        const auto dataHome = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_HOME", {});
        const auto base = juce::File::isAbsolutePath (dataHome) ? juce::File (dataHome)
                                                               : juce::File ("~/.local/share");
        return base.getChildFile ("Trash");
    }
} // namespace

bool moveToTrash (const juce::File& file)
{
    if (! file.exists())
        return false;

    const auto trash = homeTrash();
    const auto files = trash.getChildFile ("files");
    const auto info = trash.getChildFile ("info");

    if (! files.createDirectory() || ! info.createDirectory())
        return false;

    ::chmod (trash.getFullPathName().toRawUTF8(), 0700);

    const auto stem = file.getFileNameWithoutExtension();
    const auto extension = file.getFileExtension();
    const auto record = "[Trash Info]\nPath=" + escapedPath (file.getFullPathName())
                        + "\nDeletionDate=" + juce::Time::getCurrentTime().formatted ("%Y-%m-%dT%H:%M:%S") + "\n";

    // The info file claims the name; another program trashing a file of the same name at
    // the same moment then takes the next one.
    for (int attempt = 1; attempt < 1000; ++attempt)
    {
        const auto name = attempt == 1 ? file.getFileName() : stem + "." + juce::String (attempt) + extension;
        const auto infoFile = info.getChildFile (name + ".trashinfo");
        const auto target = files.getChildFile (name);

        if (target.exists() || ! createExclusively (infoFile, record))
            continue;

        if (::rename (file.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) == 0)
            return true;

        // Another volume: the trash there is not ours to create; copy into the home trash.
        if (errno == EXDEV && file.existsAsFile() && file.copyFileTo (target))
        {
            if (file.deleteFile())
                return true;

            target.deleteFile();
        }

        infoFile.deleteFile();
        return false;
    }

    return false;
}
#else
bool moveToTrash (const juce::File& file)
{
    // The Recycle Bin on Windows.
    return file.exists() && file.moveToTrash() && ! file.exists();
}
#endif
} // namespace PresetStore
