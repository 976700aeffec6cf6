#include "UIElement.h"

#include <cmath>

namespace
{
    // A cleared image of the box's size; a box without area has nothing to show.
    juce::Image makeFrameImage (int width, int height)
    {
        if (width <= 0 || height <= 0)
            return {};

        return juce::Image (juce::Image::ARGB, width, height, true);
    }
}

UIElement::UIElement (UIElementSpec spec)
    : strip (std::move (spec.strip))
    , numFrames (spec.numFrames)
    , x (spec.x)
    , y (spec.y)
    , width (spec.width)
    , height (spec.height)
    , initialValue (spec.initialValue)
    , frameImage (makeFrameImage (width, height))
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

    frameImage = makeFrameImage (width, height);
    shownFrame = -1;

    if (frameImage.isValid() && numFrames > 0 && strip.isValid())
    {
        const auto frameHeight = strip.getHeight() / numFrames;
        const auto stripWidth = strip.getWidth();

        // ceil, so that the smallest value above 0 already leaves frame 0.
        const auto index = std::ceil ((float) (numFrames - 1) * v);
        const auto top = (double) index * (double) frameHeight;

        // Only values below 0 (or not a number) can reach outside the strip: a frame cut
        // by its edge shows in part, one wholly outside (or NaN) leaves the element empty.
        if (frameHeight > 0 && top > -(double) frameHeight && top < (double) strip.getHeight())
        {
            const auto source = strip.getClippedImage ({ 0, (int) top, stripWidth, frameHeight });

            if (source.isValid())
            {
                juce::Graphics g (frameImage);
                g.drawImageTransformed (source, juce::AffineTransform::scale ((float) width / (float) stripWidth,
                                                                              (float) height / (float) frameHeight));
                shownFrame = (int) index;
            }
        }
    }

    repaint();
}

void UIElement::paint (juce::Graphics& g)
{
    const juce::ScopedValueSetter<bool> guard (painting, true);

    if (frameImage.isValid() && ! g.getClipBounds().isEmpty())
        g.drawImageAt (frameImage, 0, 0);
}
