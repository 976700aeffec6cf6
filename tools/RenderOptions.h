#pragma once

// Command-line options of vantorel-render.

#include <juce_core/juce_core.h>

#include <utility>
#include <vector>

struct RenderOptions
{
    juce::File plugin { VANTOREL_VST3_BUNDLE };
    juce::File input, output, stateIn, stateOut;
    std::vector<std::pair<juce::String, juce::String>> settings; // parameter ID, value text
    int blockSize = 512;
    double sampleRate = 48000.0; // for the built-in signal only; files render at their own rate
    int channels = 2;            // for the built-in signal only
    double tailSeconds = 0.0;
    bool quiet = false;

    // Screenshot mode: the editor in a real window instead of a render.
    juce::File screenshot;
    int width = 0, height = 0; // 0: the editor's own size
    bool loud = false, menu = false, sweep = false;
    juce::File readyFile;             // written once the window is up, for programs that act on it
    juce::File doneFile;              // the wait ends early once this exists: that program is done
    bool withPopups = false;          // the grab takes in the open menus
    double scale = 1.0;               // the host's content scale for the editor
    double reopenAfterSeconds = -1.0; // close the editor, wait, open it again and time it
    double waitSeconds = 5.0; // from the first painted frame; JUCE's splash shows 2 s, then fades for 2 s

    bool isScreenshot() const { return screenshot != juce::File(); }
};

inline juce::StringArray knownParameterIds()
{
    return { "delay", "feedback", "cutoff", "ishpf", "panic", "feedbackboost", "onoff", "mix", "oversampling" };
}

/** The identifier VST3 hosts know a parameter by: a 31-hash of its ID, top bit cleared. */
inline juce::uint32 vst3ParameterId (const juce::String& id)
{
    juce::uint32 h = 0;
    for (auto p = id.getCharPointer(); ! p.isEmpty();)
        h = 31u * h + (juce::uint32) p.getAndAdvance();
    return h & 0x7fffffffu;
}

/** Strict number parsing: the whole text must be a finite decimal number. */
inline bool parseNumber (const juce::String& text, double& value)
{
    const auto t = text.trim();
    if (t.isEmpty() || ! t.containsOnly ("0123456789.-+eE"))
        return false;

    const auto* start = t.toRawUTF8();
    char* end = nullptr;
    value = std::strtod (start, &end);
    return end != start && *end == 0 && std::isfinite (value);
}

inline juce::String renderUsage()
{
    return "usage: vantorel-render [--plugin BUNDLE] [--in INPUT.wav] --out OUTPUT.wav\n"
           "                       [--set id=value ...] [--block N] [--tail SECONDS]\n"
           "                       [--state FILE] [--save-state FILE] [--rate HZ] [--channels 1|2] [--quiet]\n"
           "       vantorel-render --screenshot FILE.png [--size WxH] [--loud|--sweep] [--menu] [--wait SECONDS]\n"
           "                       [--ready-file FILE] [--done-file FILE] [--with-popups] [--scale S] [--reopen SECONDS]\n"
           "                       [--plugin BUNDLE] [--set id=value ...] [--state FILE] [--quiet]\n"
           "\n"
           "Runs audio through the Vantorel VST3 module as a host does and writes a 32-bit float WAV.\n"
           "Without --in, a built-in test signal (clicks and a plucked tone) is rendered.\n"
           "Parameters are set in real units: delay in seconds (0.01..1), feedback (0..1),\n"
           "cutoff in Hz (100..4000), switches as on/off: ishpf panic feedbackboost onoff mix oversampling.\n"
           "--state loads a host state saved by --save-state; --set values apply after it.\n"
           "\n"
           "--screenshot opens the module's editor in a window on the X display ($DISPLAY, e.g. Xvfb)\n"
           "and saves the window's pixels as a PNG. --size resizes the editor (it keeps its proportion\n"
           "between 706x242 and 1590x546); --loud plays a loud sine through it meanwhile, so the meter\n"
           "rises and the clip LED lights (--sweep: its level climbs from -100 dB to 0 dB and back every\n"
           "8 s, so the needle passes every frame); --menu clicks the preset name and saves the bottom strip\n"
           "with the preset menu; --ready-file is written with the window's place and size once it is up,\n"
           "so another program (xdotool) can act on it during the wait, and ends the wait early by creating\n"
           "the --done-file; --with-popups grabs the open\n"
           "menus too; --wait is the time to let it paint after its first frame (default 5,\n"
           "long enough for JUCE's splash to fade). --scale gives the editor the host's content scale\n"
           "(as a Windows host does at 150 % or 200 %): the window has that many pixels per editor\n"
           "pixel, and --size stays in the editor's own. --reopen closes the editor after the grab,\n"
           "waits that long and opens it again. It reports on stderr the time from creating the\n"
           "editor to its first painted frame (and again when reopened), the memory the editor took,\n"
           "and the process's CPU use with the editor open, idle (or playing with --loud).";
}

