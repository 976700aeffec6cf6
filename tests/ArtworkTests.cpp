#include <gtest/gtest.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "gui/EmbeddedImages.h"

#include <cmath>
#include <cstring>
#include <algorithm>
#include <functional>
#include <vector>

namespace
{
    struct Resource
    {
        const char* name;
        const char* data;
        int size;
        int width, height, numFrames, bitsPerChannel;
    };

    // Name, bytes, pixel size, frames and depth of every image the module carries.
    const Resource resources[] = {
        { "background", BinaryData::background_png, BinaryData::background_pngSize, 2120, 680, 1, 16 },
        { "mix_switch", BinaryData::mix_switch_png, BinaryData::mix_switch_pngSize, 129, 246, 2, 8 },
        { "vu_meter", BinaryData::vu_meter_png, BinaryData::vu_meter_pngSize, 889, 56400, 100, 8 },
        { "power_switch", BinaryData::power_switch_png, BinaryData::power_switch_pngSize, 146, 250, 2, 8 },
        { "delay_btn", BinaryData::delay_btn_png, BinaryData::delay_btn_pngSize, 544, 27650, 50, 8 },
        { "feedback_btn", BinaryData::feedback_btn_png, BinaryData::feedback_btn_pngSize, 493, 28350, 50, 8 },
        { "cutoff_btn", BinaryData::cutoff_btn_png, BinaryData::cutoff_btn_pngSize, 529, 28200, 50, 8 },
        { "feedback_switch", BinaryData::feedback_switch_png, BinaryData::feedback_switch_pngSize, 125, 236, 2, 8 },
        { "panic_switch", BinaryData::panic_switch_png, BinaryData::panic_switch_pngSize, 124, 302, 2, 8 },
        { "filter_switch", BinaryData::filter_switch_png, BinaryData::filter_switch_pngSize, 126, 268, 2, 8 },
        { "clipping_leds", BinaryData::clipping_leds_png, BinaryData::clipping_leds_pngSize, 125, 366, 3, 8 },
        { "preset_arrow_left", BinaryData::preset_arrow_left_png, BinaryData::preset_arrow_left_pngSize, 31, 36, 1, 8 },
        { "preset_arrow_right", BinaryData::preset_arrow_right_png, BinaryData::preset_arrow_right_pngSize, 31, 36, 1, 8 },
        { "redo", BinaryData::redo_png, BinaryData::redo_pngSize, 38, 49, 1, 8 },
        { "undo", BinaryData::undo_png, BinaryData::undo_pngSize, 38, 49, 1, 8 },
    };

    juce::Image load (const char* data, int size)
    {
        return juce::ImageCache::getFromMemory (data, size);
    }

    /** A frame of a strip, with its own coordinates from 0. */
    juce::Image frameOf (const juce::Image& strip, int numFrames, int frame)
    {
        const auto h = strip.getHeight() / numFrames;
        return strip.getClippedImage ({ 0, frame * h, strip.getWidth(), h });
    }

    /** Maps the panel's design coordinates into the frame of an element whose box is given. */
    struct BoxMapping
    {
        juce::Rectangle<int> box;
        int frameWidth, frameHeight;

        juce::Rectangle<int> toFrame (juce::Rectangle<int> design) const
        {
            const auto sx = (float) frameWidth / (float) box.getWidth();
            const auto sy = (float) frameHeight / (float) box.getHeight();
            return juce::Rectangle<float> ((float) (design.getX() - box.getX()) * sx, (float) (design.getY() - box.getY()) * sy,
                                           (float) design.getWidth() * sx, (float) design.getHeight() * sy)
                .toNearestInt()
                .getIntersection ({ frameWidth, frameHeight });
        }
    };

    template <typename Predicate>
    std::vector<juce::Point<int>> pixelsWhere (const juce::Image& image, juce::Rectangle<int> area, Predicate&& keep)
    {
        std::vector<juce::Point<int>> found;
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
        area = area.getIntersection (image.getBounds());

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (keep (data.getPixelColour (x, y)))
                    found.push_back ({ x, y });

        return found;
    }

    juce::Point<float> centroid (const std::vector<juce::Point<int>>& points)
    {
        juce::Point<double> sum;

        for (auto p : points)
            sum += p.toDouble();

        return (sum / (double) juce::jmax<size_t> (1, points.size())).toFloat();
    }

    /** Degrees clockwise from twelve o'clock. */
    float clockDegrees (juce::Point<float> from, juce::Point<float> to)
    {
        const auto d = juce::radiansToDegrees (std::atan2 (to.x - from.x, from.y - to.y));
        return d < 0.0f ? d + 360.0f : d;
    }
}

