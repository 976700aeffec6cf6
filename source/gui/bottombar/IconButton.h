#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The bottom strip's icon buttons: the icon as drawn when idle, a grey silhouette of it
    under the mouse and while pressed, scaled to fit and centred. */
inline void setUpIconButton (juce::ImageButton& button, const void* png, size_t pngSize)
{
    const auto icon = juce::ImageCache::getFromMemory (png, (int) pngSize);
    button.setImages (true, true, true,
                      icon, 1.0f, juce::Colour (0x00000000),
                      icon, 1.0f, juce::Colour (0xff555555),
                      icon, 1.0f, juce::Colour (0xff555555),
                      0.0f);
}
