#pragma once

// Force-included into JUCE's LV2 wrapper only. Debian's JUCE ignores juce_add_plugin's LV2URI
// and would name the plug-in by its bare product name, so the URI is set here; the maker's
// addresses and the description go into the plug-in's LV2 description, while the shared code
// keeps the empty ones the VST3 module reports to its hosts.

#include "gui/Links.h"

#define JucePlugin_LV2URI VANTOREL_LV2_URI

#undef JucePlugin_ManufacturerWebsite
#define JucePlugin_ManufacturerWebsite VANTOREL_WEBSITE

#undef JucePlugin_ManufacturerEmail
#define JucePlugin_ManufacturerEmail VANTOREL_CONTACT

#undef JucePlugin_Desc
#define JucePlugin_Desc "Feedback delay of 10 ms to 1 s with filtered, limited repeats"
