#include "ArtCommon.h"
#include "Painters.h"

#include <cmath>

namespace art
{
    namespace
    {
        using namespace layout;

        struct LedLook
        {
            juce::Colour lens;
            juce::Colour core;
            bool lit;
        };

        void paintLed (Canvas& cv, juce::Point<float> c, const LedLook& look)
        {
            auto& g = cv.g;
            const float bezelR = 11.5f, lensR = 8.3f;

            if (look.lit)
            {
                // Light spilling onto the panel round the bezel.
                juce::ColourGradient glow (look.lens.withAlpha (0.55f), c.x, c.y,
                                           look.lens.withAlpha (0.0f), c.x + 29.0f, c.y, true);
                glow.addColour (0.35, look.lens.withAlpha (0.22f));
                g.setGradientFill (glow);
                g.fillEllipse (juce::Rectangle<float> (58.0f, 58.0f).withCentre (c));
            }

            juce::Path bezel;
            bezel.addEllipse (juce::Rectangle<float> (2 * bezelR, 2 * bezelR).withCentre (c));
            drawSoftShadow (cv, bezel, { 0.5f, 2.0f }, 2.5f, look.lit ? 0.3f : 0.55f);

            juce::ColourGradient chrome (juce::Colour (0xfff2f4f6), c.x, c.y - bezelR,
                                         juce::Colour (0xff4b4f55), c.x, c.y + bezelR, false);
            chrome.addColour (0.55, juce::Colour (0xff9a9ea4));
            g.setGradientFill (chrome);
            g.fillPath (bezel);

            const auto seat = juce::Rectangle<float> (2 * lensR + 2.4f, 2 * lensR + 2.4f).withCentre (c);
            juce::ColourGradient seatFill (juce::Colour (0xff2a2c30), c.x, seat.getY(), juce::Colour (0xffc9ccd0), c.x, seat.getBottom(), false);
            g.setGradientFill (seatFill);
            g.fillEllipse (seat);

            // The dome of the lens: bright core when lit, deep colour at its rim.
            const auto lens = juce::Rectangle<float> (2 * lensR, 2 * lensR).withCentre (c);
            juce::ColourGradient dome (look.core, c.x, c.y + 1.0f, look.lens.darker (look.lit ? 0.5f : 0.9f), c.x + lensR, c.y + 1.0f, true);
            dome.addColour (0.45, look.lens);
            g.setGradientFill (dome);
            g.fillEllipse (lens);

            // A window reflection on the dome.
            g.setColour (juce::Colours::white.withAlpha (look.lit ? 0.75f : 0.5f));
            g.fillEllipse (juce::Rectangle<float> (6.4f, 3.6f).withCentre (c.translated (-2.4f, -4.3f)));
            g.setColour (juce::Colours::white.withAlpha (0.18f));
            g.fillEllipse (juce::Rectangle<float> (4.0f, 2.0f).withCentre (c.translated (3.0f, 4.6f)));
        }

        juce::Image paintIcon (int w, int h, const std::function<void (juce::Graphics&)>& paintShape)
        {
            // Drawn four times larger, then reduced: cleaner edges at these tiny sizes.
            const int k = 4;
            juce::Image big (juce::Image::ARGB, w * k, h * k, true);

            {
                juce::Graphics g (big);
                g.addTransform (juce::AffineTransform::scale ((float) k));
                paintShape (g);
            }

            juce::Image small (juce::Image::ARGB, w, h, true);
            const juce::Image::BitmapData src (big, juce::Image::BitmapData::readOnly);
            juce::Image::BitmapData dst (small, juce::Image::BitmapData::writeOnly);

            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                {
                    // Average premultiplied samples, so edges blend without dark fringes.
                    float sum[4] = {};

                    for (int j = 0; j < k; ++j)
                        for (int i = 0; i < k; ++i)
                        {
                            const auto* p = reinterpret_cast<const juce::PixelARGB*> (src.getPixelPointer (x * k + i, y * k + j));
                            sum[0] += p->getAlpha();
                            sum[1] += p->getRed();
                            sum[2] += p->getGreen();
                            sum[3] += p->getBlue();
                        }

                    const auto n = (float) (k * k);
                    auto* out = reinterpret_cast<juce::PixelARGB*> (dst.getPixelPointer (x, y));
                    out->setARGB ((juce::uint8) juce::roundToInt (sum[0] / n), (juce::uint8) juce::roundToInt (sum[1] / n),
                                  (juce::uint8) juce::roundToInt (sum[2] / n), (juce::uint8) juce::roundToInt (sum[3] / n));
                }

            return small;
        }

        const juce::Colour iconColour { 0xffe9e9e6 };
    }

    juce::Image paintLedStrip()
    {
        const auto c = centreOf (clipLed);
        const LedLook looks[] = {
            { juce::Colour (0xff35d84a), juce::Colour (0xffe8ffe0), true },   // lit green: power on, level fine
            { juce::Colour (0xff1f5a28), juce::Colour (0xff2f7a39), false },  // dark green: power off
            { juce::Colour (0xffff3324), juce::Colour (0xffffe6d8), true }    // lit red: clipping
        };

        return paintStrip (clipLed.box.toFloat(), clipLed.frameWidth, clipLed.frameHeight, clipLed.numFrames,
                           [&] (Canvas& cv, int frame) { paintLed (cv, c, looks[frame]); });
    }

    juce::Image paintPresetArrow (bool pointsLeft)
    {
        return paintIcon (31, 36, [pointsLeft] (juce::Graphics& g)
        {
            juce::Path triangle;
            triangle.addTriangle (8.0f, 18.0f, 24.0f, 8.0f, 24.0f, 28.0f);
            triangle = triangle.createPathWithRoundedCorners (2.2f);

            if (! pointsLeft)
                triangle.applyTransform (juce::AffineTransform::scale (-1.0f, 1.0f, 15.5f, 18.0f));

            g.setColour (iconColour);
            g.fillPath (triangle);
        });
    }

    juce::Image paintUndoArrow (bool clockwise)
    {
        return paintIcon (38, 49, [clockwise] (juce::Graphics& g)
        {
            // A counter-clockwise arc over the top ending in a head pointing down on the
            // left (undo); mirrored, it turns clockwise (redo).
            const juce::Point<float> c (19.0f, 26.0f);
            const float r = 11.5f;

            juce::Path arc;
            arc.addCentredArc (c.x, c.y, r, r, 0.0f, juce::degreesToRadians (100.0f), juce::degreesToRadians (-78.0f), true);

            juce::Path shape;
            juce::PathStrokeType (3.8f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded).createStrokedPath (shape, arc);

            const auto end = polar (c, r, -90.0f);
            juce::Path head;
            head.addTriangle (end.x - 6.6f, end.y - 1.5f, end.x + 6.6f, end.y - 1.5f, end.x, end.y + 8.0f);
            shape.addPath (head.createPathWithRoundedCorners (1.2f));

            if (clockwise)
                shape.applyTransform (juce::AffineTransform::scale (-1.0f, 1.0f, c.x, c.y));

            g.setColour (iconColour);
            g.fillPath (shape);
        });
    }
}
