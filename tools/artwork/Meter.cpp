#include "ArtCommon.h"
#include "Painters.h"

#include <cmath>

namespace art
{
    namespace
    {
        using namespace layout;

        juce::Path scaleArc (float radius, float fromDegrees, float toDegrees)
        {
            juce::Path p;
            p.addCentredArc (meterPivot.x, meterPivot.y, radius, radius, 0.0f,
                             juce::degreesToRadians (fromDegrees), juce::degreesToRadians (toDegrees), true);
            return p;
        }

        /** The face without its needle: ivory card, dB FS scale from -100 to 0 with the
            last 4 dB in red, where the clip LED lights. */
        void paintFace (juce::Graphics& g)
        {
            const auto& fonts = Fonts::get();
            const auto face = meterFace;

            // Lit from above through the glass: a little warmer and darker towards the bottom.
            juce::ColourGradient card (colours::meterFace.brighter (0.04f), 0.0f, face.getY(),
                                       colours::meterFace.darker (0.10f), 0.0f, face.getBottom(), false);
            g.setGradientFill (card);
            g.fillRect (face);

            const auto r = meterScaleRadius;
            const auto at = [] (float dB) { return meterDegreesForDecibels (dB); };

            // Red zone above -4 dB FS.
            g.setColour (colours::accent);
            g.strokePath (scaleArc (r + 3.2f, at (-4.0f), at (0.0f)), juce::PathStrokeType (6.4f));

            g.setColour (colours::meterInk);
            g.strokePath (scaleArc (r, at (-100.0f), at (-4.0f)), juce::PathStrokeType (1.3f));

            const auto labelFont = font (fonts.medium, 11.0f, 0.0f);

            for (int dB = -100; dB <= 0; dB += 5)
            {
                const auto deg = at ((float) dB);
                const auto major = dB % 20 == 0;
                const auto mid = dB % 10 == 0;
                const auto inner = polar (meterPivot, r - (major ? 5.0f : 0.0f), deg);
                const auto outer = polar (meterPivot, r + (major ? 12.0f : mid ? 9.5f : 6.4f), deg);

                g.setColour (dB > -4 ? colours::accent.darker (0.4f) : colours::meterInk);
                g.drawLine ({ inner, outer }, major ? 2.0f : 1.2f);

                if (major)
                {
                    const auto p = polar (meterPivot, r + 23.0f, deg);
                    g.setColour (dB == 0 ? colours::accent : colours::meterInk);
                    const auto text = dB == 0 ? juce::String ("0") : juce::String::fromUTF8 ("\xe2\x88\x92") + juce::String (-dB);
                    drawText (g, text, labelFont, { p.x - (dB == 0 ? 0.0f : 1.5f), p.y + 4.0f }, juce::Justification::horizontallyCentred);
                }
            }

            g.setColour (colours::meterInk);
            drawText (g, "dB FS", font (fonts.semiBold, 15.0f, 0.04f), { meterPivot.x, face.getY() + 110.0f },
                      juce::Justification::horizontallyCentred);
            g.setColour (colours::meterInk.withAlpha (0.6f));
            drawText (g, "PEAK", font (fonts.medium, 7.5f, 0.45f), { meterPivot.x, face.getY() + 123.0f },
                      juce::Justification::horizontallyCentred);
        }

        void paintNeedle (juce::Graphics& g, float degrees)
        {
            juce::Path needle;
            const auto tip = polar (meterPivot, meterScaleRadius + 10.0f, degrees);
            needle.startNewSubPath (meterPivot);
            needle.lineTo (tip);

            // Its shadow falls on the card, a little below and to the right.
            g.setColour (juce::Colours::black.withAlpha (0.18f));
            g.strokePath (needle, juce::PathStrokeType (2.4f), juce::AffineTransform::translation (2.2f, 3.0f));

            g.setColour (juce::Colour (0xff141416));
            g.strokePath (needle, juce::PathStrokeType (1.7f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        }

        /** The black plate along the bottom of the window that hides the needle's pivot. */
        void paintCover (juce::Graphics& g)
        {
            const auto& fonts = Fonts::get();
            const auto face = meterFace;
            const auto cover = face.withTop (meterCoverTop);

            juce::Path plate;
            plate.startNewSubPath (face.getX(), face.getBottom());
            plate.lineTo (face.getX(), cover.getY() + 10.0f);
            plate.quadraticTo (meterPivot.x, cover.getY() - 12.0f, face.getRight(), cover.getY() + 10.0f);
            plate.lineTo (face.getRight(), face.getBottom());
            plate.closeSubPath();

            juce::ColourGradient paint (juce::Colour (0xff2e3034), 0.0f, cover.getY() - 2.0f,
                                        juce::Colour (0xff151618), 0.0f, face.getBottom(), false);
            g.setGradientFill (paint);
            g.fillPath (plate);
            g.setColour (juce::Colours::white.withAlpha (0.18f));
            g.strokePath (plate, juce::PathStrokeType (0.8f));

            g.setColour (juce::Colour (0xffcfd2d6));
            drawText (g, "VANTOREL", font (fonts.logo, 9.0f, 0.30f), { meterPivot.x, face.getBottom() - 6.5f },
                      juce::Justification::horizontallyCentred);
        }

        void paintGlass (juce::Graphics& g)
        {
            const auto face = meterFace;

            // Shade cast by the bezel's upper lip.
            juce::ColourGradient lip (juce::Colours::black.withAlpha (0.34f), 0.0f, face.getY(),
                                      juce::Colours::black.withAlpha (0.0f), 0.0f, face.getY() + 14.0f, false);
            g.setGradientFill (lip);
            g.fillRect (face.withHeight (14.0f));

        }
    }

    juce::Image paintMeterStrip()
    {
        const auto& meter = levelMeter;

        return paintStrip (meter.box.toFloat(), meter.frameWidth, meter.frameHeight, meter.numFrames,
                           [&] (Canvas& cv, int frame)
                           {
                               auto& g = cv.g;
                               const juce::Graphics::ScopedSaveState save (g);
                               g.reduceClipRegion (meterFace.toNearestInt());

                               // The needle moves from -100 dB FS in frame 0 to 0 dB FS in the last frame.
                               const auto dB = -100.0f + 100.0f * (float) frame / (float) (meter.numFrames - 1);
                               paintFace (g);
                               paintNeedle (g, meterDegreesForDecibels (dB));
                               paintCover (g);
                               paintGlass (g);
                           });
    }
}
