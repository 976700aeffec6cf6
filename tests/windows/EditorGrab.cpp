// Opens the Windows module's editor the way a host does, puts it on the desktop, and grabs
// the pixels the user would see from the screen (under Wine on Xvfb: the real X pixels).
//
//   vantorel_editor_grab --plugin BUNDLE --out EDITOR.png [--reference LINUX.png]
//
// Fails when the module has no editor, when the window is not the editor's design size, when
// the panel's artwork is missing from its places, or when the bottom strip's text (drawn
// through GDI in a MinGW build) is missing. With a reference, the picture the Linux build draws
// of the same editor, the two must agree: the control surface pixel for pixel, and every item
// of the bottom strip where the Linux one is.

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include "../helpers/SamePixels.h"

namespace juce
{
    // JUCE's own per-message step of the dispatch loop.
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

#include <functional>
#include <iostream>
#include <map>
#include <vector>

namespace
{
    [[noreturn]] void fail (const juce::String& message)
    {
        std::cerr << "vantorel_editor_grab: " << message << std::endl;
        std::exit (1);
    }

    using Box = juce::Rectangle<int>;

    juce::String describe (Box b)
    {
        return "(" + juce::String (b.getX()) + ", " + juce::String (b.getY()) + ", " + juce::String (b.getWidth()) + " x " + juce::String (b.getHeight()) + ")";
    }

    int difference (juce::Colour a, juce::Colour b)
    {
        return juce::jmax (std::abs ((int) a.getRed() - (int) b.getRed()), std::abs ((int) a.getGreen() - (int) b.getGreen()),
                           std::abs ((int) a.getBlue() - (int) b.getBlue()));
    }

    juce::Colour commonestColour (const juce::Image& image, Box area)
    {
        std::map<juce::uint32, int> counts;
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                ++counts[image.getPixelAt (x, y).getARGB()];

        auto best = counts.begin();
        for (auto it = counts.begin(); it != counts.end(); ++it)
            if (it->second > best->second)
                best = it;
        return juce::Colour (best->first);
    }

    /** Pixels of an area that stand out from its commonest colour: the ink of text or an icon. */
    struct Ink
    {
        int count = 0;
        Box bounds;
    };

    Ink inkIn (const juce::Image& image, Box area)
    {
        const auto background = commonestColour (image, area);
        Ink ink;
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (difference (image.getPixelAt (x, y), background) > 60)
                {
                    ink.bounds = ink.count++ == 0 ? Box (x, y, 1, 1) : ink.bounds.getUnion (Box (x, y, 1, 1));
                }
        return ink;
    }

    /** The bottom strip at the design size: where text is drawn (inside the buttons' rounded
        fill), and where pictures are. */
    struct StripItem
    {
        const char* name;
        Box area;
        bool text;
    };

    const StripItem stripItems[] = {
        { "undo icon", { 31, 342, 31, 20 }, false },
        { "redo icon", { 62, 342, 31, 20 }, false },
        { "previous arrow", { 127, 342, 50, 20 }, false },
        { "preset name", { 177, 342, 152, 20 }, true },
        { "next arrow", { 329, 342, 50, 20 }, false },
        { "Save", { 412, 345, 34, 14 }, true },
        { "Delete", { 487, 345, 34, 14 }, true },
        { "Support Us !", { 642, 344, 94, 16 }, true },
        { "readout plate", { 742, 340, 318, 24 }, false },
    };

    /** The panel's artwork at its places: colour classes that only the pictures give there. */
    void checkArtwork (const juce::Image& image)
    {
        const auto lightGrey = [] (juce::Colour c) { return c.getBrightness() > 0.6f && c.getBrightness() < 0.85f && c.getSaturation() < 0.1f; };
        const auto dark = [] (juce::Colour c) { return c.getBrightness() < 0.12f; };
        const auto cream = [] (juce::Colour c) { return c.getBrightness() > 0.8f && c.getRed() > c.getBlue() + 15; };

        struct Probe
        {
            const char* what;
            juce::Point<int> at;
            std::function<bool (juce::Colour)> expected;
        };
        const Probe probes[] = {
            { "panel below the meter", { 300, 300 }, lightGrey },
            { "panel below the knobs", { 600, 300 }, lightGrey },
            { "meter face", { 20, 150 }, cream },
            { "delay knob's dark ring", { 538, 190 }, dark },
            { "feedback knob's dark ring", { 716, 190 }, dark },
            { "cutoff knob's dark ring", { 905, 190 }, dark },
            { "delay knob's silver cap", { 538, 150 }, lightGrey },
        };

        for (const auto& p : probes)
        {
            const auto c = image.getPixelAt (p.at.x, p.at.y);
            std::cout << p.what << " at " << p.at.x << ", " << p.at.y << ": #" << c.toDisplayString (false) << std::endl;
            if (! p.expected (c))
                fail (juce::String ("the artwork is missing: ") + p.what + " is #" + c.toDisplayString (false));
        }
    }

