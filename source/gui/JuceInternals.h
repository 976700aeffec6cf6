#pragma once

#include <juce_core/juce_core.h>

// A few of our classes reach past JUCE's public interface into its X11 window system and
// event loop (named where they do it), or mend a call sequence of its VST3 wrapper. They were
// written against JUCE 7.0.5 and checked there; a JUCE of another version must be checked
// again before they are trusted with it, so it does not build.
static_assert (JUCE_MAJOR_VERSION == 7 && JUCE_MINOR_VERSION == 0 && JUCE_BUILDNUMBER == 5,
               "written against JUCE 7.0.5's internals: check QueuedWindowEvents, WindowManagerAtoms and "
               "the VST3 view sequence (source/vst3) against this JUCE before changing this check");
