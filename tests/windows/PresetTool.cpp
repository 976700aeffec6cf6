// Drives the preset store from the command line, built for Linux and for Windows, so a test
// can hand preset files from one platform's module to the other's.
//
//   vantorel_preset_tool folder                   prints the preset folder
//   vantorel_preset_tool save NAME [id=value...]  sets parameters (real units), saves, prints the file
//   vantorel_preset_tool load NAME                loads into a fresh plug-in, prints every parameter
//
// Values are printed with their float bits, so two platforms' outputs compare exactly.

#include "gui/bottombar/PresetLabel.h"
#include "processor/PluginProcessor.h"

#include <cstdio>
#include <cstring>
#include <iostream>

namespace
{
    int fail (const juce::String& message)
    {
        std::cerr << "vantorel_preset_tool: " << message << std::endl;
        return 1;
    }

    int run (const juce::StringArray& args)
    {
        TemplateAudioProcessor processor;
        PresetLabel store (processor.apvts);
        const auto command = args[0];

        if (command == "folder" && args.size() == 1)
        {
            std::cout << PresetStore::presetFolder().getFullPathName() << std::endl;
            return 0;
        }

        if (command == "save" && args.size() >= 2)
        {
            for (int i = 2; i < args.size(); ++i)
            {
                const auto id = args[i].upToFirstOccurrenceOf ("=", false, false);
                auto* parameter = processor.apvts.getParameter (id);
                if (parameter == nullptr || ! args[i].containsChar ('='))
                    return fail ("bad setting '" + args[i] + "'");
                parameter->setValueNotifyingHost (parameter->convertTo0to1 (args[i].fromFirstOccurrenceOf ("=", false, false).getFloatValue()));
            }

            store.savePreset (args[1]);
            const auto file = PresetStore::presetFile (args[1]);
            if (! file.existsAsFile())
                return fail ("nothing saved at " + file.getFullPathName());
            std::cout << file.getFullPathName() << std::endl;
            return 0;
        }

        if (command == "load" && args.size() == 2)
        {
            store.loadPreset (args[1]);
            for (const auto* id : ParameterIDs::all)
            {
                const float value = processor.apvts.getRawParameterValue (id)->load();
                juce::uint32 bits;
                std::memcpy (&bits, &value, sizeof (bits));
                char text[64];
                std::snprintf (text, sizeof (text), "%s=%.9g (0x%08x)", id, (double) value, (unsigned) bits);
                std::cout << text << std::endl;
            }
            return 0;
        }

        return fail ("usage: vantorel_preset_tool folder | save NAME [id=value...] | load NAME");
    }
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    return run (args);
}
