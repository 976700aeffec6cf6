#include "ArtCommon.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace art
{
    namespace
    {
        juce::Typeface::Ptr loadFace (const char* path, juce::String& error)
        {
            juce::MemoryBlock data;

            if (! juce::File (path).loadFileAsData (data) || data.isEmpty())
            {
                error << "missing font file " << path << " (scripts/setup installs it)\n";
                return {};
            }

            return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
        }

        Fonts& instance()
        {
            static Fonts fonts;
            return fonts;
        }

        // Three box blurs in a row come within a few percent of a Gaussian and cost
        // the same whatever the radius.
        void boxBlurLine (float* line, int length, int stride, int radius, std::vector<float>& scratch)
        {
            scratch.resize ((size_t) length);

            for (int i = 0; i < length; ++i)
                scratch[(size_t) i] = line[(size_t) i * (size_t) stride];

            const auto norm = 1.0f / (float) (2 * radius + 1);
            float sum = 0.0f;

            for (int i = -radius; i <= radius; ++i)
                sum += scratch[(size_t) juce::jlimit (0, length - 1, i)];

            for (int i = 0; i < length; ++i)
            {
                line[(size_t) i * (size_t) stride] = sum * norm;
                sum += scratch[(size_t) juce::jmin (length - 1, i + radius + 1)];
                sum -= scratch[(size_t) juce::jmax (0, i - radius)];
            }
        }
    }

    bool Fonts::load (juce::String& error)
    {
        auto& f = instance();
        f.logo = loadFace ("/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf", error);
        f.bold = loadFace ("/usr/share/fonts/opentype/inter/Inter-Bold.otf", error);
        f.semiBold = loadFace ("/usr/share/fonts/opentype/inter/Inter-SemiBold.otf", error);
        f.medium = loadFace ("/usr/share/fonts/opentype/inter/Inter-Medium.otf", error);
        return error.isEmpty();
    }

    const Fonts& Fonts::get()
    {
        return instance();
    }

    juce::Font font (juce::Typeface::Ptr face, float height, float tracking)
    {
        return juce::Font (face).withHeight (height).withExtraKerningFactor (tracking);
    }

    float textWidth (const juce::String& text, const juce::Font& f)
    {
        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (f, text, 0.0f, 0.0f);
        // Tracking adds space after the last letter too; it must not shift centred text.
        return glyphs.getBoundingBox (0, -1, false).getWidth() - f.getExtraKerningFactor() * f.getHeight();
    }

    void drawText (juce::Graphics& g, const juce::String& text, const juce::Font& f,
                   juce::Point<float> anchor, juce::Justification justification)
    {
        const auto width = textWidth (text, f);
        auto x = anchor.x;

        if (justification.testFlags (juce::Justification::horizontallyCentred))
            x -= width * 0.5f;
        else if (justification.testFlags (juce::Justification::right))
            x -= width;

        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (f, text, x, anchor.y);

        juce::Path outline;
        glyphs.createPath (outline);
        g.fillPath (outline);
    }

    void fillShaded (Canvas& c, const juce::Path& area, const ShadeFunction& shade)
    {
        const auto pixelArea = area.getBoundsTransformed (c.toPixels)
                                   .getSmallestIntegerContainer()
                                   .expanded (1)
                                   .getIntersection (c.framePixels);

        if (pixelArea.isEmpty())
            return;

        juce::Image tile (juce::Image::ARGB, pixelArea.getWidth(), pixelArea.getHeight(), false);
        const auto fromPixels = c.toPixels.inverted();

        {
            juce::Image::BitmapData data (tile, juce::Image::BitmapData::writeOnly);

            for (int y = 0; y < pixelArea.getHeight(); ++y)
                for (int x = 0; x < pixelArea.getWidth(); ++x)
                {
                    const auto p = juce::Point<float> ((float) (pixelArea.getX() + x) + 0.5f,
                                                       (float) (pixelArea.getY() + y) + 0.5f)
                                       .transformedBy (fromPixels);
                    data.setPixelColour (x, y, shade (p));
                }
        }

        // A second context straight on the pixels: the tile lands without resampling.
        juce::Graphics pixels (c.image);
        pixels.reduceClipRegion (c.framePixels);
        pixels.reduceClipRegion (area, c.toPixels);
        pixels.drawImageAt (tile, pixelArea.getX(), pixelArea.getY());
    }

    juce::Image paintStrip (juce::Rectangle<float> box, int frameWidth, int frameHeight, int numFrames,
                            const std::function<void (Canvas&, int)>& paintFrame)
    {
        juce::Image strip (juce::Image::ARGB, frameWidth, frameHeight * numFrames, true);
        juce::Graphics g (strip);

        const auto designToFrame = juce::AffineTransform::translation (-box.getX(), -box.getY())
                                       .scaled ((float) frameWidth / box.getWidth(),
                                                (float) frameHeight / box.getHeight());

        for (int frame = 0; frame < numFrames; ++frame)
        {
            const juce::Graphics::ScopedSaveState save (g);
            const juce::Rectangle<int> framePixels (0, frame * frameHeight, frameWidth, frameHeight);
            const auto toPixels = designToFrame.translated (0.0f, (float) framePixels.getY());

            g.reduceClipRegion (framePixels);
            g.addTransform (toPixels);

            Canvas canvas { strip, g, toPixels, framePixels };
            paintFrame (canvas, frame);
        }

        return strip;
    }

    void drawSoftShadow (Canvas& c, const juce::Path& shape, juce::Point<float> offset,
                         float blurRadius, float opacity)
    {
        const auto scale = std::sqrt (std::abs (c.toPixels.getDeterminant()));
        const auto radius = juce::jmax (1, juce::roundToInt (blurRadius * scale / 1.8f));
        const auto moved = c.toPixels.translated (offset.x * scale, offset.y * scale);
        const auto area = shape.getBoundsTransformed (moved).getSmallestIntegerContainer().expanded (radius * 3 + 2);

        const int w = area.getWidth(), h = area.getHeight();
        juce::Image mask (juce::Image::SingleChannel, w, h, true);

        {
            juce::Graphics mg (mask);
            mg.setColour (juce::Colours::white);
            mg.fillPath (shape, moved.translated ((float) -area.getX(), (float) -area.getY()));
        }

        std::vector<float> values ((size_t) (w * h));
        std::vector<float> scratch;

        {
            const juce::Image::BitmapData data (mask, juce::Image::BitmapData::readOnly);

            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    values[(size_t) (y * w + x)] = (float) *data.getPixelPointer (x, y) / 255.0f;
        }

        for (int pass = 0; pass < 3; ++pass)
        {
            for (int y = 0; y < h; ++y)
                boxBlurLine (values.data() + (size_t) (y * w), w, 1, radius, scratch);

            for (int x = 0; x < w; ++x)
                boxBlurLine (values.data() + x, h, w, radius, scratch);
        }

        juce::Image shadow (juce::Image::ARGB, w, h, true);

        {
            juce::Image::BitmapData data (shadow, juce::Image::BitmapData::writeOnly);

            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    data.setPixelColour (x, y, juce::Colours::black.withAlpha (juce::jlimit (0.0f, 1.0f, values[(size_t) (y * w + x)] * opacity)));
        }

        juce::Graphics pixels (c.image);
        pixels.reduceClipRegion (c.framePixels);
        pixels.drawImageAt (shadow, area.getX(), area.getY());
    }

    bool writePng (const juce::Image& image, const juce::File& file, int bitsPerChannel)
    {
        jassert (bitsPerChannel == 8 || bitsPerChannel == 16);

        const auto w = image.getWidth(), h = image.getHeight();
        const auto bytesPerSample = bitsPerChannel / 8;
        const auto rowBytes = (size_t) w * 4 * (size_t) bytesPerSample;

        file.getParentDirectory().createDirectory();
        std::unique_ptr<FILE, int (*) (FILE*)> out (std::fopen (file.getFullPathName().toRawUTF8(), "wb"), std::fclose);

        if (out == nullptr)
            return false;

        auto* png = png_create_write_struct (PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        auto* info = png_create_info_struct (png);

        if (setjmp (png_jmpbuf (png)))
        {
            png_destroy_write_struct (&png, &info);
            return false;
        }

        png_init_io (png, out.get());

        // Level 9 costs nothing at run time; None/Sub/Up keep the editor's decode fast, as
        // Paeth and Average filtered rows take noticeably longer to undo.
        png_set_compression_level (png, 9);
        png_set_filter (png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP);

        png_set_IHDR (png, info, (png_uint_32) w, (png_uint_32) h, bitsPerChannel, PNG_COLOR_TYPE_RGB_ALPHA,
                      PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info (png, info);

        std::vector<png_byte> row (rowBytes);
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);

        for (int y = 0; y < h; ++y)
        {
            auto* dest = row.data();

            for (int x = 0; x < w; ++x)
            {
                // Straight (not premultiplied) alpha, and nothing but zeros where nothing is drawn.
                auto c = data.getPixelColour (x, y);
                const juce::uint8 rgba[4] = { c.getRed(), c.getGreen(), c.getBlue(), c.getAlpha() };
                const auto empty = rgba[3] == 0;

                for (auto v : rgba)
                {
                    const auto value = empty ? 0 : v;

                    if (bytesPerSample == 2)
                        *dest++ = (png_byte) value; // v * 257: the high and the low byte are equal

                    *dest++ = (png_byte) value;
                }
            }

            png_write_row (png, row.data());
        }

        png_write_end (png, nullptr);
        png_destroy_write_struct (&png, &info);
        return true;
    }

    juce::Colour metalGrey (float brightness, float alpha)
    {
        const auto v = juce::jlimit (0.0f, 1.0f, brightness);
        return juce::Colour::fromFloatRGBA (v * 0.985f, v * 0.993f, juce::jmin (1.0f, v * 1.012f), alpha);
    }

    juce::Point<float> polar (juce::Point<float> centre, float radius, float degrees)
    {
        const auto a = juce::degreesToRadians (degrees);
        return { centre.x + radius * std::sin (a), centre.y - radius * std::cos (a) };
    }
}
