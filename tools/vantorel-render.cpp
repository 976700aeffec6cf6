// vantorel-render: runs audio through the built Vantorel.vst3 the way a host does, offline.
//
//   vantorel-render [--plugin BUNDLE] [--in INPUT.wav] --out OUTPUT.wav
//                   [--set id=value ...] [--block N] [--tail SECONDS]
//                   [--state FILE] [--save-state FILE] [--rate HZ] [--channels 1|2] [--quiet]
//   vantorel-render --screenshot FILE.png [--size WxH] [--loud] [--menu] [--wait SECONDS] ...
//
// Without --in it renders a built-in test signal (clicks and a plucked tone followed by
// silence) so the echoes can be heard and measured. --screenshot shows the module's editor
// in a window on the X display instead and saves its pixels.

#include "RenderOptions.h"

#if VANTOREL_SCREENSHOTS
 #include "Screenshot.h"
 #include "XScreen.h"
#endif

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <iostream>

namespace
{
    /** Thrown by fail() and caught in main, so every object is destroyed on the way out
        (std::exit would skip that, and JUCE's leak detector would report them). */
    struct Failure
    {
        int code;
    };

    [[noreturn]] void fail (const juce::String& message, int code = 1)
    {
        std::cerr << "vantorel-render: " << message << std::endl;
        throw Failure { code };
    }

    int renderMain (int argc, char* argv[]);

    /** A short test signal: two clicks, then a plucked string, then room for the echoes. */
    juce::AudioBuffer<float> makeTestSignal (double rate, int channels)
    {
        const int length = (int) (rate * 4.0);
        juce::AudioBuffer<float> buffer (channels, length);
        buffer.clear();

        for (int c = 0; c < channels; ++c)
        {
            buffer.setSample (c, 0, 0.8f);
            buffer.setSample (c, (int) (rate * 0.5), 0.8f);
        }

        // Karplus-Strong pluck at 220 Hz: a noise burst circulating through a damped loop.
        const int period = juce::jmax (2, (int) std::round (rate / 220.0));
        const int start = (int) (rate * 1.0);
        const int pluckLength = juce::jmin ((int) (rate * 0.8), length - start);
        std::vector<float> loop ((size_t) period);
        juce::Random random (220);
        for (auto& s : loop)
            s = random.nextFloat() * 2.0f - 1.0f;

        for (int i = 0; i < pluckLength; ++i)
        {
            const auto k = (size_t) (i % period);
            const auto next = (size_t) ((i + 1) % period);
            const float out = loop[k];
            loop[k] = 0.996f * 0.5f * (loop[k] + loop[next]);
            const float fade = 1.0f - (float) i / (float) pluckLength;
            for (int c = 0; c < channels; ++c)
                buffer.setSample (c, start + i, 0.5f * out * fade);
        }

        return buffer;
    }

    /** The hosted parameter a Vantorel parameter ID maps to (VST3 identifies it by a hash of the ID). */
    juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& id)
    {
        const auto wanted = juce::String ((juce::int64) vst3ParameterId (id));

        for (auto* p : instance.getParameters())
            if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (p))
                if (hosted->getParameterID() == wanted)
                    return p;

        return nullptr;
    }

    /** Converts a real-world value to the host's 0..1 value, using the plug-in's own texts for
        its range so the tool needs no copy of it. */
    float toNormalised (juce::AudioProcessorParameter& p, const juce::String& id, const juce::String& text)
    {
        const auto lowText = p.getText (0.0f, 64);
        const auto highText = p.getText (1.0f, 64);

        if (p.isBoolean() || (lowText == "Off" && highText == "On"))
        {
            const auto t = text.trim().toLowerCase();
            if (t == "1" || t == "on" || t == "true")
                return 1.0f;
            if (t == "0" || t == "off" || t == "false")
                return 0.0f;
            fail ("bad value '" + text + "' for " + id + " (expected on/off, 1/0 or true/false)", 2);
        }

        double value = 0.0;
        if (! parseNumber (text, value))
            fail ("bad value '" + text + "' for " + id + " (expected a number)", 2);

        const double low = lowText.getDoubleValue();
        const double high = highText.getDoubleValue();
        if (value < low || value > high)
            fail ("value " + text + " for " + id + " is outside " + lowText + " .. " + highText, 2);

        return p.getValueForText (juce::String (value, 9));
    }

    std::unique_ptr<juce::AudioPluginInstance> loadModule (const juce::File& bundle, double rate, int block)
    {
        if (! bundle.exists())
            fail ("no VST3 module at " + bundle.getFullPathName());

        // JUCE's VST3 hosting on Windows loads only the module file inside the bundle folder.
       #if JUCE_WINDOWS
        const auto module = bundle.isDirectory() ? bundle.getChildFile ("Contents/x86_64-win").getChildFile (bundle.getFileName())
                                                 : bundle;
       #else
        const auto& module = bundle;
       #endif

        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, module.getFullPathName());

        if (types.isEmpty())
            fail ("not a loadable VST3 module: " + bundle.getFullPathName());

        juce::String error;
        auto instance = format.createInstanceFromDescription (*types[0], rate, block, error);

        if (instance == nullptr)
            fail ("could not create the plug-in: " + error);

        return instance;
    }

    /** Restores the saved state, then applies the --set values on top of it. */
    void configure (juce::AudioPluginInstance& instance, const RenderOptions& options)
    {
        if (options.stateIn != juce::File())
        {
            juce::MemoryBlock state;
            if (! options.stateIn.loadFileAsData (state) || state.isEmpty())
                fail ("cannot read state file " + options.stateIn.getFullPathName());
            instance.setStateInformation (state.getData(), (int) state.getSize());
        }

        auto settings = options.settings;

        // The loud signal should reach the output through the delay too; an explicit
        // --set mix=... still has the last word.
        if (options.loud)
            settings.insert (settings.begin(), { "mix", "on" });

        for (const auto& [id, text] : settings)
        {
            auto* p = findParameter (instance, id);
            if (p == nullptr)
                fail ("unknown parameter '" + id + "' (known: " + knownParameterIds().joinIntoString (", ") + ")", 2);
            p->setValueNotifyingHost (toNormalised (*p, id, text));
        }
    }