//==============================================================================
TEST (EmbeddedImages, EveryImageIsAnRgbaPngOfItsSizeWithWholeFrames)
{
    for (const auto& r : resources)
    {
        SCOPED_TRACE (r.name);

        // The header as written: signature, then IHDR with size, depth, RGBA, no interlace.
        ASSERT_GT (r.size, 33);
        const auto* bytes = reinterpret_cast<const juce::uint8*> (r.data);
        const juce::uint8 signature[] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
        EXPECT_EQ (std::memcmp (bytes, signature, 8), 0);
        EXPECT_EQ (std::memcmp (bytes + 12, "IHDR", 4), 0);
        EXPECT_EQ ((int) juce::ByteOrder::bigEndianInt (bytes + 16), r.width);
        EXPECT_EQ ((int) juce::ByteOrder::bigEndianInt (bytes + 20), r.height);
        EXPECT_EQ (bytes[24], r.bitsPerChannel);
        EXPECT_EQ (bytes[25], 6) << "colour type";
        EXPECT_EQ (bytes[28], 0) << "interlace";

        // What the editor gets from the image cache.
        const auto image = load (r.data, r.size);
        ASSERT_TRUE (image.isValid());
        EXPECT_EQ (image.getWidth(), r.width);
        EXPECT_EQ (image.getHeight(), r.height);
        EXPECT_TRUE (image.hasAlphaChannel());
        EXPECT_EQ (image.getHeight() % r.numFrames, 0);
    }
}

TEST (EmbeddedImages, BackgroundIsOpaqueAndCarriesLegendsAtTheControls)
{
    const auto background = load (BinaryData::background_png, BinaryData::background_pngSize);
    ASSERT_EQ (background.getWidth(), 2120);

    EXPECT_TRUE (pixelsWhere (background, background.getBounds(), [] (juce::Colour c) { return c.getAlpha() != 255; }).empty());

    // Where each legend is printed, in design coordinates: above or beside the control
    // it names, and the tick scales around the knobs.
    struct Legend
    {
        const char* what;
        juce::Rectangle<int> area;
    };

    const Legend legends[] = {
        { "logo", { 20, 10, 300, 40 } },
        { "power: On, Off", { 101, 228, 73, 34 } },
        { "mix: Half, Full", { 283, 226, 65, 34 } },
        { "boost: x 1, x 1.2", { 625, 224, 90, 34 } },
        { "panic", { 730, 238, 62, 19 } },
        { "filter: HPF", { 940, 258, 40, 20 } },
        { "filter: LPF", { 940, 300, 40, 25 } },
        { "clip", { 464, 319, 62, 18 } },
        { "delay scale", { 440, 60, 196, 170 } },
        { "feedback scale", { 618, 60, 196, 170 } },
        { "cutoff scale", { 812, 60, 196, 170 } },
    };

    // Black, grey or red print stands out from the light metal.
    const auto isInk = [] (juce::Colour c) { return c.getPerceivedBrightness() < 0.5f; };

    for (const auto& l : legends)
    {
        const auto ink = pixelsWhere (background, l.area * 2, isInk);
        EXPECT_GT (ink.size(), 25u) << l.what;
    }
}

TEST (EmbeddedImages, KnobPointersTurnClockwiseFromSevenToFiveOClock)
{
    struct Knob
    {
        const char* name;
        const char* data;
        int size;
        BoxMapping mapping;
        std::vector<juce::Rectangle<int>> overlappedBoxes; // controls inside the knob's box
    };

    const Knob knobs[] = {
        { "delay", BinaryData::delay_btn_png, BinaryData::delay_btn_pngSize, { { 402, 63, 272, 276 }, 544, 553 }, { { 464, 258, 62, 61 } } },
        { "feedback", BinaryData::feedback_btn_png, BinaryData::feedback_btn_pngSize, { { 593, 55, 246, 283 }, 493, 567 },
          { { 639, 259, 62, 59 }, { 730, 258, 62, 75 } } },
        { "cutoff", BinaryData::cutoff_btn_png, BinaryData::cutoff_btn_pngSize, { { 778, 52, 265, 282 }, 529, 564 }, { { 902, 258, 63, 67 } } },
    };

    for (const auto& k : knobs)
    {
        SCOPED_TRACE (k.name);
        const auto strip = load (k.data, k.size);
        ASSERT_EQ (strip.getHeight() / 50, k.mapping.frameHeight);

        // The knob is the opaque disc; everything else in the frame lets the panel through.
        const auto first = frameOf (strip, 50, 0);
        const auto disc = pixelsWhere (first, first.getBounds(), [] (juce::Colour c) { return c.getAlpha() == 255; });
        ASSERT_GT (disc.size(), 10000u);
        const auto centre = centroid (disc);
        const auto radius = std::sqrt ((float) disc.size() / juce::MathConstants<float>::pi);

        std::vector<float> turns;

        for (int f = 0; f < 50; ++f)
        {
            const auto frame = frameOf (strip, 50, f);

            // The pointer is the only warm, light paint on the knob.
            const auto pointer = pixelsWhere (frame, frame.getBounds(), [] (juce::Colour c)
            {
                return c.getAlpha() == 255 && c.getRed() > 200 && c.getRed() - c.getBlue() > 12;
            });
            ASSERT_GT (pointer.size(), 50u) << "frame " << f;

            const auto tip = centroid (pointer);
            EXPECT_GT (tip.getDistanceFrom (centre), radius * 0.6f) << "frame " << f;

            // Measured from seven o'clock, clockwise.
            auto turned = clockDegrees (centre, tip) - 210.0f;
            if (turned < -10.0f)
                turned += 360.0f;

            // About seven o'clock at frame 0, just before twelve at frame 24, about five at 49.
            if (f == 0 || f == 24 || f == 49)
            {
                EXPECT_NEAR (turned, 300.0f * (float) f / 49.0f, 10.0f) << "frame " << f;
            }

            turns.push_back (turned);

            // The LED and the switches inside the knob's box show through every frame.
            for (auto box : k.overlappedBoxes)
                EXPECT_TRUE (pixelsWhere (frame, k.mapping.toFrame (box), [] (juce::Colour c) { return c.getAlpha() != 0; }).empty())
                    << "frame " << f << " covers " << box.toString();
        }

        EXPECT_TRUE (std::is_sorted (turns.begin(), turns.end(), std::less_equal<float>()))
            << "the pointer must turn clockwise with every frame";
    }
}

