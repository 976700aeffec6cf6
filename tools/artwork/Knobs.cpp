#include "ArtCommon.h"
#include "Painters.h"

#include <cmath>

namespace art
{
    namespace
    {
        using namespace layout;

        juce::Path disc (juce::Point<float> c, float r)
        {
            juce::Path p;
            p.addEllipse (c.x - r, c.y - r, 2.0f * r, 2.0f * r);
            return p;
        }

        /** A black anodised skirt with a turned aluminium cap. The light is fixed above
            the panel, so everything but the pointer looks the same in every frame, as it
            does on a real knob. */
        void paintKnobBody (Canvas& cv, juce::Point<float> c)
        {
            auto& g = cv.g;
            const auto r = knobRadius;

            // Skirt: dark anodising, lit from above. It changes only from top to bottom,
            // which keeps fifty frames of it cheap to store.
            juce::ColourGradient skirt (juce::Colour (0xff45484e), c.x, c.y - r,
                                        juce::Colour (0xff0b0c0d), c.x, c.y + r * 0.9f, false);
            skirt.addColour (0.35, juce::Colour (0xff24262a));
            g.setGradientFill (skirt);
            g.fillPath (disc (c, r));

            // The skirt's rounded outer edge catches the light at the top.
            juce::ColourGradient rim (juce::Colours::white.withAlpha (0.42f), c.x, c.y - r,
                                      juce::Colours::white.withAlpha (0.0f), c.x, c.y + r * 0.2f, false);
            g.setGradientFill (rim);
            g.drawEllipse (juce::Rectangle<float> (2 * r - 1.4f, 2 * r - 1.4f).withCentre (c), 1.4f);

            // Shade where the cap rises out of the skirt.
            const auto capR = knobCapRadius;
            juce::ColourGradient step (juce::Colours::black.withAlpha (0.0f), c.x, c.y - capR - 4.0f,
                                       juce::Colours::black.withAlpha (0.65f), c.x, c.y + capR + 4.0f, false);
            g.setGradientFill (step);
            g.fillEllipse (juce::Rectangle<float> (2 * capR + 5.0f, 2 * capR + 5.0f).withCentre (c.translated (0.6f, 1.6f)));

            // Cap: turned aluminium, whose fine concentric grooves make the familiar bow tie
            // of light.
            fillShaded (cv, disc (c, capR), [c, capR] (juce::Point<float> p)
            {
                const auto dx = p.x - c.x, dy = p.y - c.y;
                const auto phi = std::atan2 (dx, -dy);
                const auto bow = 0.5f + 0.5f * std::cos (2.0f * (phi + 0.62f));
                const auto tilt = -dy / capR;
                const auto v = juce::jlimit (0.0f, 1.0f, 0.56f + 0.27f * std::pow (bow, 1.6f) + 0.06f * tilt);
                return juce::Colour::fromFloatRGBA (v, v, v, 1.0f);
            });

            // Chamfer of the cap: bright towards the light, dark away from it.
            juce::ColourGradient chamfer (juce::Colours::white.withAlpha (0.85f), c.x - capR * 0.6f, c.y - capR * 0.8f,
                                          juce::Colours::black.withAlpha (0.55f), c.x + capR * 0.6f, c.y + capR * 0.8f, false);
            g.setGradientFill (chamfer);
            g.drawEllipse (juce::Rectangle<float> (2 * capR - 1.2f, 2 * capR - 1.2f).withCentre (c), 1.2f);
        }

        void paintPointer (Canvas& cv, juce::Point<float> c, float degrees)
        {
            auto& g = cv.g;

            // A cream line on the skirt: readable from across the room.
            const auto a = polar (c, knobCapRadius + 3.5f, degrees);
            const auto b = polar (c, knobRadius - 3.2f, degrees);
            juce::Path line;
            line.startNewSubPath (a);
            line.lineTo (b);
            g.setColour (juce::Colours::black.withAlpha (0.45f));
            g.strokePath (line, juce::PathStrokeType (4.4f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded),
                          juce::AffineTransform::translation (0.3f, 0.8f));
            g.setColour (juce::Colour (0xfff5f0e1));
            g.strokePath (line, juce::PathStrokeType (3.4f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

            // An engraved groove on the cap, in line with it.
            juce::Path groove;
            groove.startNewSubPath (polar (c, 9.0f, degrees));
            groove.lineTo (polar (c, knobCapRadius - 4.0f, degrees));
            g.setColour (juce::Colours::white.withAlpha (0.55f));
            g.strokePath (groove, juce::PathStrokeType (1.8f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded),
                          juce::AffineTransform::translation (0.35f, 0.6f));
            g.setColour (juce::Colour (0xff26282b).withAlpha (0.85f));
            g.strokePath (groove, juce::PathStrokeType (1.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        }
    }

    juce::Image paintKnobStrip (const layout::Element& knob)
    {
        const auto c = knobCentre (knob);

        return paintStrip (knob.box.toFloat(), knob.frameWidth, knob.frameHeight, knob.numFrames,
                           [&] (Canvas& cv, int frame)
                           {
                               paintKnobBody (cv, c);
                               paintPointer (cv, c, knobDegreesForFrame (frame, knob.numFrames));
                           });
    }
}
