#include "Screenshot.h"

#include <iostream>

#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include <poll.h>
#include <sys/resource.h>
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
        module on Linux runs on its host's loop. With nothing to do it waits on the loop's file
        descriptors (its message queue, the X connection, those the module registered), as a
        host's loop does, so that what the editor itself costs is what shows. */
    void pump (double milliseconds, const juce::File& doneFile = {})
    {
        const auto end = juce::Time::getMillisecondCounterHiRes() + milliseconds;
        auto nextLook = 0.0;

        for (;;)
        {
            if (juce::dispatchNextMessageOnSystemQueue (true))
                continue;

            const auto remaining = end - juce::Time::getMillisecondCounterHiRes();
            if (remaining <= 0.0)
                break;

            // Another program acting on the window may say it is done before the wait is up.
            if (doneFile != juce::File() && juce::Time::getMillisecondCounterHiRes() >= nextLook)
            {
                if (doneFile.exists())
                    return;
                nextLook = juce::Time::getMillisecondCounterHiRes() + 50.0;
            }

            std::vector<pollfd> fds;
            for (const int fd : juce::LinuxEventLoopInternal::getRegisteredFds())
                fds.push_back ({ fd, POLLIN, 0 });
            ::poll (fds.data(), (nfds_t) fds.size(), juce::jlimit (1, doneFile != juce::File() ? 50 : 100, (int) std::ceil (remaining)));
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
        /** A 0.99 sine, or with `sweeping` one whose level climbs from -100 dB to full scale
            and back every 8 s, so the meter's needle passes every frame. */
        LoudPlayer (juce::AudioPluginInstance& p, bool sweeping)
            : juce::Thread ("loud player"), instance (p), sweep (sweeping) {}
        ~LoudPlayer() override { stopThread (2000); }

        void run() override
        {
            juce::AudioBuffer<float> buffer (juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels()),
                                             blockSize);
            juce::MidiBuffer midi;
            double phase = 0.0;
            const double step = juce::MathConstants<double>::twoPi * 1000.0 / sampleRate;
            auto due = juce::Time::getMillisecondCounterHiRes();

            double seconds = 0.0;

            while (! threadShouldExit())
            {
                // -100 dB to 0 dB and back, in 4 s each way.
                const auto position = std::fmod (seconds, 8.0);
                const auto decibels = sweep ? -100.0 + 25.0 * (position < 4.0 ? position : 8.0 - position) : 0.0;
                const auto amplitude = 0.99f * (float) std::pow (10.0, decibels / 20.0);
                seconds += blockSize / sampleRate;

                for (int i = 0; i < blockSize; ++i, phase += step)
                    for (int c = 0; c < buffer.getNumChannels(); ++c)
                        buffer.setSample (c, i, amplitude * (float) std::sin (phase));

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
        const bool sweep;
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

namespace
{
    /** CPU time of the whole process (every thread), in seconds. */
    double processCpuSeconds()
    {
        rusage usage {};
        getrusage (RUSAGE_SELF, &usage);
        return (double) usage.ru_utime.tv_sec + (double) usage.ru_stime.tv_sec
               + 1.0e-6 * ((double) usage.ru_utime.tv_usec + (double) usage.ru_stime.tv_usec);
    }

    /** Share of one core the process used while the message loop ran for that long. */
    double cpuPercentWhilePumping (double milliseconds)
    {
        const auto cpu = processCpuSeconds();
        const auto wall = juce::Time::getMillisecondCounterHiRes();
        pump (milliseconds);
        return 100.0 * (processCpuSeconds() - cpu) / ((juce::Time::getMillisecondCounterHiRes() - wall) / 1000.0);
    }

    /** An editor put on screen as a host does, and when it first showed. */
    struct OpenEditor
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor;
        unsigned long window = 0;
        double createMs = 0.0, firstPaintMs = -1.0;
    };

    OpenEditor openEditor (juce::AudioPluginInstance& instance, const RenderOptions& options, XScreen& screen)
    {
        OpenEditor open;
        const auto start = juce::Time::getMillisecondCounterHiRes();
        open.editor.reset (instance.createEditorIfNeeded());
        open.createMs = juce::Time::getMillisecondCounterHiRes() - start;

        if (open.editor == nullptr)
            return open;

        // The host's content scale, as a Windows host sets it for a 150 % or 200 % display:
        // JUCE's host passes it to the module through VST3's content scale interface.
        if (options.scale != 1.0)
            open.editor->setScaleFactor ((float) options.scale);

        // A plain top-level window at the screen's corner: with no window manager nothing
        // decorates or moves it, and the popup menu has room below it.
        open.editor->setTopLeftPosition (0, 0);
        open.editor->addToDesktop (0);
        open.editor->setVisible (true);
        open.window = (unsigned long) (juce::pointer_sized_uint) open.editor->getWindowHandle();

        std::vector<std::uint32_t> pixels;
        XArea area, grabbed;

        // Watched through one row across the middle of the panel, so that looking costs
        // little next to what it measures; then the whole window is checked once.
        while (juce::Time::getMillisecondCounterHiRes() - start < 20000.0)
        {
            pump (1.0);
            area = screen.windowArea (open.window);
            const XArea row { area.x, area.y + area.height / 3, area.width, 1 };
            if (! area.isEmpty() && screen.grab (row, pixels, grabbed) && paintedFraction (pixels) > 0.5)
            {
                open.firstPaintMs = juce::Time::getMillisecondCounterHiRes() - start;
                if (screen.grab (area, pixels, grabbed) && paintedFraction (pixels) > 0.5)
                    break;
                open.firstPaintMs = -1.0;
            }
        }

        return open;
    }

    void closeEditor (juce::AudioPluginInstance& instance, OpenEditor& open)
    {
        if (open.editor != nullptr)
            instance.editorBeingDeleted (open.editor.get());
        open.editor.reset();
    }
} // namespace

int takeScreenshot (juce::AudioPluginInstance& instance, const RenderOptions& options, XScreen& screen)
{
    if ((options.menu || options.width > 0) && ! screen.hasXTest())
        return report ("the X server has no XTest extension, needed to resize the editor and open its menu");

    instance.prepareToPlay (sampleRate, blockSize);

    std::unique_ptr<LoudPlayer> player;
    if (options.loud || options.sweep)
    {
        player = std::make_unique<LoudPlayer> (instance, options.sweep);
        player->startThread();
    }

    // What the process costs before there is an editor: the host's loop (and the player).
    const auto cpuWithoutEditor = options.quiet ? 0.0 : cpuPercentWhilePumping (1000.0);

    const auto memoryBefore = residentBytes();
    auto open = openEditor (instance, options, screen);

    if (open.editor == nullptr)
        return report ("the module gave no editor");

    if (open.firstPaintMs < 0.0)
        return report ("the editor did not paint within 20 s");

    const auto memoryAtPaint = residentBytes();
    const auto window = open.window;
    auto area = screen.windowArea (window);
    std::vector<std::uint32_t> pixels;
    XArea grabbed;

    // The editor lets only its own corner resizer change its size (a host's resize request
    // is turned down), so it is resized the way a user does it: by dragging that corner.
    // --size is in the editor's own (logical) pixels; the window has the scaled ones.
    const int wantedWidth = juce::roundToInt (options.width * options.scale);
    const int wantedHeight = juce::roundToInt (options.height * options.scale);
    if (options.width > 0 && (wantedWidth != area.width || wantedHeight != area.height))
    {
        constexpr int inset = 4; // inside the resizer, which fills the bottom-right corner
        drag (screen, area.x + area.width - inset, area.y + area.height - inset,
              area.x + wantedWidth - inset, area.y + wantedHeight - inset);
    }

    // Another program may now act on the window as a user would (tests drive it with
    // xdotool): it learns from this file that the window is up and where it is.
    if (options.readyFile != juce::File())
    {
        area = screen.windowArea (window);
        options.readyFile.replaceWithText (juce::String (area.x) + " " + juce::String (area.y) + " "
                                           + juce::String (area.width) + " " + juce::String (area.height) + "\n",
                                           false, false, "\n");
    }

    pump (options.waitSeconds * 1000.0, options.doneFile);
    const auto memoryAfterWait = residentBytes();

    // The window at rest (the splash long gone): what the process costs now.
    const auto cpuIdle = options.quiet ? 0.0 : cpuPercentWhilePumping (3000.0);

    area = screen.windowArea (window);

    if (options.width > 0 && (area.width != wantedWidth || area.height != wantedHeight))
        std::cerr << "vantorel-render: the editor settled at " << area.width << "x" << area.height << " (asked for "
                  << wantedWidth << "x" << wantedHeight << ")" << std::endl;

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

    // Closed and opened again a little later, as a user does: how soon it shows then.
    const auto firstOpen = open.firstPaintMs, firstCreate = open.createMs;
    double reopenMs = -1.0;
    if (options.reopenAfterSeconds >= 0.0)
    {
        closeEditor (instance, open);
        pump (options.reopenAfterSeconds * 1000.0);
        open = openEditor (instance, options, screen);
        reopenMs = open.firstPaintMs;
    }

    player.reset();
    closeEditor (instance, open);
    pump (50.0);
    instance.releaseResources();

    if (! ok)
        return report ("could not read the window's pixels");

    if (! writePng (options.screenshot, pixels, grabbed))
        return report ("cannot write " + options.screenshot.getFullPathName());

    if (! options.quiet)
    {
        std::cerr << "createEditorIfNeeded to first painted frame: " << juce::roundToInt (firstOpen)
                  << " ms (the call itself " << juce::roundToInt (firstCreate) << " ms)\n";
        if (reopenMs >= 0.0)
            std::cerr << "opened again " << options.reopenAfterSeconds << " s after closing: first painted frame in "
                      << juce::roundToInt (reopenMs) << " ms\n";
        std::cerr << "resident memory growth from opening the editor: " << megabytes (memoryAtPaint - memoryBefore)
                  << " at first paint, " << megabytes (memoryAfterWait - memoryBefore) << " after "
                  << options.waitSeconds << " s\n"
                  << "CPU of the process: " << juce::String (cpuIdle, 1) << " % of a core with the editor open"
                  << (options.sweep ? " and the level sweeping" : options.loud ? " and the signal playing" : ", idle") << ", " << juce::String (cpuWithoutEditor, 1)
                  << " % before it opened" << std::endl;
        std::cout << options.screenshot.getFullPathName() << " (" << grabbed.width << "x" << grabbed.height << ")"
                  << std::endl;
    }

    return 0;
}
