#pragma once

// The maker's addresses. The LV2 wrapper pastes them into string literals of the plug-in's
// description, so they are macros underneath; code uses the constants below.
#define VANTOREL_WEBSITE "https://korvane.example"
#define VANTOREL_CONTACT "mailto:info@korvane.example"

// The LV2 plug-in's URI: hosts store it in their sessions and find the plug-in by it, so it
// never changes once released.
#define VANTOREL_LV2_URI VANTOREL_WEBSITE "/plugins/vantorel"

/** The maker's web pages opened by the editor's link buttons, and the plug-in's LV2 URI.
    Change them here. */
namespace Links
{
    inline constexpr const char* website = VANTOREL_WEBSITE;
    inline constexpr const char* donation = VANTOREL_WEBSITE "/support";
    inline constexpr const char* lv2Uri = VANTOREL_LV2_URI;
} // namespace Links
