#pragma once

#include "RenderOptions.h"
#include "XScreen.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** Opens the instance's editor in a top-level window on the X display, lets it paint,
    and saves the window's real pixels (those the module's own copy of JUCE drew) as a
    PNG. The instance must be configured but not yet prepared. Returns the exit code;
    errors are printed as one line. */
int takeScreenshot (juce::AudioPluginInstance& instance, const RenderOptions& options, XScreen& screen);
