#include <gtest/gtest.h>

#include "gui/UIElement.h"
#include "helpers/MessageLoop.h"

#include <cmath>
#include <functional>
#include <limits>

namespace
{
    // A frame's colour carries its index in the red channel, so a snapshot tells which
    // frame the element shows.
    juce::Colour frameColour (int index)
    {
        return juce::Colour ((juce::uint8) index, (juce::uint8) (255 - index), (juce::uint8) 90);
    }

    juce::Image makeStrip (int numFrames, int width = 10, int frameHeight = 8)
    {
        juce::Image strip (juce::Image::ARGB, width, numFrames * frameHeight, true);
        juce::Graphics g (strip);

        for (int i = 0; i < numFrames; ++i)
        {
            g.setColour (frameColour (i));
            g.fillRect (0, i * frameHeight, width, frameHeight);
        }

        return strip;
    }

    UIElementSpec specFor (juce::Image strip, int numFrames, int width, int height, float initialValue = 0.0f)
    {
        return { std::move (strip), numFrames, 3, 4, width, height, initialValue };
    }

    /** What the element shows, taken the way its parent would draw it. */
    juce::Image snapshot (UIElement& e)
    {
        return e.createComponentSnapshot (e.getLocalBounds(), true, 1.0f);
    }

    void place (UIElement& e)
    {
        e.setBounds (e.x, e.y, e.width, e.height);
    }

    /** -1 if the snapshot is not one solid frame colour, else the frame index. The last
        column and row are left out: when JUCE enlarges an image, its resampler fades the
        far edges a little. */
    int solidFrameIndex (const juce::Image& image)
    {
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
        const auto first = data.getPixelColour (0, 0);

        for (int y = 0; y < image.getHeight() - 1; ++y)
            for (int x = 0; x < image.getWidth() - 1; ++x)
                if (data.getPixelColour (x, y) != first)
                    return -1;

        return first == frameColour (first.getRed()) ? (int) first.getRed() : -1;
    }

    bool isTransparent (const juce::Image& image)
    {
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (data.getPixelColour (x, y).getAlpha() != 0)
                    return false;

        return true;
    }

    int frameShownFor (int numFrames, float value)
    {
        UIElement e (specFor (makeStrip (numFrames), numFrames, 13, 11));
        place (e);
        e.setValue (value);
        return solidFrameIndex (snapshot (e));
    }
}

