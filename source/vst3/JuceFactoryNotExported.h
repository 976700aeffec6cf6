#pragma once

// Force-included into JUCE's VST3 wrapper only, which is compiled with its GetPluginFactory
// renamed to JuceGetPluginFactory: the module's exported entry is the one in
// ModuleFactory.cpp. The SDK declares and JUCE defines the entry with
// SMTG_EXPORT_SYMBOL (dllexport on Windows, default visibility elsewhere), so the renamed
// one would be exported too; fplatform.h is included once, so emptying the macro here
// keeps it an ordinary hidden function.

#include <pluginterfaces/base/fplatform.h>

#undef SMTG_EXPORT_SYMBOL
#define SMTG_EXPORT_SYMBOL