    /** The strip's text as drawn through GDI: ink in every text item, about its middle. */
    void checkStripText (const juce::Image& image)
    {
        for (const auto& item : stripItems)
        {
            if (! item.text)
                continue;
            const auto ink = inkIn (image, item.area);
            std::cout << item.name << ": " << ink.count << " ink pixels in " << describe (ink.bounds) << std::endl;
            if (ink.count < 20)
                fail (juce::String ("no text drawn in ") + item.name);
            if (std::abs (ink.bounds.getCentreX() - item.area.getCentreX()) > 8)
                fail (juce::String ("the text of ") + item.name + " is off its middle: " + describe (ink.bounds));
        }
    }

    /** The same editor as the Linux build draws it: the control surface the same pixels (the
        same pictures through the same renderer), the strip's items in the same places (its
        text may differ in font and so in width). */
    void compareWithLinux (const juce::Image& image, const juce::Image& linux)
    {
        if (linux.getBounds() != image.getBounds())
            fail ("the Linux picture is " + describe (linux.getBounds()) + ", this one " + describe (image.getBounds()));

        int differing = 0, total = 0;
        for (int y = 0; y < 340; ++y)
            for (int x = 0; x < image.getWidth(); ++x, ++total)
                differing += difference (image.getPixelAt (x, y), linux.getPixelAt (x, y)) > 16 ? 1 : 0;
        std::cout << "control surface: " << differing << " of " << total << " pixels differ from Linux" << std::endl;
        if (differing > total / 1000)
            fail ("the control surface differs from the Linux one in " + juce::String (differing) + " pixels");

        for (const auto& item : stripItems)
        {
            const auto ours = inkIn (image, item.area), theirs = inkIn (linux, item.area);
            std::cout << item.name << ": " << describe (ours.bounds) << " here, " << describe (theirs.bounds) << " on Linux" << std::endl;

            // Pictures land on the same pixels; text is centred the same way in its box.
            const int slack = item.text ? 3 : 1;
            const bool same = item.text ? (std::abs (ours.bounds.getCentreX() - theirs.bounds.getCentreX()) <= slack
                                           && std::abs (ours.bounds.getCentreY() - theirs.bounds.getCentreY()) <= slack)
                                        : (ours.bounds.expanded (slack).contains (theirs.bounds)
                                           && theirs.bounds.expanded (slack).contains (ours.bounds));
            if ((ours.count == 0) != (theirs.count == 0) || ! same)
                fail (juce::String ("the bottom strip's ") + item.name + " is not where the Linux one is");
        }
    }