//==============================================================================
TEST (UIElement, PicksTheFrameByRoundingUpAndFillsTheBoxWithIt)
{
    struct Case
    {
        int numFrames;
        float value;
        int expectedFrame;
    };

    // The frame counts of the panel's switches, LED, knobs and meter. Zero shows frame 0,
    // the least value above it frame 1, and 1 or more the last frame.
    const Case cases[] = {
        { 2, 0.0f, 0 },   { 2, 0.01f, 1 },   { 2, 0.2f, 1 },   { 2, 0.5f, 1 },   { 2, 0.96f, 1 },   { 2, 1.0f, 1 },   { 2, 1.7f, 1 },
        { 3, 0.0f, 0 },   { 3, 0.01f, 1 },   { 3, 0.2f, 1 },   { 3, 0.5f, 1 },   { 3, 0.96f, 2 },   { 3, 1.0f, 2 },   { 3, 1.7f, 2 },
        { 50, 0.0f, 0 },  { 50, 0.01f, 1 },  { 50, 0.2f, 10 }, { 50, 0.5f, 25 }, { 50, 0.96f, 48 }, { 50, 1.0f, 49 }, { 50, 1.7f, 49 },
        { 100, 0.0f, 0 }, { 100, 0.01f, 1 }, { 100, 0.2f, 20 }, { 100, 0.5f, 50 }, { 100, 0.96f, 96 }, { 100, 1.0f, 99 }, { 100, 1.7f, 99 },
        // The knob values of the panel: the shortest delay and the default cutoff.
        { 50, 0.01f, 1 }, { 50, 900.0f / 3900.0f, 12 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (frameShownFor (c.numFrames, c.value), c.expectedFrame)
            << c.numFrames << " frames, value " << c.value;
}

TEST (UIElement, RendersItsInitialValueWhenBuilt)
{
    UIElement e (specFor (makeStrip (50), 50, 12, 9, 0.5f));
    place (e);
    EXPECT_EQ (solidFrameIndex (snapshot (e)), 25);
}

TEST (UIElement, StretchesTheFrameToAnyBoxOnEachAxisOnItsOwn)
{
    // One frame: red left half, blue right half, a green stripe along the top quarter.
    juce::Image strip (juce::Image::ARGB, 40, 2 * 16, true);
    {
        juce::Graphics g (strip);
        g.setColour (juce::Colours::white);
        g.fillRect (0, 0, 40, 16);
        g.setColour (juce::Colours::red);
        g.fillRect (0, 16, 20, 16);
        g.setColour (juce::Colours::blue);
        g.fillRect (20, 16, 20, 16);
        g.setColour (juce::Colours::lime);
        g.fillRect (0, 16, 40, 4);
    }

    const juce::Point<int> boxes[] = { { 7, 5 }, { 37, 23 }, { 101, 9 }, { 12, 61 }, { 40, 16 } };

    for (auto size : boxes)
    {
        UIElement e (specFor (strip, 2, size.x, size.y, 1.0f));
        place (e);
        const auto shot = snapshot (e);
        const juce::Image::BitmapData data (shot, juce::Image::BitmapData::readOnly);
        const auto w = size.x, h = size.y;

        SCOPED_TRACE (juce::String (w) + " x " + juce::String (h));

        // The frame reaches the far corner (whose edge the resampler may soften a little).
        EXPECT_GT (data.getPixelColour (w - 1, h - 1).getAlpha(), 200);
        EXPECT_GT (data.getPixelColour (0, h - 1).getAlpha(), 200);

        // The halves and the stripe scale with the box, not with the strip.
        const auto lower = juce::jmin (h - 1, h * 3 / 4);
        EXPECT_GT (data.getPixelColour (w / 5, lower).getRed(), 200);
        EXPECT_GT (data.getPixelColour (w - 1 - w / 5, lower).getBlue(), 200);
        EXPECT_GT (data.getPixelColour (w / 2, 0).getGreen(), 200);

        if (h >= 8)
        {
            EXPECT_LT (data.getPixelColour (w / 5, h / 2).getGreen(), 60);
        }
    }
}

TEST (UIElement, AfterSetSpecKeepsTheOldFrameAtTheOldSizeUntilTheNextValue)
{
    UIElement e (specFor (makeStrip (3), 3, 10, 6, 0.0f));
    place (e);

    // New strip and a bigger box, without a value: nothing is rendered yet.
    e.setSpec (specFor (makeStrip (50), 50, 30, 20, 1.0f));
    place (e);

    auto shot = snapshot (e);
    ASSERT_EQ (shot.getWidth(), 30);
    const juce::Image::BitmapData data (shot, juce::Image::BitmapData::readOnly);
    EXPECT_EQ (data.getPixelColour (8, 4), frameColour (0));
    EXPECT_EQ (data.getPixelColour (10, 5).getAlpha(), 0);
    EXPECT_EQ (data.getPixelColour (9, 6).getAlpha(), 0);
    EXPECT_EQ (data.getPixelColour (29, 19).getAlpha(), 0);

    // The next value renders from the new strip, over the whole new box.
    e.setValue (0.5f);
    EXPECT_EQ (solidFrameIndex (snapshot (e)), 25);
}

TEST (UIElement, ShowsNothingForAStripItCannotCut)
{
    struct Case
    {
        const char* what;
        juce::Image strip;
        int numFrames;
        float value;
    };

    const Case cases[] = {
        { "no frames", makeStrip (3), 0, 0.5f },
        { "invalid strip", juce::Image(), 3, 0.5f },
        { "more frames than rows", makeStrip (1, 10, 4), 9, 1.0f },
        { "negative frame count", makeStrip (3), -2, 0.5f },
        { "value far below 0", makeStrip (50), 50, -3.0f },
        { "lowest float", makeStrip (50), 50, std::numeric_limits<float>::lowest() },
        { "not a number", makeStrip (50), 50, std::numeric_limits<float>::quiet_NaN() },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);

        // Start from a visible frame, so that a skipped render would show.
        UIElement e (specFor (makeStrip (2), 2, 12, 9, 1.0f));
        place (e);
        ASSERT_EQ (solidFrameIndex (snapshot (e)), 1);

        e.setSpec (specFor (c.strip, c.numFrames, 12, 9));
        e.setValue (c.value);
        EXPECT_TRUE (isTransparent (snapshot (e)));
    }
}

TEST (UIElement, WithOneFrameShowsTheWholeStripForEveryValue)
{
    const auto strip = makeStrip (2, 10, 8); // frame colours 0 and 1 as top and bottom halves

    for (auto v : { 0.0f, 0.3f, 1.0f, 5.0f })
    {
        UIElement e (specFor (strip, 1, 20, 32, v));
        place (e);
        const auto shot = snapshot (e);
        const juce::Image::BitmapData data (shot, juce::Image::BitmapData::readOnly);
        EXPECT_EQ (data.getPixelColour (10, 4), frameColour (0)) << v;
        EXPECT_EQ (data.getPixelColour (10, 27), frameColour (1)) << v;
    }
}

//==============================================================================
namespace
{
    /** A software renderer that runs a callback when an image is drawn, to deliver a
        value while the element is in the middle of painting. */
    class CallbackRenderer : public juce::LowLevelGraphicsSoftwareRenderer
    {
    public:
        CallbackRenderer (const juce::Image& target, std::function<void()> onDrawImage)
            : juce::LowLevelGraphicsSoftwareRenderer (target)
            , callback (std::move (onDrawImage))
        {
        }

        void drawImage (const juce::Image& image, const juce::AffineTransform& t) override
        {
            if (callback != nullptr)
                callback();

            juce::LowLevelGraphicsSoftwareRenderer::drawImage (image, t);
        }

    private:
        std::function<void()> callback;
    };
}

TEST (UIElement, DropsAValueThatArrivesWhileItPaints)
{
    UIElement e (specFor (makeStrip (50), 50, 16, 12, 0.2f));
    place (e);

    int deliveries = 0;
    juce::Image screen (juce::Image::ARGB, 16, 12, true);

    {
        CallbackRenderer renderer (screen, [&]
        {
            ++deliveries;
            e.setValue (1.0f);
        });
        juce::Graphics g (renderer);
        e.paintEntireComponent (g, false);
    }

    ASSERT_EQ (deliveries, 1);
    EXPECT_EQ (solidFrameIndex (screen), 10); // this paint drew the frame it started with

    // No retry later: the element keeps the old frame until a new value comes.
    testhelpers::pumpMessages (50);
    EXPECT_EQ (solidFrameIndex (snapshot (e)), 10);

    // Painting is over, so the next value is taken.
    e.setValue (1.0f);
    EXPECT_EQ (solidFrameIndex (snapshot (e)), 49);
}