TEST (EmbeddedImages, MeterNeedleSweepsFromMinus100ToZeroDecibels)
{
    const auto strip = load (BinaryData::vu_meter_png, BinaryData::vu_meter_pngSize);
    const BoxMapping mapping { { 5, 54, 444, 282 }, 889, 564 };

    // A band of the face below the scale and the dB FS legend, above the pivot cover:
    // there the needle is the only dark thing.
    const auto band = mapping.toFrame ({ 5, 188, 444, 4 });
    float previousX = -1.0f;

    for (int f = 0; f < 100; ++f)
    {
        const auto frame = frameOf (strip, 100, f);
        const auto needle = pixelsWhere (frame, band, [] (juce::Colour c) { return c.getAlpha() == 255 && c.getPerceivedBrightness() < 0.3f; });
        ASSERT_FALSE (needle.empty()) << "frame " << f;

        const auto x = centroid (needle).x;
        ASSERT_GT (x, previousX) << "frame " << f << ": the needle must move right with every frame";
        previousX = x;

        if (f == 0)
        {
            EXPECT_LT (x, 889.0f * 0.35f);
        }
        else if (f == 99)
        {
            EXPECT_GT (x, 889.0f * 0.65f);
        }
    }

    // The red zone, the loud end of the scale, is on the right.
    const auto face = frameOf (strip, 100, 0);
    const auto red = pixelsWhere (face, face.getBounds(), [] (juce::Colour c) { return c.getRed() > 140 && c.getGreen() < 90 && c.getBlue() < 90; });
    ASSERT_GT (red.size(), 100u);
    EXPECT_GT (centroid (red).x, 889.0f * 0.7f);
}

TEST (EmbeddedImages, ClipLedFramesAreLitGreenDarkGreenAndLitRed)
{
    const auto strip = load (BinaryData::clipping_leds_png, BinaryData::clipping_leds_pngSize);

    const auto lensColour = [&] (int frame)
    {
        const auto image = frameOf (strip, 3, frame);
        const auto c = image.getBounds().getCentre();
        double sum[3] = {};
        int n = 0;
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);

        for (int y = c.y - 12; y <= c.y + 12; ++y)
            for (int x = c.x - 12; x <= c.x + 12; ++x)
                if (juce::Point<int> (x, y).getDistanceFrom (c) <= 12)
                {
                    const auto p = data.getPixelColour (x, y);
                    sum[0] += p.getRed();
                    sum[1] += p.getGreen();
                    sum[2] += p.getBlue();
                    ++n;
                }

        return juce::Colour ((juce::uint8) (sum[0] / n), (juce::uint8) (sum[1] / n), (juce::uint8) (sum[2] / n));
    };

    const auto litGreen = lensColour (0), darkGreen = lensColour (1), litRed = lensColour (2);

    EXPECT_GT ((int) litGreen.getGreen(), 150) << litGreen.toString();
    EXPECT_GT ((int) litGreen.getGreen(), litGreen.getRed() + 50);

    EXPECT_GT ((int) darkGreen.getGreen(), (int) darkGreen.getRed());
    EXPECT_LT ((int) darkGreen.getGreen(), litGreen.getGreen() * 2 / 3) << darkGreen.toString();

    EXPECT_GT ((int) litRed.getRed(), 150) << litRed.toString();
    EXPECT_GT ((int) litRed.getRed(), litRed.getGreen() + 50);
}