    juce::Image grabScreen (juce::Rectangle<int> area)
    {
        const int w = area.getWidth(), h = area.getHeight();
        auto* screen = GetDC (nullptr);
        auto* memory = CreateCompatibleDC (screen);

        BITMAPINFO info {};
        info.bmiHeader.biSize = sizeof (BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;

        void* bits = nullptr;
        auto* bitmap = CreateDIBSection (screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        auto* previous = SelectObject (memory, bitmap);
        const bool copied = BitBlt (memory, 0, 0, w, h, screen, area.getX(), area.getY(), SRCCOPY | CAPTUREBLT) != 0;

        juce::Image image (juce::Image::RGB, w, h, false);
        if (copied)
        {
            const auto* pixels = static_cast<const juce::uint32*> (bits);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    image.setPixelAt (x, y, juce::Colour (pixels[y * w + x] | 0xff000000u));
        }

        SelectObject (memory, previous);
        DeleteObject (bitmap);
        DeleteDC (memory);
        ReleaseDC (nullptr, screen);

        if (! copied)
            fail ("could not copy the screen");
        return image;
    }

    /** Delivers this thread's messages (the host's and the plug-in's) for a while, as a host's
        message loop does. (MessageManager::stopDispatchLoop cannot be undone: a dispatch loop
        stopped once returns at once ever after.) */
    void runMessageLoop (int milliseconds)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;
        while (juce::Time::getMillisecondCounter() < end)
            if (! juce::dispatchNextMessageOnSystemQueue (true))
                juce::Thread::sleep (1);
    }

    /** The screen once the editor has stopped changing. */
    juce::Image grabWhenStill (Box area)
    {
        auto image = grabScreen (area);
        for (int tries = 0;; ++tries)
        {
            runMessageLoop (300);
            auto again = grabScreen (area);
            if (testhelpers::samePixels (image, again))
                return image;
            if (tries == 30)
                fail ("the editor never stops changing");
            image = again;
        }
    }

    int run (const juce::File& bundle, const juce::File& out, const juce::File& reference)
    {
        // JUCE's VST3 hosting on Windows loads the module file inside the bundle folder.
        const auto module = bundle.isDirectory() ? bundle.getChildFile ("Contents/x86_64-win").getChildFile (bundle.getFileName()) : bundle;

        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, module.getFullPathName());
        if (types.isEmpty())
            fail ("not a loadable VST3 module: " + module.getFullPathName());

        juce::String error;
        auto instance = format.createInstanceFromDescription (*types[0], 48000.0, 512, error);
        if (instance == nullptr)
            fail ("could not create the plug-in: " + error);
        if (! instance->hasEditor())
            fail ("the plug-in has no editor");

        std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
        if (editor == nullptr)
            fail ("the plug-in created no editor");

        editor->setTopLeftPosition (0, 0);
        editor->addToDesktop (0);
        editor->setVisible (true);
        editor->toFront (false);

        // Let the plug-in's window appear and paint, as a host's message loop would, and wait out
        // JUCE's splash screen (two seconds shown, two fading); then the picture holds still.
        runMessageLoop (4500);

        const auto area = editor->getScreenBounds();
        std::cout << "editor " << area.getWidth() << " x " << area.getHeight() << " at " << area.getX() << ", " << area.getY() << std::endl;
        if (area.getWidth() != 1060 || area.getHeight() != 364)
            fail ("the editor window is " + describe (area) + ", not the design size 1060 x 364");

        const auto image = grabWhenStill (area);

        // Written first, so a failing check below leaves the picture to look at.
        out.deleteFile();
        out.getParentDirectory().createDirectory();
        {
            juce::FileOutputStream stream (out);
            juce::PNGImageFormat png;
            if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
                fail ("cannot write " + out.getFullPathName());
        }

        // A change from the host (automation) must reach the screen too, not only the first picture.
        auto* delay = instance->getParameters()[0];
        if (delay->getName (64) != "Delay time")
            fail ("the first parameter is " + delay->getName (64));
        delay->setValueNotifyingHost (1.0f);
        runMessageLoop (300);
        const auto automated = grabWhenStill (area);
        const Box delayKnob (402, 63, 272, 276);
        if (testhelpers::samePixels (image.getClippedImage (delayKnob), automated.getClippedImage (delayKnob)))
            fail ("the delay knob stays where it was after the host moved it");
        if (! testhelpers::samePixels (image.getClippedImage ({ 0, 0, 400, 340 }), automated.getClippedImage ({ 0, 0, 400, 340 })))
            fail ("moving the delay knob changed the meter's side of the panel");

        editor->removeFromDesktop();
        instance->editorBeingDeleted (editor.get());
        editor.reset();
        instance.reset();

        checkArtwork (image);
        checkStripText (image);

        if (reference != juce::File())
        {
            const auto linux = juce::ImageFileFormat::loadFrom (reference);
            if (! linux.isValid())
                fail ("cannot read the Linux picture " + reference.getFullPathName());
            compareWithLinux (image, linux.convertedToFormat (juce::Image::RGB));
        }

        return 0;
    }
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::File bundle, out, reference;
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const juce::String option (argv[i]), value (juce::String::fromUTF8 (argv[i + 1]));
        if (option == "--plugin")
            bundle = cwd.getChildFile (value);
        else if (option == "--out")
            out = cwd.getChildFile (value);
        else if (option == "--reference")
            reference = cwd.getChildFile (value);
    }

    if (bundle == juce::File() || out == juce::File())
    {
        std::cerr << "usage: vantorel_editor_grab --plugin BUNDLE --out EDITOR.png [--reference LINUX.png]" << std::endl;
        return 2;
    }

    return run (bundle, out, reference);
}
