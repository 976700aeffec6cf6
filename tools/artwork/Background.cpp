#include "ArtCommon.h"
#include "Painters.h"

#include <cmath>
#include <vector>

namespace art
{
    namespace
    {
        using namespace layout;

        float gaussian (juce::Random& rng)
        {
            const auto u1 = juce::jmax (1.0e-7f, rng.nextFloat());
            const auto u2 = rng.nextFloat();
            return std::sqrt (-2.0f * std::log (u1)) * std::cos (juce::MathConstants<float>::twoPi * u2);
        }

        /** Horizontally brushed aluminium. Each row gets its own offset and a run of streaks
            of random length; the broad vertical sheen is where the light catches the grain.
            Values stay constant along a row for long stretches, which keeps the PNG small. */
        juce::Image brushedMetal (int w, int h)
        {
            juce::Random rng (0x4b6f7276);
            juce::Image image (juce::Image::ARGB, w, h, false);
            juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);
            std::vector<float> streak ((size_t) w);

            for (int y = 0; y < h; ++y)
            {
                const auto ny = (float) y / (float) h;
                const auto rowOffset = gaussian (rng) * 0.0085f;

                for (int x = 0; x < w;)
                {
                    const auto length = 24 + rng.nextInt (560);
                    const auto offset = gaussian (rng) * 0.0065f;

                    for (int i = x; i < juce::jmin (w, x + length); ++i)
                        streak[(size_t) i] = offset;

                    x += length;
                }

                for (int x = 0; x < w; ++x)
                {
                    const auto nx = (float) x / (float) w;
                    const auto sheen = 0.045f * std::exp (-std::pow ((nx - 0.30f) / 0.22f, 2.0f))
                                     + 0.025f * std::exp (-std::pow ((nx - 0.86f) / 0.12f, 2.0f));
                    const auto v = 0.765f - 0.055f * ny + sheen + rowOffset + streak[(size_t) x];
                    data.setPixelColour (x, y, metalGrey (v));
                }
            }

            return image;
        }

        void drawScrew (juce::Graphics& g, juce::Point<float> c, float angleDegrees)
        {
            const float r = 5.2f;
            const juce::Rectangle<float> head (c.x - r, c.y - r, 2 * r, 2 * r);

            // The countersink: a dark ring around the head.
            g.setColour (juce::Colours::black.withAlpha (0.28f));
            g.fillEllipse (head.expanded (1.1f));

            juce::ColourGradient dome (juce::Colour (0xffe9ebee), c.x - r * 0.45f, c.y - r * 0.55f,
                                       juce::Colour (0xff7d8187), c.x + r * 0.8f, c.y + r * 0.9f, true);
            g.setGradientFill (dome);
            g.fillEllipse (head);

            // Hex socket, turned a little differently on each screw.
            juce::Path socket;
            socket.addPolygon (c, 6, r * 0.42f, juce::degreesToRadians (angleDegrees));
            g.setColour (juce::Colour (0xff2b2d31));
            g.fillPath (socket);
            g.setColour (juce::Colours::white.withAlpha (0.35f));
            g.strokePath (socket, juce::PathStrokeType (0.35f), juce::AffineTransform::translation (0.2f, 0.35f));
            g.setColour (juce::Colours::black.withAlpha (0.35f));
            g.drawEllipse (head, 0.4f);
        }

        void drawPanelEdges (juce::Graphics& g)
        {
            const auto panel = juce::Rectangle<float> (0, 0, (float) panelWidth, (float) panelHeight);

            // A machined chamfer: light on the top and left edges, shade on the others.
            g.setColour (juce::Colours::white.withAlpha (0.55f));
            g.fillRect (panel.withHeight (1.0f));
            g.fillRect (panel.withWidth (1.0f));
            g.setColour (juce::Colours::black.withAlpha (0.30f));
            g.fillRect (panel.withTop ((float) panelHeight - 1.0f));
            g.fillRect (panel.withLeft ((float) panelWidth - 1.0f));
            g.setColour (juce::Colours::black.withAlpha (0.10f));
            g.fillRect (panel.withTop ((float) panelHeight - 2.5f).withHeight (1.5f));
        }

        void drawHeader (juce::Graphics& g)
        {
            const auto& fonts = Fonts::get();

            const auto logoFont = font (fonts.logo, 35.0f, 0.06f);
            g.setColour (colours::ink);
            drawText (g, "VANTOREL", logoFont, { 27.0f, 44.0f }, juce::Justification::left);

            // A red rule between name and kind: the maker's mark on every unit.
            const auto logoWidth = textWidth ("VANTOREL", logoFont);
            g.setColour (colours::accent);
            g.fillRect (juce::Rectangle<float> (27.0f + logoWidth + 11.0f, 20.0f, 2.4f, 24.0f));

            g.setColour (colours::softInk);
            drawText (g, "FEEDBACK", font (fonts.semiBold, 8.6f, 0.32f),
                      { 27.0f + logoWidth + 20.0f, 30.6f }, juce::Justification::left);
            drawText (g, "DELAY", font (fonts.semiBold, 8.6f, 0.32f),
                      { 27.0f + logoWidth + 20.0f, 43.6f }, juce::Justification::left);

            g.setColour (colours::ink);
            drawText (g, "KORVANE", font (fonts.bold, 10.5f, 0.42f), { 1030.0f, 34.0f }, juce::Justification::right);
            g.setColour (colours::softInk);
            drawText (g, "AUDIO INSTRUMENTS", font (fonts.semiBold, 5.6f, 0.40f), { 1030.0f, 44.0f }, juce::Justification::right);
        }