TEST (EmbeddedImages, SwitchLeversStandAtTheOnLegendInFrameOne)
{
    struct Lever
    {
        const char* name;
        const char* data;
        int size;
        juce::Point<int> towardsOn; // where the "on" legend is printed
    };

    const Lever levers[] = {
        { "power", BinaryData::power_switch_png, BinaryData::power_switch_pngSize, { 1, 0 } },       // On to the right
        { "mix", BinaryData::mix_switch_png, BinaryData::mix_switch_pngSize, { 1, 0 } },             // Half to the right
        { "boost", BinaryData::feedback_switch_png, BinaryData::feedback_switch_pngSize, { 1, 0 } }, // x 1 to the right
        { "panic", BinaryData::panic_switch_png, BinaryData::panic_switch_pngSize, { 0, -1 } },      // thrown up
        { "filter", BinaryData::filter_switch_png, BinaryData::filter_switch_pngSize, { 0, -1 } },   // HPF above
    };

    for (const auto& l : levers)
    {
        SCOPED_TRACE (l.name);
        const auto strip = load (l.data, l.size);
        const auto off = frameOf (strip, 2, 0), on = frameOf (strip, 2, 1);

        // The pixels that change between the two frames are the lever's; where the lever
        // is drawn in each frame shows which way it was thrown.
        const juce::Image::BitmapData offData (off, juce::Image::BitmapData::readOnly);
        std::vector<juce::Point<int>> onlyOn, onlyOff;
        const juce::Image::BitmapData onData (on, juce::Image::BitmapData::readOnly);

        for (int y = 0; y < on.getHeight(); ++y)
            for (int x = 0; x < on.getWidth(); ++x)
            {
                const auto a = offData.getPixelColour (x, y), b = onData.getPixelColour (x, y);

                if (a != b)
                {
                    // Opaque chrome in one frame over the bare panel (or shadow) in the other.
                    if (b.getAlpha() == 255 && a.getAlpha() < 255)
                        onlyOn.push_back ({ x, y });
                    else if (a.getAlpha() == 255 && b.getAlpha() < 255)
                        onlyOff.push_back ({ x, y });
                }
            }

        ASSERT_GT (onlyOn.size(), 100u);
        ASSERT_GT (onlyOff.size(), 100u);

        const auto shift = centroid (onlyOn) - centroid (onlyOff);
        const auto along = shift.x * (float) l.towardsOn.x + shift.y * (float) l.towardsOn.y;
        EXPECT_GT (along, 10.0f) << "lever moves by " << shift.toString();
    }
}

TEST (EmbeddedImages, IconsPointTheWayTheirNamesSay)
{
    // Opaque coverage of the left and the right half of an icon.
    const auto halves = [] (const char* data, int size)
    {
        const auto icon = load (data, size);
        const juce::Image::BitmapData d (icon, juce::Image::BitmapData::readOnly);
        double left = 0.0, right = 0.0;

        for (int y = 0; y < icon.getHeight(); ++y)
            for (int x = 0; x < icon.getWidth(); ++x)
                (2 * x < icon.getWidth() ? left : right) += d.getPixelColour (x, y).getFloatAlpha();

        return std::make_pair (left, right);
    };

    // A triangle's tip is the narrow end: pointing left, its leftmost opaque column is
    // shorter than its rightmost one.
    const auto tipOnLeft = [] (const char* data, int size)
    {
        const auto icon = load (data, size);
        const juce::Image::BitmapData d (icon, juce::Image::BitmapData::readOnly);
        std::vector<float> columns ((size_t) icon.getWidth());

        for (int y = 0; y < icon.getHeight(); ++y)
            for (int x = 0; x < icon.getWidth(); ++x)
                columns[(size_t) x] += d.getPixelColour (x, y).getFloatAlpha();

        int first = 0, last = icon.getWidth() - 1;
        while (first < last && columns[(size_t) first] < 1.0f)
            ++first;
        while (last > first && columns[(size_t) last] < 1.0f)
            --last;

        return columns[(size_t) first + 1] < columns[(size_t) last - 1];
    };

    EXPECT_TRUE (tipOnLeft (BinaryData::preset_arrow_left_png, BinaryData::preset_arrow_left_pngSize));
    EXPECT_FALSE (tipOnLeft (BinaryData::preset_arrow_right_png, BinaryData::preset_arrow_right_pngSize));

    // Undo turns counter-clockwise over the top and ends in a head on the left; redo is
    // its mirror image.
    const auto undo = halves (BinaryData::undo_png, BinaryData::undo_pngSize);
    const auto redo = halves (BinaryData::redo_png, BinaryData::redo_pngSize);
    EXPECT_GT (undo.first, undo.second * 1.1);
    EXPECT_GT (redo.second, redo.first * 1.1);
}
