// The editor as the Linux build draws it, at its default settings, for grabs of the module's
// window (in outside hosts, and of the Windows module under Wine) to be compared with:
//
//   vantorel_editor_snapshot OUT.png [WIDTHxHEIGHT]
//
// at its design size, or at the size given (one the editor's corner can give it).
// Drawn in-process by JUCE's renderer, as the Linux window shows it, once JUCE's splash
// screen (which the Wine grab also waits out) has faded and gone.

#include "helpers/MessageLoop.h"

#include "processor/PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace
{
    bool hasSplashScreen (juce::Component& editor)
    {
        for (auto* child : editor.getChildren())
            if (dynamic_cast<juce::JUCESplashScreen*> (child) != nullptr)
                return true;
        return false;
    }
} // namespace

int main (int argc, char* argv[])
{
    const auto size = juce::StringArray::fromTokens (argc == 3 ? argv[2] : "", "x", "");
    if (argc < 2 || argc > 3 || (argc == 3 && (size.size() != 2 || size[0].getIntValue() <= 0 || size[1].getIntValue() <= 0)))
    {
        std::cerr << "usage: vantorel_editor_snapshot OUT.png [WIDTHxHEIGHT]" << std::endl;
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    const auto out = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1]));

    TemplateAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    if (argc == 3)
        editor->setSize (size[0].getIntValue(), size[1].getIntValue());
    editor->setVisible (true);

    // The splash screen's clock starts when it is first painted; it shows, fades and deletes itself.
    editor->createComponentSnapshot (editor->getLocalBounds());
    for (int waited = 0; hasSplashScreen (*editor) && waited < 15000; waited += 100)
        testhelpers::pumpMessages (100);
    if (hasSplashScreen (*editor))
    {
        std::cerr << "vantorel_editor_snapshot: JUCE's splash screen never went away" << std::endl;
        return 1;
    }

    const auto image = editor->createComponentSnapshot (editor->getLocalBounds());
    processor.editorBeingDeleted (editor.get());
    editor.reset();

    out.deleteFile();
    juce::FileOutputStream stream (out);
    if (! stream.openedOk() || ! juce::PNGImageFormat().writeImageToStream (image, stream))
    {
        std::cerr << "vantorel_editor_snapshot: cannot write " << out.getFullPathName() << std::endl;
        return 1;
    }
    return 0;
}