        void drawMeterWindow (juce::Graphics& g)
        {
            const auto face = meterFace;

            // The cut in the panel, lit from above: shade on its upper lip, light on its lower.
            const auto cut = face.expanded (5.0f);
            juce::ColourGradient lip (juce::Colours::black.withAlpha (0.40f), 0.0f, cut.getY(),
                                      juce::Colours::white.withAlpha (0.60f), 0.0f, cut.getBottom(), false);
            g.setGradientFill (lip);
            g.fillRoundedRectangle (cut, 7.0f);

            // The bezel, a black frame round the glass.
            const auto bezel = face.expanded (3.6f);
            juce::ColourGradient frame (juce::Colour (0xff3a3c40), 0.0f, bezel.getY(),
                                        juce::Colour (0xff111214), 0.0f, bezel.getBottom(), false);
            g.setGradientFill (frame);
            g.fillRoundedRectangle (bezel, 5.5f);
            g.setColour (juce::Colours::black);
            g.fillRoundedRectangle (face.expanded (0.8f), 3.5f);
        }

        struct ScaleMark
        {
            float position; // 0..1 along the sweep
            bool major;
            juce::String label;
        };

        void drawKnobScale (juce::Graphics& g, const Element& knob, const juce::String& title,
                            const juce::String& unit, const std::vector<ScaleMark>& marks)
        {
            const auto& fonts = Fonts::get();
            const auto c = knobCentre (knob);

            for (const auto& m : marks)
            {
                const auto deg = knobStartDegrees + knobSweepDegrees * m.position;
                const auto inner = polar (c, knobRadius + 6.0f, deg);
                const auto outer = polar (c, knobRadius + (m.major ? 13.0f : 10.0f), deg);

                g.setColour (m.major ? colours::ink : colours::softInk);
                g.drawLine ({ inner, outer }, m.major ? 1.7f : 1.0f);

                if (m.label.isNotEmpty())
                {
                    const auto labelFont = font (fonts.medium, 8.6f, 0.02f);
                    const auto w = textWidth (m.label, labelFont);
                    // Place the label so that its box, not its corner, keeps a steady distance
                    // from the ticks whatever the angle.
                    const auto a = juce::degreesToRadians (deg);
                    const auto reach = knobRadius + 19.0f + std::abs (std::sin (a)) * (w * 0.5f - 3.0f);
                    const auto p = polar (c, reach, deg);
                    g.setColour (colours::ink);
                    drawText (g, m.label, labelFont, { p.x, p.y + 3.1f }, juce::Justification::horizontallyCentred);
                }
            }

            g.setColour (colours::ink);
            drawText (g, title, font (fonts.semiBold, 10.5f, 0.22f), { c.x, c.y - knobRadius - 33.0f },
                      juce::Justification::horizontallyCentred);

            g.setColour (colours::softInk);
            drawText (g, unit, font (fonts.medium, 8.6f, 0.06f), { c.x, c.y + knobRadius + 18.0f },
                      juce::Justification::horizontallyCentred);
        }

        void drawKnobScales (juce::Graphics& g)
        {
            {
                std::vector<ScaleMark> marks;

                for (int i = 1; i <= 20; ++i)
                {
                    const auto s = (float) i * 0.05f;
                    marks.push_back ({ s, i % 4 == 0, i % 4 == 0 ? juce::String (juce::roundToInt (s * 1000.0f)) : juce::String() });
                }

                // The shortest delay, 10 ms, sits just past the start of the sweep.
                marks.push_back ({ 0.01f, true, "10" });
                drawKnobScale (g, delayKnob, "DELAY", "ms", marks);
            }

            {
                std::vector<ScaleMark> marks;
                const char* labels[] = { "0", ".2", ".4", ".6", ".8", "1" };

                for (int i = 0; i <= 20; ++i)
                    marks.push_back ({ (float) i * 0.05f, i % 4 == 0, i % 4 == 0 ? labels[i / 4] : "" });

                drawKnobScale (g, feedbackKnob, "FEEDBACK", "gain", marks);
            }

            {
                std::vector<ScaleMark> marks;
                const auto at = [] (float hz) { return (hz - 100.0f) / 3900.0f; };

                marks.push_back ({ 0.0f, true, "100" });

                for (int hz = 250; hz <= 4000; hz += 250)
                {
                    const auto major = hz % 1000 == 0;
                    marks.push_back ({ at ((float) hz), major, major ? juce::String (hz / 1000) + "k" : juce::String() });
                }

                drawKnobScale (g, cutoffKnob, "CUTOFF", "hz", marks);
            }
        }

