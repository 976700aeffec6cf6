// Arbitrary bytes as host state: setStateInformation must refuse them without a trace
// or take them into valid parameter values (see FuzzInvariants.h).

#include "FuzzInvariants.h"

#include <juce_events/juce_events.h>

#include <limits>

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // The parameter tree needs a message manager for its timer.
    fuzzing::initialiseJuce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    if (size > (size_t) std::numeric_limits<int>::max())
        return 0;

    TemplateAudioProcessor processor;
    fuzzing::prepareInstance (processor);
    const auto before = fuzzing::allValues (processor);

    processor.setStateInformation (data, (int) size);

    fuzzing::checkAfterInput (processor, before);
    return 0;
}
