#include "ArtCommon.h"
#include "Painters.h"

#include <cmath>

namespace art
{
    namespace
    {
        // Designed on a 256 x 256 square and drawn at any size.
        constexpr float design = 256.0f;

        void paintIcon (juce::Graphics& g)
        {
            // The panel's brushed aluminium, as a rounded plate with a dark edge.
            const juce::Rectangle<float> plate (10.0f, 10.0f, 236.0f, 236.0f);
            juce::Path plateShape;
            plateShape.addRoundedRectangle (plate, 44.0f);

            g.setColour (juce::Colours::black.withAlpha (0.35f));
            g.fillPath (plateShape, juce::AffineTransform::translation (0.0f, 3.0f));

            juce::ColourGradient metal (metalGrey (0.90f), 0.0f, plate.getY(), metalGrey (0.66f), 0.0f, plate.getBottom(), false);
            metal.addColour (0.45, metalGrey (0.80f));
            g.setGradientFill (metal);
            g.fillPath (plateShape);

            // Fine horizontal brushing.
            g.saveState();
            g.reduceClipRegion (plateShape);
            for (int i = 0; i < 118; ++i)
            {
                const auto y = plate.getY() + 2.0f * (float) i;
                g.setColour ((i % 3 == 0 ? juce::Colours::white : juce::Colours::black).withAlpha (0.035f));
                g.fillRect (plate.getX(), y, plate.getWidth(), 1.0f);
            }
            g.restoreState();

            g.setColour (juce::Colour (0xff2b2d31));
            g.strokePath (plateShape, juce::PathStrokeType (3.0f));

            // The repeats: arcs fading as an echo does, in the maker's red.
            const juce::Point<float> knob (98.0f, 128.0f);
            for (int k = 0; k < 3; ++k)
            {
                const auto radius = 74.0f + 28.0f * (float) k;
                juce::Path arc;
                arc.addCentredArc (knob.x, knob.y, radius, radius, 0.0f, juce::degreesToRadians (48.0f),
                                   juce::degreesToRadians (132.0f), true);
                g.setColour (colours::accent.withAlpha (0.95f - 0.3f * (float) k));
                g.strokePath (arc, juce::PathStrokeType (13.0f - 2.5f * (float) k, juce::PathStrokeType::curved,
                                                         juce::PathStrokeType::rounded));
            }

            // A black knob with a turned aluminium cap and a cream pointer, as on the panel.
            const float skirtR = 58.0f, capR = 38.0f;
            g.setColour (juce::Colours::black.withAlpha (0.4f));
            g.fillEllipse (juce::Rectangle<float> (2 * skirtR, 2 * skirtR).withCentre (knob.translated (2.0f, 6.0f)));

            juce::ColourGradient skirt (juce::Colour (0xff4a4d53), knob.x, knob.y - skirtR,
                                        juce::Colour (0xff0b0c0d), knob.x, knob.y + skirtR, false);
            skirt.addColour (0.4, juce::Colour (0xff24262a));
            g.setGradientFill (skirt);
            g.fillEllipse (juce::Rectangle<float> (2 * skirtR, 2 * skirtR).withCentre (knob));

            juce::ColourGradient cap (juce::Colour (0xfff0f1f3), knob.x - capR, knob.y - capR,
                                      juce::Colour (0xff7c8087), knob.x + capR, knob.y + capR, false);
            cap.addColour (0.5, juce::Colour (0xffc4c7cc));
            g.setGradientFill (cap);
            g.fillEllipse (juce::Rectangle<float> (2 * capR, 2 * capR).withCentre (knob));
            g.setColour (juce::Colours::black.withAlpha (0.45f));
            g.drawEllipse (juce::Rectangle<float> (2 * capR, 2 * capR).withCentre (knob), 2.0f);

            // Pointer at two o'clock.
            juce::Path pointer;
            pointer.startNewSubPath (polar (knob, capR + 4.0f, 60.0f));
            pointer.lineTo (polar (knob, skirtR - 5.0f, 60.0f));
            g.setColour (juce::Colour (0xfff5f0e1));
            g.strokePath (pointer, juce::PathStrokeType (7.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        }
    } // namespace

    juce::Image paintAppIcon (int size)
    {
        juce::Image image (juce::Image::ARGB, size, size, true);
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale ((float) size / design));
        paintIcon (g);
        return image;
    }

    bool writeIco (const std::vector<juce::Image>& images, const juce::File& file)
    {
        // ICONDIR, one ICONDIRENTRY per image, then each image as a 32-bit DIB (BGRA rows
        // bottom-up, then an all-clear AND mask): every Windows tool reads that form.
        juce::MemoryOutputStream out;
        out.writeShort (0);
        out.writeShort (1);
        out.writeShort ((short) images.size());

        std::vector<juce::MemoryBlock> bodies;
        for (const auto& image : images)
        {
            const int w = image.getWidth(), h = image.getHeight();
            const int maskRow = ((w + 31) / 32) * 4;
            juce::MemoryOutputStream dib;
            dib.writeInt (40);
            dib.writeInt (w);
            dib.writeInt (2 * h);
            dib.writeShort (1);
            dib.writeShort (32);
            dib.writeInt (0);
            dib.writeInt (w * h * 4 + maskRow * h);
            dib.writeInt (0);
            dib.writeInt (0);
            dib.writeInt (0);
            dib.writeInt (0);

            for (int y = h - 1; y >= 0; --y)
                for (int x = 0; x < w; ++x)
                {
                    const auto c = image.getPixelAt (x, y);
                    dib.writeByte ((char) c.getBlue());
                    dib.writeByte ((char) c.getGreen());
                    dib.writeByte ((char) c.getRed());
                    dib.writeByte ((char) c.getAlpha());
                }

            for (int i = 0; i < maskRow * h; ++i)
                dib.writeByte (0);

            bodies.push_back (dib.getMemoryBlock());
        }

        int offset = 6 + 16 * (int) images.size();
        for (size_t i = 0; i < images.size(); ++i)
        {
            const int w = images[i].getWidth(), h = images[i].getHeight();
            out.writeByte ((char) (w >= 256 ? 0 : w));
            out.writeByte ((char) (h >= 256 ? 0 : h));
            out.writeByte (0);
            out.writeByte (0);
            out.writeShort (1);
            out.writeShort (32);
            out.writeInt ((int) bodies[i].getSize());
            out.writeInt (offset);
            offset += (int) bodies[i].getSize();
        }

        for (const auto& body : bodies)
            out.write (body.getData(), body.getSize());

        file.getParentDirectory().createDirectory();
        return file.replaceWithData (out.getData(), out.getDataSize());
    }
}