/** Returns false with an empty error for --help, false with a message for bad arguments. */
inline bool parseRenderOptions (const juce::StringArray& args, RenderOptions& options, juce::String& error)
{
    const auto cwd = juce::File::getCurrentWorkingDirectory();

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        if (arg == "--help" || arg == "-h")
            return false;

        bool* const flag = arg == "--quiet"         ? &options.quiet
                         : arg == "--loud"          ? &options.loud
                         : arg == "--menu"          ? &options.menu
                         : arg == "--with-popups"   ? &options.withPopups
                         : arg == "--sweep"         ? &options.sweep
                                                    : nullptr;
        if (flag != nullptr)
        {
            *flag = true;
            continue;
        }

        if (i + 1 >= args.size())
        {
            error = "missing value after " + arg;
            return false;
        }

        const auto value = args[++i];
        double number = 0.0;

        if (arg == "--plugin")
            options.plugin = cwd.getChildFile (value);
        else if (arg == "--screenshot")
            options.screenshot = cwd.getChildFile (value);
        else if (arg == "--size")
        {
            double w = 0.0, h = 0.0;
            const auto wText = value.upToFirstOccurrenceOf ("x", false, true);
            const auto hText = value.fromFirstOccurrenceOf ("x", false, true);
            if (! parseNumber (wText, w) || ! parseNumber (hText, h) || w != std::floor (w) || h != std::floor (h)
                || w < 1 || h < 1 || w > 8192 || h > 8192)
            {
                error = "bad size '" + value + "' (expected WxH, e.g. 1060x364)";
                return false;
            }
            options.width = (int) w;
            options.height = (int) h;
        }
        else if (arg == "--scale")
        {
            if (! parseNumber (value, number) || number < 0.5 || number > 4)
            {
                error = "bad scale '" + value + "' (0.5..4)";
                return false;
            }
            options.scale = number;
        }
        else if (arg == "--reopen")
        {
            if (! parseNumber (value, number) || number < 0 || number > 600)
            {
                error = "bad reopen delay '" + value + "' (0..600 seconds)";
                return false;
            }
            options.reopenAfterSeconds = number;
        }
        else if (arg == "--wait")
        {
            if (! parseNumber (value, number) || number < 0 || number > 600)
            {
                error = "bad wait '" + value + "' (0..600 seconds)";
                return false;
            }
            options.waitSeconds = number;
        }
        else if (arg == "--ready-file")
            options.readyFile = cwd.getChildFile (value);
        else if (arg == "--done-file")
            options.doneFile = cwd.getChildFile (value);
        else if (arg == "--in")
            options.input = cwd.getChildFile (value);
        else if (arg == "--out")
            options.output = cwd.getChildFile (value);
        else if (arg == "--state")
            options.stateIn = cwd.getChildFile (value);
        else if (arg == "--save-state")
            options.stateOut = cwd.getChildFile (value);
        else if (arg == "--set")
        {
            const auto id = value.upToFirstOccurrenceOf ("=", false, false).trim();
            if (! value.contains ("=") || id.isEmpty())
            {
                error = "expected --set id=value, got '" + value + "'";
                return false;
            }
            options.settings.emplace_back (id, value.fromFirstOccurrenceOf ("=", false, false).trim());
        }
        else if (arg == "--block")
        {
            if (! parseNumber (value, number) || number < 1 || number > 65536 || number != std::floor (number))
            {
                error = "bad block size '" + value + "' (1..65536)";
                return false;
            }
            options.blockSize = (int) number;
        }
        else if (arg == "--tail")
        {
            if (! parseNumber (value, number) || number < 0 || number > 600)
            {
                error = "bad tail '" + value + "' (0..600 seconds)";
                return false;
            }
            options.tailSeconds = number;
        }
        else if (arg == "--rate")
        {
            if (! parseNumber (value, number) || number < 1000 || number > 768000)
            {
                error = "bad sample rate '" + value + "' (1000..768000)";
                return false;
            }
            options.sampleRate = number;
        }
        else if (arg == "--channels")
        {
            if (value != "1" && value != "2")
            {
                error = "bad channel count '" + value + "' (1 or 2)";
                return false;
            }
            options.channels = value.getIntValue();
        }
        else
        {
            error = "unknown option " + arg;
            return false;
        }
    }

    if (options.isScreenshot())
    {
        if (options.output != juce::File() || options.input != juce::File() || options.stateOut != juce::File())
        {
            error = "--screenshot renders no audio: --out, --in and --save-state do not apply";
            return false;
        }
        return true;
    }

    if (options.loud || options.sweep || options.menu || options.width > 0 || options.withPopups || options.readyFile != juce::File()
        || options.doneFile != juce::File() || options.scale != 1.0 || options.reopenAfterSeconds >= 0.0)
    {
        error = "--size, --scale, --loud, --sweep, --menu, --with-popups, --ready-file, --done-file and --reopen need --screenshot";
        return false;
    }

    if (options.output == juce::File())
    {
        error = "no output file given (--out)";
        return false;
    }

    return true;
}