#if VANTOREL_SCREENSHOTS
    int screenshot (const RenderOptions& options, XScreen& screen)
    {
        auto instance = loadModule (options.plugin, 48000.0, 512);

        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::stereo());
        layout.outputBuses.add (juce::AudioChannelSet::stereo());
        if (! instance->setBusesLayout (layout))
            fail ("the plug-in refused a stereo layout");

        configure (*instance, options);
        return takeScreenshot (*instance, options, screen);
    }
#endif

    int run (const RenderOptions& options)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();

        juce::AudioBuffer<float> audio;
        double rate = options.sampleRate;

        if (options.input != juce::File())
        {
            std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (options.input));
            if (reader == nullptr)
                fail ("cannot read audio file " + options.input.getFullPathName());
            if (reader->numChannels < 1 || reader->numChannels > 2)
                fail ("only mono and stereo files are supported, " + options.input.getFileName() + " has "
                      + juce::String (reader->numChannels) + " channels");
            if (reader->lengthInSamples > std::numeric_limits<int>::max() / 2)
                fail ("audio file too long: " + options.input.getFullPathName());

            rate = reader->sampleRate;
            audio.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
            reader->read (&audio, 0, (int) reader->lengthInSamples, 0, true, true);
        }
        else
        {
            audio = makeTestSignal (rate, options.channels);
        }

        if (rate < 1000.0 || rate > 768000.0)
            fail ("unsupported sample rate " + juce::String (rate));

        const int channels = audio.getNumChannels();
        const int tailSamples = (int) std::ceil (options.tailSeconds * rate);
        const int inputLength = audio.getNumSamples();
        audio.setSize (channels, inputLength + tailSamples, true, true);

        auto instance = loadModule (options.plugin, rate, options.blockSize);

        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        if (! instance->setBusesLayout (layout))
            fail ("the plug-in refused a " + set.getDescription() + " layout");

        configure (*instance, options);

        instance->setNonRealtime (true);
        instance->prepareToPlay (rate, options.blockSize);

        const int total = audio.getNumSamples();
        const bool showProgress = ! options.quiet && total > rate * 30.0;
        int lastPercent = -1;
        juce::MidiBuffer midi;

        for (int start = 0; start < total; start += options.blockSize)
        {
            const int n = juce::jmin (options.blockSize, total - start);
            juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), channels, start, n);
            instance->processBlock (block, midi);
            midi.clear();

            if (showProgress)
            {
                const int percent = (int) (100.0 * (start + n) / total);
                if (percent / 10 != lastPercent / 10)
                    std::cerr << "\rrendering " << percent << " %" << std::flush;
                lastPercent = percent;
            }
        }

        if (showProgress)
            std::cerr << std::endl;

        instance->releaseResources();

        if (options.stateOut != juce::File())
        {
            juce::MemoryBlock state;
            instance->getStateInformation (state);
            options.stateOut.getParentDirectory().createDirectory();
            if (! options.stateOut.replaceWithData (state.getData(), state.getSize()))
                fail ("cannot write state file " + options.stateOut.getFullPathName());
        }

        options.output.deleteFile();
        options.output.getParentDirectory().createDirectory();
        std::unique_ptr<juce::OutputStream> stream (options.output.createOutputStream().release());
        if (stream == nullptr)
            fail ("cannot write " + options.output.getFullPathName());

        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (
            wav.createWriterFor (stream.get(), rate, (unsigned int) channels, 32, {}, 0));
        if (writer == nullptr)
            fail ("cannot write " + options.output.getFullPathName());
        stream.release(); // the writer owns it now

        if (! writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples()))
            fail ("writing failed: " + options.output.getFullPathName());
        writer.reset();

        if (! options.quiet)
            std::cout << options.output.getFullPathName() << std::endl;

        return 0;
    }
} // namespace

int main (int argc, char* argv[])
{
    try
    {
        return renderMain (argc, argv);
    }
    catch (const Failure& failure)
    {
        return failure.code;
    }
}

namespace
{
int renderMain (int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    RenderOptions options;
    juce::String error;

    if (! parseRenderOptions (args, options, error))
    {
        if (error.isNotEmpty())
            fail (error + " (see --help)", 2);

        std::cout << renderUsage() << std::endl;
        return 0;
    }

    // The display is checked before any JUCE code (the tool's or the module's) connects to it.
#if VANTOREL_SCREENSHOTS
    std::unique_ptr<XScreen> screen;
    if (options.isScreenshot())
    {
        std::string why;
        screen = XScreen::open (why);
        if (screen == nullptr)
            fail (why);
    }

    juce::ScopedJuceInitialiser_GUI juce;

    return screen != nullptr ? screenshot (options, *screen) : run (options);
#else
    if (options.isScreenshot())
        fail ("--screenshot needs an X display; this build has none");

    juce::ScopedJuceInitialiser_GUI juce;
    return run (options);
#endif
}
} // namespace
