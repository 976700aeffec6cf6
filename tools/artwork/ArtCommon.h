#pragma once

#include <juce_graphics/juce_graphics.h>

#include <functional>

/** Shared drawing helpers of the artwork generator.

    Everything is designed in the panel's 1060 x 340 coordinates and drawn into images
    at about twice that, so the editor always shrinks the art and it stays sharp.
*/
namespace art
{
    //==============================================================================
    /** The typefaces of the panel, loaded from the font files Debian installs. */
    struct Fonts
    {
        juce::Typeface::Ptr logo;     // League Spartan Bold
        juce::Typeface::Ptr bold;     // Inter Bold
        juce::Typeface::Ptr semiBold; // Inter SemiBold
        juce::Typeface::Ptr medium;   // Inter Medium

        /** Loads the fonts once; returns false and names the missing file if one is absent. */
        static bool load (juce::String& error);
        static const Fonts& get();
    };

    juce::Font font (juce::Typeface::Ptr face, float height, float tracking = 0.0f);

    /** Fills a single line of text as outlines, so its position is exact at any scale.
        anchor is the point the justification refers to, on the text's baseline. */
    void drawText (juce::Graphics& g, const juce::String& text, const juce::Font& f,
                   juce::Point<float> anchor, juce::Justification justification);

    /** The width the text will take, including tracking. */
    float textWidth (const juce::String& text, const juce::Font& f);

    //==============================================================================
    /** One frame being painted: a Graphics in panel design coordinates, plus the
        mapping to the pixels of the image, for helpers that shade pixel by pixel. */
    struct Canvas
    {
        juce::Image image;
        juce::Graphics& g;
        juce::AffineTransform toPixels;
        juce::Rectangle<int> framePixels;
    };

    using ShadeFunction = std::function<juce::Colour (juce::Point<float>)>;

    /** Fills a path with a colour computed for every pixel (given in design coordinates).
        The path becomes the clip, so its edge stays anti-aliased. */
    void fillShaded (Canvas& c, const juce::Path& area, const ShadeFunction& shade);

    /** Builds a filmstrip: frames stacked vertically, each painted in design coordinates
        of 'box' and stretched so that the box fills the frame exactly. */
    juce::Image paintStrip (juce::Rectangle<float> box, int frameWidth, int frameHeight, int numFrames,
                            const std::function<void (Canvas&, int frame)>& paintFrame);

    /** A soft shadow: a blurred copy of the shape's silhouette, offset and faded. */
    void drawSoftShadow (Canvas& c, const juce::Path& shape, juce::Point<float> offset,
                         float blurRadius, float opacity);

    //==============================================================================
    /** Writes a non-interlaced RGBA PNG with 8 or 16 bits per channel. */
    bool writePng (const juce::Image& image, const juce::File& file, int bitsPerChannel);

    /** Grey of the given brightness (0..1), with a slight cool cast like anodised aluminium. */
    juce::Colour metalGrey (float brightness, float alpha = 1.0f);

    /** Point at 'radius' from 'centre', at 'degrees' clockwise from twelve o'clock. */
    juce::Point<float> polar (juce::Point<float> centre, float radius, float degrees);
}
