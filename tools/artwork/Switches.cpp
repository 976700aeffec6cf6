#include "ArtCommon.h"
#include "Painters.h"

#include <cmath>

namespace art
{
    namespace
    {
        using namespace layout;

        const juce::Colour chromeLight { 0xfff4f6f8 };
        const juce::Colour chromeMid { 0xffa9adb3 };
        const juce::Colour chromeDark { 0xff4d5157 };

        /** Hex nut and bushing that hold the switch in the panel. */
        void paintMount (Canvas& cv, juce::Point<float> c)
        {
            auto& g = cv.g;

            juce::Path washer;
            washer.addEllipse (juce::Rectangle<float> (28.0f, 28.0f).withCentre (c));
            drawSoftShadow (cv, washer, { 0.6f, 2.0f }, 2.6f, 0.55f);

            juce::ColourGradient washerFill (chromeMid.brighter (0.2f), c.x, c.y - 14.0f, chromeDark, c.x, c.y + 14.0f, false);
            g.setGradientFill (washerFill);
            g.fillPath (washer);

            juce::Path nut;
            nut.addPolygon (c, 6, 11.6f, 0.0f);
            nut = nut.createPathWithRoundedCorners (1.4f);

            // Each face of the nut takes the light differently.
            fillShaded (cv, nut, [c] (juce::Point<float> p)
            {
                const auto angle = std::atan2 (p.x - c.x, -(p.y - c.y));
                const auto face = std::floor ((angle + juce::MathConstants<float>::pi) / (juce::MathConstants<float>::pi / 3.0f));
                const float levels[] = { 0.52f, 0.38f, 0.55f, 0.80f, 0.93f, 0.72f, 0.52f };
                const auto radial = std::hypot (p.x - c.x, p.y - c.y) / 11.6f;
                return metalGrey (levels[(int) juce::jlimit (0.0f, 6.0f, face)] + 0.06f * (1.0f - radial));
            });
            g.setColour (juce::Colours::black.withAlpha (0.45f));
            g.strokePath (nut, juce::PathStrokeType (0.5f));

            // The threaded bushing the lever comes out of.
            const auto bush = juce::Rectangle<float> (12.4f, 12.4f).withCentre (c);
            juce::ColourGradient bushFill (chromeDark, c.x, bush.getY(), chromeLight, c.x, bush.getBottom(), false);
            g.setGradientFill (bushFill);
            g.fillEllipse (bush);
            g.setColour (juce::Colour (0xff202225));
            g.fillEllipse (bush.reduced (2.6f));
        }

        /** The bat lever, seen from a little above: a tapered chrome rod ending in a ball. */
        void paintLever (Canvas& cv, juce::Point<float> base, float degrees, float length, LeverStyle style)
        {
            auto& g = cv.g;
            const auto tip = polar (base, length, degrees);
            const auto side = degrees + 90.0f;

            juce::Path rod;
            rod.startNewSubPath (polar (base, 3.9f, side));
            rod.lineTo (polar (tip, 2.6f, side));
            rod.lineTo (polar (tip, -2.6f, side));
            rod.lineTo (polar (base, -3.9f, side));
            rod.closeSubPath();
            rod.addEllipse (juce::Rectangle<float> (7.8f, 7.8f).withCentre (base));

            const auto ballRadius = style == LeverStyle::guarded ? 5.0f : 4.5f;
            juce::Path ball;
            ball.addEllipse (juce::Rectangle<float> (2 * ballRadius, 2 * ballRadius).withCentre (tip));

            juce::Path whole (rod);
            whole.addPath (ball);
            drawSoftShadow (cv, whole, { 3.0f, 4.2f }, 2.4f, 0.5f);

            // Chrome: a bright streak along the rod, dark along its far side.
            const auto l = polar (base, -3.9f, side), r = polar (base, 3.9f, side);
            juce::ColourGradient chrome (chromeDark, r.x, r.y, chromeDark.darker (0.3f), l.x, l.y, false);
            chrome.addColour (0.30, chromeLight);
            chrome.addColour (0.45, juce::Colours::white);
            chrome.addColour (0.70, chromeMid);
            g.setGradientFill (chrome);
            g.fillPath (rod);

            if (style == LeverStyle::guarded)
            {
                juce::ColourGradient red (juce::Colour (0xffff8a78), tip.x - ballRadius * 0.4f, tip.y - ballRadius * 0.5f,
                                          juce::Colour (0xff7a130c), tip.x + ballRadius, tip.y + ballRadius, true);
                red.addColour (0.35, juce::Colour (0xffd5301f));
                g.setGradientFill (red);
            }
            else
            {
                juce::ColourGradient ballFill (juce::Colours::white, tip.x - ballRadius * 0.35f, tip.y - ballRadius * 0.45f,
                                               chromeDark, tip.x + ballRadius, tip.y + ballRadius, true);
                ballFill.addColour (0.45, chromeMid);
                g.setGradientFill (ballFill);
            }

            g.fillPath (ball);
            g.setColour (juce::Colours::black.withAlpha (0.35f));
            g.strokePath (ball, juce::PathStrokeType (0.45f));
        }

        /** Two rails either side of the lever, so it cannot be thrown by accident. */
        void paintGuards (Canvas& cv, juce::Point<float> c)
        {
            auto& g = cv.g;

            for (auto dx : { -16.5f, 16.5f })
            {
                const juce::Rectangle<float> rail (c.x + dx - 2.6f, c.y - 29.0f, 5.2f, 52.0f);
                juce::Path p;
                p.addRoundedRectangle (rail, 2.6f);
                drawSoftShadow (cv, p, { 1.5f, 2.5f }, 2.4f, 0.5f);

                juce::ColourGradient fill (chromeDark, rail.getX(), 0.0f, chromeDark.darker (0.2f), rail.getRight(), 0.0f, false);
                fill.addColour (0.35, chromeLight);
                fill.addColour (0.55, juce::Colours::white);
                g.setGradientFill (fill);
                g.fillPath (p);
                g.setColour (juce::Colours::black.withAlpha (0.35f));
                g.strokePath (p, juce::PathStrokeType (0.4f));
            }
        }
    }

    juce::Image paintSwitchStrip (const layout::Element& lever, LeverThrow direction, LeverStyle style)
    {
        const auto c = centreOf (lever);

        return paintStrip (lever.box.toFloat(), lever.frameWidth, lever.frameHeight, lever.numFrames,
                           [&] (Canvas& cv, int frame)
                           {
                               const auto on = frame == 1;

                               if (style == LeverStyle::guarded)
                                   paintGuards (cv, c);

                               paintMount (cv, c);

                               if (direction == LeverThrow::leftRight)
                                   paintLever (cv, c, on ? 58.0f : -58.0f, 24.0f, style);
                               else
                                   // Seen from above, a lever thrown down looks shorter than one thrown up.
                                   paintLever (cv, c, on ? 0.0f : 180.0f, on ? 25.0f : 17.0f, style);
                           });
    }
}
