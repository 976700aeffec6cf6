#include "Screenshot.h"

#include <iostream>

#include <unistd.h>

namespace juce
{
    // JUCE's own step of the dispatch loop; runDispatchLoopUntil needs modal loops, which
    // this build leaves off.
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;

    // Where the preset name label's centre lies in the editor at its design size.
    constexpr int designWidth = 1060, designHeight = 364, designStripHeight = 24;
    constexpr int presetLabelX = 253, presetLabelY = 352;

    int report (const juce::String& message)
    {
        std::cerr << "vantorel-render: " << message << std::endl;
        return 1;
    }

    /** Runs the message loop, which also carries the module's X events and timers: a VST3
        module on Linux runs on its host's loop. */
    void pump (double milliseconds, const juce::File& doneFile = {})
    {
        const auto end = juce::Time::getMillisecondCounterHiRes() + milliseconds;
        auto nextLook = 0.0;

        while (juce::Time::getMillisecondCounterHiRes() < end)
        {
            if (! juce::dispatchNextMessageOnSystemQueue (true))
                juce::Thread::sleep (1);

            // Another program acting on the window may say it is done before the wait is up.
            if (doneFile != juce::File() && juce::Time::getMillisecondCounterHiRes() >= nextLook)
            {
                if (doneFile.exists())
                    return;
                nextLook = juce::Time::getMillisecondCounterHiRes() + 50.0;
            }
        }
    }

    juce::int64 residentBytes()
    {
        long pages = 0, resident = 0;
        if (auto* f = std::fopen ("/proc/self/statm", "r"))
        {
            if (std::fscanf (f, "%ld %ld", &pages, &resident) != 2)
                resident = 0;
            std::fclose (f);
        }
        return (juce::int64) resident * (juce::int64) sysconf (_SC_PAGESIZE);
    }

    /** The share of pixels (sampled on a grid) that are not the black the host's window
        shows before the module has drawn. */
    double paintedFraction (const std::vector<std::uint32_t>& pixels)
    {
        size_t drawn = 0, sampled = 0;
        for (size_t i = 0; i < pixels.size(); i += 7, ++sampled)
            if ((pixels[i] & 0x00ffffffu) != 0)
                ++drawn;
        return sampled == 0 ? 0.0 : (double) drawn / (double) sampled;
    }

    /** Feeds the instance a loud sine at the pace of real time, as a host's audio thread
        would while the window is open. */
    class LoudPlayer : public juce::Thread
    {
    public:
        explicit LoudPlayer (juce::AudioPluginInstance& p) : juce::Thread ("loud player"), instance (p) {}
        ~LoudPlayer() override { stopThread (2000); }

        void run() override
        {
            juce::AudioBuffer<float> buffer (juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels()),
                                             blockSize);
            juce::MidiBuffer midi;
            double phase = 0.0;
            const double step = juce::MathConstants<double>::twoPi * 1000.0 / sampleRate;
            auto due = juce::Time::getMillisecondCounterHiRes();

            while (! threadShouldExit())
            {
                for (int i = 0; i < blockSize; ++i, phase += step)
                    for (int c = 0; c < buffer.getNumChannels(); ++c)
                        buffer.setSample (c, i, 0.99f * (float) std::sin (phase));

                phase = std::fmod (phase, juce::MathConstants<double>::twoPi);
                instance.processBlock (buffer, midi);
                midi.clear();

                due += 1000.0 * blockSize / sampleRate;
                const auto remaining = due - juce::Time::getMillisecondCounterHiRes();
                if (remaining > 0)
                    wait (juce::jmax (1, (int) remaining));
            }
        }

    private:
        juce::AudioPluginInstance& instance;
    };

    bool writePng (const juce::File& file, const std::vector<std::uint32_t>& pixels, const XArea& area)
    {
        juce::Image image (juce::Image::RGB, area.width, area.height, false);
        {
            juce::Image::BitmapData bits (image, juce::Image::BitmapData::writeOnly);
            for (int y = 0; y < area.height; ++y)
                for (int x = 0; x < area.width; ++x)
                    bits.setPixelColour (x, y, juce::Colour (pixels[(size_t) y * (size_t) area.width + (size_t) x]));
        }

        file.deleteFile();
        file.getParentDirectory().createDirectory();
        juce::FileOutputStream stream (file);
        juce::PNGImageFormat png;
        return stream.openedOk() && png.writeImageToStream (image, stream) && (stream.flush(), stream.getStatus().wasOk());
    }

    void click (const XScreen& screen, int x, int y)
    {
        screen.movePointer (x, y);
        pump (30.0);
        screen.pressButton (true);
        pump (30.0);
        screen.pressButton (false);
    }

    /** Drags the pointer in small steps, giving the window time to follow each one. */
    void drag (const XScreen& screen, int fromX, int fromY, int toX, int toY)
    {
        constexpr int steps = 12;
        screen.movePointer (fromX, fromY);
        pump (30.0);
        screen.pressButton (true);
        pump (30.0);

        for (int i = 1; i <= steps; ++i)
        {
            screen.movePointer (fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps);
            pump (30.0);
        }

        screen.pressButton (false);
        pump (100.0);
    }

    juce::String megabytes (juce::int64 bytes)
    {
        return juce::String ((double) bytes / (1024.0 * 1024.0), 1) + " MiB";
    }
} // namespace

