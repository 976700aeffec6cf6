// Looks at the standalone app from outside, as its user does: its window on the display and
// the settings file it leaves behind.
//
//   vantorel_app_check window --title TITLE --reference EDITOR.png --out WINDOW.png [--loose] [--close]
//                             [--timeout S] [--splash-gone] [--exact-size] [--margin N] [--hidden-edge N]
//                             [--panel-out PANEL.png]
//       waits for the window (the app's, or a host's holding the editor), lets JUCE's splash
//       screen go (--splash-gone: it went before), grabs the window from the screen once its
//       picture holds still and checks that it shows the editor's panel as the reference
//       picture does (found anywhere in the window, below its title bar); --exact-size: the
//       window is the reference's size, as a host's window holding only the editor is;
//       --loose allows the knobs and levers to stand elsewhere (the panel around them must
//       still match); --margin grabs N pixels more around the window (editorhost puts the
//       editor a pixel inside its border); --hidden-edge: the host's window hides the panel's
//       last N columns and rows (editorhost's border does so with one); --panel-out keeps the part of the grab where the
//       panel was found; --close then asks the window to close as a window manager's close
//       button does. Prints where the panel is, in the grab and on the screen.
//   vantorel_app_check write-settings FILE [audio=TYPE|DEVICE] id=value...
//       writes a settings file whose saved plug-in state holds these parameter values (and
//       an audio device set up in the app's Options)
//   vantorel_app_check read-settings FILE
//       prints the parameter values of the saved plug-in state and the saved audio device

#include "../tools/XScreen.h"
#include "helpers/SamePixels.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_graphics/juce_graphics.h>

#include <cstdio>
#include <iostream>

namespace
{
    // The control surface: the editor without its bottom strip, whose text a Windows build
    // draws with other fonts. It is 1060 x 340 at the design width and scales with the width.
    int surfaceHeight (const juce::Image& editor) { return (int) (editor.getWidth() / (1060.0 / 340.0)); }

    int fail (const juce::String& message)
    {
        std::cerr << "vantorel_app_check: " << message << std::endl;
        return 1;
    }

    juce::Image toImage (const std::vector<std::uint32_t>& pixels, const XArea& area)
    {
        juce::Image image (juce::Image::RGB, area.width, area.height, false);
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);

        for (int y = 0; y < area.height; ++y)
            for (int x = 0; x < area.width; ++x)
                data.setPixelColour (x, y, juce::Colour (pixels[(size_t) (y * area.width + x)]));

