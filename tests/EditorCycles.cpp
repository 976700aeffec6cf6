// The module's editor opened and closed in real windows, as a host does when the user
// clicks the plug-in's button again and again: each editor is put on screen, painted,
// resized, run with its timers for a moment, and destroyed. Run under Xvfb (see
// tests/CMakeLists.txt); in a Debug build the module's JUCE leak detector reports any
// editor part left behind when the module unloads, and LeakSanitizer anything else.
//
// Usage: vantorel_editor_cycles [count]

#include "../tools/XScreen.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace juce
{
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace
{
    void pumpMessages (int milliseconds)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;
        while (juce::Time::getMillisecondCounter() < end)
            if (! juce::dispatchNextMessageOnSystemQueue (true))
                juce::Thread::sleep (1);
    }

    int run (int cycles)
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, VANTOREL_VST3_BUNDLE);
        if (types.isEmpty())
        {
            std::cerr << "no plug-in in " << VANTOREL_VST3_BUNDLE << "\n";
            return 1;
        }

        juce::String error;
        auto instance = format.createInstanceFromDescription (*types[0], 48000.0, 512, error);
        if (instance == nullptr)
        {
            std::cerr << "cannot create the plug-in: " << error << "\n";
            return 1;
        }

        for (int i = 0; i < cycles; ++i)
        {
            std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
            if (editor == nullptr)
            {
                std::cerr << "no editor at cycle " << i << "\n";
                return 1;
            }

            editor->addToDesktop (0);
            editor->setVisible (true);
            pumpMessages (10);
            editor->setSize (editor->getWidth() * 3 / 4, editor->getHeight() * 3 / 4);
            pumpMessages (10);

            instance->editorBeingDeleted (editor.get());
            editor.reset();
        }

        instance.reset();
        std::cout << cycles << " editors opened and closed\n";
        return 0;
    }
} // namespace

int main (int argc, char** argv)
{
    std::string error;
    auto screen = XScreen::open (error);
    if (screen == nullptr)
    {
        std::cerr << error << "\n";
        return 1;
    }

    const int cycles = argc > 1 ? std::atoi (argv[1]) : 200;
    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        result = run (cycles);
    }
    return result;
}