        void drawKnobShadows (Canvas& c)
        {
            for (auto* knob : { &delayKnob, &feedbackKnob, &cutoffKnob })
            {
                juce::Path disc;
                disc.addEllipse (juce::Rectangle<float> (knobRadius * 2.0f, knobRadius * 2.0f).withCentre (knobCentre (*knob)));
                drawSoftShadow (c, disc, { 1.0f, 5.0f }, 9.0f, 0.55f);
                drawSoftShadow (c, disc, { 0.0f, 1.5f }, 2.0f, 0.45f);
            }
        }

        /** Two position names over the outer ends of a left/right lever, the lever's name above them. */
        void drawLeverLegend (juce::Graphics& g, const Element& lever, const juce::String& name,
                              const juce::String& left, const juce::String& right)
        {
            const auto& fonts = Fonts::get();
            const auto c = centreOf (lever);
            const auto top = (float) lever.box.getY();

            g.setColour (colours::ink);
            drawText (g, name, font (fonts.semiBold, 8.2f, 0.22f), { c.x, top - 17.0f }, juce::Justification::horizontallyCentred);

            const auto posFont = font (fonts.medium, 7.4f, 0.10f);
            g.setColour (colours::softInk);
            drawText (g, left, posFont, { c.x - 19.0f, top - 3.5f }, juce::Justification::horizontallyCentred);
            drawText (g, right, posFont, { c.x + 19.0f, top - 3.5f }, juce::Justification::horizontallyCentred);

            // Little guide strokes from the names towards the two lever positions.
            g.setColour (colours::softInk.withAlpha (0.8f));
            g.drawLine (c.x - 11.0f, top + 1.0f, c.x - 7.0f, top + 6.0f, 0.8f);
            g.drawLine (c.x + 11.0f, top + 1.0f, c.x + 7.0f, top + 6.0f, 0.8f);
        }

        void drawLegends (juce::Graphics& g)
        {
            const auto& fonts = Fonts::get();

            drawLeverLegend (g, powerSwitch, "POWER", "OFF", "ON");
            drawLeverLegend (g, mixSwitch, "MIX", "FULL", "HALF");
            drawLeverLegend (g, boostSwitch, "FEEDBACK BOOST", "x 1.2", "x 1");

            {
                const auto c = centreOf (panicSwitch);
                g.setColour (colours::accent);
                drawText (g, "PANIC", font (fonts.bold, 8.2f, 0.24f), { c.x, (float) panicSwitch.box.getY() - 5.0f },
                          juce::Justification::horizontallyCentred);
            }

            {
                // The filter lever throws up for high-pass and down for low-pass.
                const auto box = filterSwitch.box.toFloat();
                const auto x = box.getCentreX() + 17.0f;
                g.setColour (colours::ink);
                drawText (g, "FILTER", font (fonts.semiBold, 8.2f, 0.22f), { box.getCentreX(), box.getY() - 5.0f },
                          juce::Justification::horizontallyCentred);

                const auto posFont = font (fonts.medium, 7.4f, 0.10f);
                g.setColour (colours::softInk);
                drawText (g, "HPF", posFont, { x, box.getY() + 15.0f }, juce::Justification::left);
                drawText (g, "LPF", posFont, { x, box.getBottom() - 13.0f }, juce::Justification::left);
            }

            {
                const auto led = clipLed.box.toFloat();
                g.setColour (colours::ink);
                drawText (g, "CLIP", font (fonts.semiBold, 7.6f, 0.24f), { led.getCentreX(), led.getBottom() + 9.5f },
                          juce::Justification::horizontallyCentred);
            }
        }
    }

    juce::Image paintBackground()
    {
        auto image = brushedMetal (backgroundWidth, backgroundHeight);
        juce::Graphics g (image);

        const auto toPixels = juce::AffineTransform::scale ((float) backgroundWidth / (float) panelWidth,
                                                            (float) backgroundHeight / (float) panelHeight);
        g.addTransform (toPixels);
        Canvas canvas { image, g, toPixels, image.getBounds() };

        drawPanelEdges (g);
        drawHeader (g);
        drawMeterWindow (g);
        drawKnobShadows (canvas);
        drawKnobScales (g);
        drawLegends (g);

        drawScrew (g, { 12.0f, 12.0f }, 8.0f);
        drawScrew (g, { (float) panelWidth - 12.0f, 12.0f }, 31.0f);
        drawScrew (g, { 12.0f, (float) panelHeight - 12.0f }, 52.0f);
        drawScrew (g, { (float) panelWidth - 12.0f, (float) panelHeight - 12.0f }, 17.0f);

        return image;
    }
}