        return image;
    }

    int difference (juce::Colour a, juce::Colour b)
    {
        return std::max ({ std::abs (a.getRed() - b.getRed()), std::abs (a.getGreen() - b.getGreen()),
                           std::abs (a.getBlue() - b.getBlue()) });
    }

    /** Pixels of the reference's control surface that differ, with the reference placed at (dx, dy). */
    int differingPixels (const juce::Image& window, const juce::Image& reference, int dx, int dy, int step, int hiddenEdge)
    {
        int differing = 0;
        for (int y = 0; y < juce::jmin (surfaceHeight (reference), reference.getHeight() - hiddenEdge); y += step)
            for (int x = 0; x < reference.getWidth() - hiddenEdge; x += step)
                differing += difference (window.getPixelAt (x + dx, y + dy), reference.getPixelAt (x, y)) > 16 ? 1 : 0;
        return differing;
    }

    bool grabWindow (const XScreen& screen, unsigned long window, int margin, juce::Image& image, XArea& grabbed)
    {
        std::vector<std::uint32_t> pixels;
        XArea area = screen.windowArea (window);
        if (area.isEmpty())
            return false;
        area = { area.x - margin, area.y - margin, area.width + 2 * margin, area.height + 2 * margin };
        if (! screen.grab (area, pixels, grabbed))
            return false;
        image = toImage (pixels, grabbed);
        return true;
    }

    int checkWindow (const juce::StringArray& args)
    {
        juce::String title;
        juce::File reference, out, panelOut;
        bool close = false, loose = false, splashGone = false, exactSize = false;
        double timeout = 60.0;
        int margin = 0, hiddenEdge = 0;
        const auto cwd = juce::File::getCurrentWorkingDirectory();

        for (int i = 0; i < args.size(); ++i)
        {
            if (args[i] == "--title" && i + 1 < args.size())
                title = args[++i];
            else if (args[i] == "--reference" && i + 1 < args.size())
                reference = cwd.getChildFile (args[++i]);
            else if (args[i] == "--out" && i + 1 < args.size())
                out = cwd.getChildFile (args[++i]);
            else if (args[i] == "--timeout" && i + 1 < args.size())
                timeout = args[++i].getDoubleValue();
            else if (args[i] == "--close")
                close = true;
            else if (args[i] == "--loose")
                loose = true;
            else if (args[i] == "--panel-out" && i + 1 < args.size())
                panelOut = cwd.getChildFile (args[++i]);
            else if (args[i] == "--hidden-edge" && i + 1 < args.size())
                hiddenEdge = juce::jlimit (0, 16, args[++i].getIntValue());
            else if (args[i] == "--margin" && i + 1 < args.size())
                margin = juce::jmax (0, args[++i].getIntValue());
            else if (args[i] == "--splash-gone")
                splashGone = true;
            else if (args[i] == "--exact-size")
                exactSize = true;
            else
                return fail ("unknown option " + args[i]);
        }

        const auto expected = juce::ImageFileFormat::loadFrom (reference).convertedToFormat (juce::Image::RGB);
        if (! expected.isValid())
            return fail ("cannot read the reference picture " + reference.getFullPathName());

        std::string why;
        auto screen = XScreen::open (why);
        if (screen == nullptr)
            return fail (why);

        // The window, once it is on screen and big enough to hold the editor.
        const auto start = juce::Time::getMillisecondCounterHiRes();
        const auto elapsed = [start] { return (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0; };
        unsigned long window = 0;

        for (;; juce::Thread::sleep (100))
        {
            window = screen->findWindow (title.toStdString());
            const auto area = screen->windowArea (window);
            if (window != 0 && area.width >= expected.getWidth() && area.height >= expected.getHeight()
                && (! exactSize || (area.width == expected.getWidth() && area.height == expected.getHeight())))
                break;
            if (elapsed() > timeout)
                return fail ("no window titled '" + title + "' holding the editor (" + juce::String (expected.getWidth()) + " x "
                             + juce::String (expected.getHeight()) + (exactSize ? " exactly" : " or more") + ") appeared within "
                             + juce::String (timeout) + " s" + (window != 0 ? " (it is " + juce::String (area.width) + " x "
                             + juce::String (area.height) + ")" : juce::String()));
        }

        std::cout << "window '" << title << "' appeared after " << juce::String (elapsed(), 1) << " s" << std::endl;

        // JUCE's splash screen shows for two seconds and fades for two; then the picture holds still.
        if (! splashGone)
            juce::Thread::sleep (4500);
        juce::Image image, previous;
        XArea grabbed;

        for (;; juce::Thread::sleep (500))
        {
            if (! grabWindow (*screen, window, margin, image, grabbed))
                return fail ("the window went away");
            if (testhelpers::samePixels (image, previous))
                break;
            if (elapsed() > timeout)
                return fail ("the window's picture never held still");
            previous = image;
        }

        out.deleteFile();
        {
            juce::FileOutputStream stream (out);
            if (! stream.openedOk() || ! juce::PNGImageFormat().writeImageToStream (image, stream))
                return fail ("cannot write " + out.getFullPathName());
        }
        std::cout << "grabbed " << image.getWidth() << " x " << image.getHeight() << " into " << out.getFullPathName() << std::endl;

        // The editor lies somewhere below the title bar (and the app's notice, if shown).
        int bestX = 0, bestY = 0, best = std::numeric_limits<int>::max();
        for (int dy = 0; dy <= image.getHeight() - expected.getHeight(); ++dy)
            for (int dx = 0; dx <= image.getWidth() - expected.getWidth(); ++dx)
                if (const auto d = differingPixels (image, expected, dx, dy, 8, hiddenEdge); d < best)
                    std::tie (best, bestX, bestY) = std::make_tuple (d, dx, dy);

        const int differing = differingPixels (image, expected, bestX, bestY, 1, hiddenEdge);
        const int total = (expected.getWidth() - hiddenEdge) * juce::jmin (surfaceHeight (expected), expected.getHeight() - hiddenEdge);
        std::cout << "editor panel at (" << bestX << ", " << bestY << "): " << differing << " of " << total
                  << " pixels differ from the reference" << std::endl;
        std::cout << "editor panel on screen at (" << grabbed.x + bestX << ", " << grabbed.y + bestY << ")" << std::endl;

        if (panelOut != juce::File())
        {
            panelOut.deleteFile();
            juce::FileOutputStream stream (panelOut);
            const auto panel = image.getClippedImage ({ bestX, bestY, expected.getWidth(), expected.getHeight() });
            if (! stream.openedOk() || ! juce::PNGImageFormat().writeImageToStream (panel, stream))
                return fail ("cannot write " + panelOut.getFullPathName());
        }

        // Strictly, the same picture but for stray pixels; loosely, the panel around knobs and
        // levers (which cover less than a quarter of it) in other positions.
        if (differing > (loose ? total / 4 : total / 1000))
            return fail ("the window does not show the editor's panel (" + juce::String (differing) + " pixels differ)");

        if (close && ! screen->requestClose (window))
            return fail ("the window does not take WM_DELETE_WINDOW");

        return 0;
    }

    //==============================================================================
    juce::PropertiesFile::Options settingsOptions()
    {
        juce::PropertiesFile::Options options;
        options.applicationName = "Vantorel";
        options.filenameSuffix = ".settings";
        return options;
    }

    int writeSettings (const juce::File& file, const juce::StringArray& values)
    {
        juce::XmlElement tree ("pluginParameter");

        juce::PropertiesFile settings (file.withFileExtension (".tmp"), settingsOptions());

        for (const auto& assignment : values)
        {
            // audio=TYPE|DEVICE: the audio device set up in the app's Options.
            if (assignment.startsWith ("audio="))
            {
                juce::XmlElement setup ("DEVICESETUP");
                const auto device = assignment.fromFirstOccurrenceOf ("=", false, false);
                setup.setAttribute ("deviceType", device.upToFirstOccurrenceOf ("|", false, false));
                setup.setAttribute ("audioOutputDeviceName", device.fromFirstOccurrenceOf ("|", false, false));
                setup.setAttribute ("audioInputDeviceName", device.fromFirstOccurrenceOf ("|", false, false));
                settings.setValue ("audioSetup", &setup);
                continue;
            }

            auto* param = tree.createNewChildElement ("PARAM");
            param->setAttribute ("id", assignment.upToFirstOccurrenceOf ("=", false, false));
            param->setAttribute ("value", assignment.fromFirstOccurrenceOf ("=", false, false).getDoubleValue());
        }

        juce::MemoryBlock blob;
        juce::AudioProcessor::copyXmlToBinary (tree, blob);

        settings.setValue ("filterState", blob.toBase64Encoding());
        const auto written = settings.save() && settings.getFile().moveFileTo (file);
        return written ? 0 : fail ("cannot write " + file.getFullPathName());
    }

    int readSettings (const juce::File& file)
    {
        if (! file.existsAsFile())
            return fail ("no settings file " + file.getFullPathName());

        juce::PropertiesFile settings (file, settingsOptions());
        juce::MemoryBlock blob;

        if (! blob.fromBase64Encoding (settings.getValue ("filterState")))
            return fail ("no plug-in state in " + file.getFullPathName());

        const auto tree = juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());
        if (tree == nullptr)
            return fail ("the saved plug-in state is not readable");

        for (auto* param : tree->getChildWithTagNameIterator ("PARAM"))
            std::printf ("%s %g\n", param->getStringAttribute ("id").toRawUTF8(), param->getDoubleAttribute ("value"));

        if (const auto audio = settings.getXmlValue ("audioSetup"))
            std::printf ("audio %s | %s\n", audio->getStringAttribute ("deviceType").toRawUTF8(),
                         audio->getStringAttribute ("audioOutputDeviceName").toRawUTF8());

        return 0;
    }
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;
    for (int i = 2; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    const juce::String command = argc > 1 ? argv[1] : "";
    const auto cwd = juce::File::getCurrentWorkingDirectory();

    if (command == "window")
        return checkWindow (args);

    if (command == "write-settings" && ! args.isEmpty())
        return writeSettings (cwd.getChildFile (args[0]), juce::StringArray (args.begin() + 1, args.size() - 1));

    if (command == "read-settings" && args.size() == 1)
        return readSettings (cwd.getChildFile (args[0]));

    return fail ("usage: vantorel_app_check window ... | write-settings FILE id=value... | read-settings FILE");
}
