// Opens the Windows module's editor the way a host does, puts it on the desktop, and grabs
// the pixels the user would see from the screen (under Wine on Xvfb: the real X pixels).
//
//   vantorel_editor_grab --plugin BUNDLE --out EDITOR.png
//
// Fails when the module has no editor, when the window does not get the editor's size, or
// when the grab is a single flat colour (nothing was drawn).

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include <iostream>
#include <map>

namespace
{
    [[noreturn]] void fail (const juce::String& message)
    {
        std::cerr << "vantorel_editor_grab: " << message << std::endl;
        std::exit (1);
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

    int run (const juce::File& bundle, const juce::File& out)
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

        // Let the plug-in's window appear and paint, as a host's message loop would.
        auto* messages = juce::MessageManager::getInstance();
        juce::Timer::callAfterDelay (2000, [messages] { messages->stopDispatchLoop(); });
        messages->runDispatchLoop();

        const auto area = editor->getScreenBounds();
        std::cout << "editor " << area.getWidth() << " x " << area.getHeight() << " at " << area.getX() << ", " << area.getY() << std::endl;
        if (area.isEmpty())
            fail ("the editor window is empty");

        const auto image = grabScreen (area);

        editor->removeFromDesktop();
        instance->editorBeingDeleted (editor.get());
        editor.reset();
        instance.reset();

        out.deleteFile();
        out.getParentDirectory().createDirectory();
        juce::FileOutputStream stream (out);
        juce::PNGImageFormat png;
        if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
            fail ("cannot write " + out.getFullPathName());

        std::map<juce::uint32, int> colours;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                ++colours[image.getPixelAt (x, y).getARGB()];

        int commonest = 0;
        for (const auto& [colour, count] : colours)
            commonest = std::max (commonest, count);
        const auto others = image.getWidth() * image.getHeight() - commonest;
        std::cout << colours.size() << " colours, " << others << " pixels differ from the commonest one" << std::endl;

        if (colours.size() < 2)
            fail ("the grab is one flat colour: nothing was drawn");

        return 0;
    }
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::File bundle, out;
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const juce::String option (argv[i]), value (juce::String::fromUTF8 (argv[i + 1]));
        if (option == "--plugin")
            bundle = cwd.getChildFile (value);
        else if (option == "--out")
            out = cwd.getChildFile (value);
    }

    if (bundle == juce::File() || out == juce::File())
    {
        std::cerr << "usage: vantorel_editor_grab --plugin BUNDLE --out EDITOR.png" << std::endl;
        return 2;
    }

    return run (bundle, out);
}