int takeScreenshot (juce::AudioPluginInstance& instance, const RenderOptions& options, XScreen& screen)
{
    if ((options.menu || options.width > 0) && ! screen.hasXTest())
        return report ("the X server has no XTest extension, needed to resize the editor and open its menu");

    instance.prepareToPlay (sampleRate, blockSize);

    std::unique_ptr<LoudPlayer> player;
    if (options.loud)
    {
        player = std::make_unique<LoudPlayer> (instance);
        player->startThread();
    }

    const auto memoryBefore = residentBytes();
    const auto start = juce::Time::getMillisecondCounterHiRes();
    std::unique_ptr<juce::AudioProcessorEditor> editor (instance.createEditorIfNeeded());
    const auto created = juce::Time::getMillisecondCounterHiRes() - start;

    if (editor == nullptr)
        return report ("the module gave no editor");

    // A plain top-level window at the screen's corner: with no window manager nothing
    // decorates or moves it, and the popup menu has room below it.
    editor->setTopLeftPosition (0, 0);
    editor->addToDesktop (0);
    editor->setVisible (true);

    const auto window = (unsigned long) (juce::pointer_sized_uint) editor->getWindowHandle();
    std::vector<std::uint32_t> pixels;
    XArea area, grabbed;
    double firstPaint = -1.0;

    while (juce::Time::getMillisecondCounterHiRes() - start < 20000.0)
    {
        pump (2.0);
        area = screen.windowArea (window);
        if (! area.isEmpty() && screen.grab (area, pixels, grabbed) && paintedFraction (pixels) > 0.5)
        {
            firstPaint = juce::Time::getMillisecondCounterHiRes() - start;
            break;
        }
    }

    if (firstPaint < 0.0)
        return report ("the editor did not paint within 20 s");

    const auto memoryAtPaint = residentBytes();

    // The editor lets only its own corner resizer change its size (a host's resize request
    // is turned down), so it is resized the way a user does it: by dragging that corner.
    if (options.width > 0 && (options.width != area.width || options.height != area.height))
    {
        constexpr int inset = 4; // inside the resizer, which fills the bottom-right corner
        drag (screen, area.x + area.width - inset, area.y + area.height - inset,
              area.x + options.width - inset, area.y + options.height - inset);
    }

    // Another program may now act on the window as a user would (tests drive it with
    // xdotool): it learns from this file that the window is up and where it is.
    if (options.readyFile != juce::File())
        options.readyFile.replaceWithText (juce::String (area.x) + " " + juce::String (area.y) + " "
                                           + juce::String (area.width) + " " + juce::String (area.height) + "\n",
                                           false, false, "\n");

    pump (options.waitSeconds * 1000.0, options.doneFile);
    const auto memoryAfterWait = residentBytes();

    area = screen.windowArea (window);

    if (options.width > 0 && (area.width != options.width || area.height != options.height))
        std::cerr << "vantorel-render: the editor settled at " << area.width << "x" << area.height << " (asked for "
                  << options.width << "x" << options.height << ")" << std::endl;

    // Whatever menus are open are part of the picture.
    if (options.withPopups)
        for (const auto& popup : screen.popupAreas())
            area = area.unitedWith (popup);

    if (options.menu)
    {
        const int x = area.x + juce::roundToInt (presetLabelX * area.width / (double) designWidth);
        const int y = area.y + juce::roundToInt (presetLabelY * area.height / (double) designHeight);
        click (screen, x, y);
        pump (800.0);

        const auto popups = screen.popupAreas();
        if (popups.empty())
            return report ("the preset menu did not open after a click at " + juce::String (x) + ", " + juce::String (y));

        // The bottom strip, where the preset bar is, and the menu it opened.
        const int strip = juce::roundToInt (designStripHeight * area.height / (double) designHeight);
        area = { area.x, area.y + area.height - strip, area.width, strip };
        for (const auto& popup : popups)
            area = area.unitedWith (popup);
    }

    const bool ok = screen.grab (area, pixels, grabbed);

    player.reset();
    editor.reset();
    pump (50.0);
    instance.releaseResources();

    if (! ok)
        return report ("could not read the window's pixels");

    if (! writePng (options.screenshot, pixels, grabbed))
        return report ("cannot write " + options.screenshot.getFullPathName());

    if (! options.quiet)
    {
        std::cerr << "createEditorIfNeeded to first painted frame: " << juce::roundToInt (firstPaint) << " ms (the call itself "
                  << juce::roundToInt (created) << " ms)\n"
                  << "resident memory growth from opening the editor: " << megabytes (memoryAtPaint - memoryBefore)
                  << " at first paint, " << megabytes (memoryAfterWait - memoryBefore) << " after "
                  << options.waitSeconds << " s" << std::endl;
        std::cout << options.screenshot.getFullPathName() << " (" << grabbed.width << "x" << grabbed.height << ")"
                  << std::endl;
    }

    return 0;
}
