// Arbitrary bytes as a preset file: loading it must refuse it without a trace or take
// it into valid parameter values (see FuzzInvariants.h).

#include "FuzzInvariants.h"

#include "gui/bottombar/PresetLabel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>

namespace
{
    juce::File presetPath;
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // The documents folder, and with it the preset folder, in a scratch HOME.
    static juce::TemporaryFile home;
    home.getFile().createDirectory();
    setenv ("HOME", home.getFile().getFullPathName().toRawUTF8(), 1);
    unsetenv ("XDG_CONFIG_HOME");

    fuzzing::initialiseJuce();
    presetPath = PresetStore::presetFile ("fuzz");
    presetPath.getParentDirectory().createDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    if (! presetPath.replaceWithData (data, size))
        std::abort();

    TemplateAudioProcessor processor;
    PresetLabel label (processor.apvts);
    fuzzing::prepareInstance (processor);
    const auto before = fuzzing::allValues (processor);

    label.loadPreset ("fuzz");

    fuzzing::checkAfterInput (processor, before);
    return 0;
}
