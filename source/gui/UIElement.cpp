#include "UIElement.h"

#include "Artwork.h"

#include <cmath>

namespace
{
    /** Pixels of a logical length at a scale; exact at scale 1. */
    int physical (int logical, float scale) { return scale == 1.0f ? logical : juce::roundToInt ((float) logical * scale); }

    /** Screens and hosts scale in steps; nearly equal scales are the same. */
    bool sameScale (float a, float b) { return std::abs (a - b) < 0.001f; }
}

UIElement::UIElement (UIElementSpec spec)
    : strip (std::move (spec.strip))
    , numFrames (spec.numFrames)
    , x (spec.x)
    , y (spec.y)
    , width (spec.width)
    , height (spec.height)
    , initialValue (spec.initialValue)
{
    setValue (initialValue);
}

void UIElement::setSpec (const UIElementSpec& spec)
{
    strip = spec.strip;
    numFrames = spec.numFrames;
    x = spec.x;
    y = spec.y;
    width = spec.width;
    height = spec.height;
    initialValue = spec.initialValue;
}

void UIElement::setValue (float v)
{
    v = juce::jmin (v, 1.0f);

    // The value may come from something this paint triggered; rendering now would swap
    // the image being drawn. Drop it: the next value brings the element up to date.
    if (painting)
        return;

    // The scale its last paint had (exact), or the best guess before it was ever painted.
    const auto scale = paintScale > 0.0f ? paintScale : (float) juce::Component::getApproximateScaleFactorForComponent (this);

    if (render (v, scale))
        repaint();
}

bool UIElement::render (float v, float scale)
{
    const bool drawable = numFrames > 0 && strip.isValid() && width > 0 && height > 0;

    const auto index = frameIndexFor (numFrames, v);
    const int frame = drawable && std::isfinite (index) ? (int) index : -1;

    // The same frame at the same size and scale is already shown: nothing to do.
    if (rendered && frame == shownFrame && width == renderedWidth && height == renderedHeight
        && sameScale (scale, renderScale) && strip.getPixelData() == frameStrip.getPixelData())
    {
        shownValue = v;
        return false;
    }

    frameImage = {};
    shownFrame = -1;

    if (drawable)
    {
        const auto frameHeight = strip.getHeight() / numFrames;
        const auto top = (double) index * (double) frameHeight;

        // Only values below 0 (or not a number) can reach outside the strip: a frame cut by
        // its edge shows in part, one wholly outside (or NaN) leaves the element empty.
        if (frameHeight > 0 && top > -(double) frameHeight && top < (double) strip.getHeight())
        {
            frameImage = Artwork::get().frame (strip, numFrames, (int) index, physical (width, scale), physical (height, scale));
            shownFrame = (int) index;
        }
    }

    frameStrip = strip;
    shownValue = v;
    renderedWidth = width;
    renderedHeight = height;
    renderScale = scale;
    rendered = true;
    return true;
}

void UIElement::paint (juce::Graphics& g)
{
    const juce::ScopedValueSetter<bool> guard (painting, true);

    // Moved to a screen or a host scale other than the one rendered for: render anew at
    // the physical size this paint has.
    const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    if (scale > 0.0f)
        paintScale = scale;
    if (rendered && ! sameScale (scale, renderScale) && scale > 0.0f)
        render (shownValue, scale);

    if (! frameImage.isValid() || g.getClipBounds().isEmpty())
        return;

    // The picture has the physical pixels of the box it was rendered for: drawn at that
    // box's logical size from the top-left corner (a plain copy at scale 1).
    if (sameScale (renderScale, 1.0f))
        g.drawImageAt (frameImage, 0, 0);
    else
        g.drawImageTransformed (frameImage, juce::AffineTransform::scale ((float) renderedWidth / (float) frameImage.getWidth(),
                                                                          (float) renderedHeight / (float) frameImage.getHeight()));
}
