// Strips decoded frame by frame: the same pixels as JUCE's decoder gives for the whole strip,
// only the frames that are read, in a cache that keeps to its budget, and the whole decode
// when a PNG has no frame index or one that does not hold. Replacement artwork goes
// through the re-encoding tool and comes out the same.

#include <gtest/gtest.h>

#include "gui/Artwork.h"
#include "gui/EmbeddedImages.h"
#include "gui/Filmstrips.h"
#include "gui/UIElement.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
    struct Strip
    {
        const char* name;
        const char* data;
        int size, numFrames;
    };

    const Strip strips[] = {
        { "vu_meter", BinaryData::vu_meter_png, BinaryData::vu_meter_pngSize, 100 },
        { "delay_btn", BinaryData::delay_btn_png, BinaryData::delay_btn_pngSize, 50 },
        { "feedback_btn", BinaryData::feedback_btn_png, BinaryData::feedback_btn_pngSize, 50 },
        { "cutoff_btn", BinaryData::cutoff_btn_png, BinaryData::cutoff_btn_pngSize, 50 },
        { "clipping_leds", BinaryData::clipping_leds_png, BinaryData::clipping_leds_pngSize, 3 },
        { "mix_switch", BinaryData::mix_switch_png, BinaryData::mix_switch_pngSize, 2 },
        { "power_switch", BinaryData::power_switch_png, BinaryData::power_switch_pngSize, 2 },
        { "feedback_switch", BinaryData::feedback_switch_png, BinaryData::feedback_switch_pngSize, 2 },
        { "panic_switch", BinaryData::panic_switch_png, BinaryData::panic_switch_pngSize, 2 },
        { "filter_switch", BinaryData::filter_switch_png, BinaryData::filter_switch_pngSize, 2 },
    };

    /** The bytes of rows [top, top + rows) of an image, as JUCE's ARGB pixels. */
    std::vector<juce::uint8> rowsOf (const juce::Image& image, int top, int rows)
    {
        const juce::Image::BitmapData data (image, 0, top, image.getWidth(), rows);
        std::vector<juce::uint8> bytes;
        for (int r = 0; r < rows; ++r)
        {
            const auto* line = data.getLinePointer (r);
            bytes.insert (bytes.end(), line, line + image.getWidth() * data.pixelStride);
        }
        return bytes;
    }

    /** A strip whose every pixel differs, semi-transparent ones included. */
    juce::Image makeStrip (int width, int frameHeight, int numFrames)
    {
        juce::Image strip (juce::Image::ARGB, width, frameHeight * numFrames, true);
        juce::Random random (17);
        for (int y = 0; y < strip.getHeight(); ++y)
            for (int x = 0; x < width; ++x)
                strip.setPixelAt (x, y, juce::Colour ((juce::uint32) random.nextInt()).withAlpha ((juce::uint8) (x * 37 + y)));
        return strip;
    }

    juce::MemoryBlock asPng (const juce::Image& image)
    {
        juce::MemoryOutputStream out;
        juce::PNGImageFormat().writeImageToStream (image, out);
        return out.getMemoryBlock();
    }

    /** Restores the decoded-frame budget when a test changed it. */
    struct ScopedBudget
    {
        size_t previous = Filmstrips::getDecodedFrameBudget();
        explicit ScopedBudget (size_t bytes) { Filmstrips::setDecodedFrameBudget (bytes); }
        ~ScopedBudget() { Filmstrips::setDecodedFrameBudget (previous); }
    };
} // namespace

TEST (Filmstrips, EveryEmbeddedStripDecodesEachFrameExactlyAsTheWholeDecode)
{
    for (const auto& s : strips)
    {
        SCOPED_TRACE (s.name);
        ASSERT_TRUE (Filmstrips::hasFrameIndex (s.data, (size_t) s.size, s.numFrames));

        const auto whole = juce::ImageFileFormat::loadFrom (s.data, (size_t) s.size);
        const auto lazy = Filmstrips::load (s.data, (size_t) s.size, s.numFrames);
        ASSERT_EQ (lazy.getBounds(), whole.getBounds());
        ASSERT_EQ (lazy.getFormat(), juce::Image::ARGB);

        const int h = whole.getHeight() / s.numFrames;
        for (int f = 0; f < s.numFrames; ++f)
            ASSERT_EQ (rowsOf (lazy, f * h, h), rowsOf (whole, f * h, h)) << "frame " << f;

        // Rows across two frames, and a single pixel, read the same too.
        EXPECT_EQ (rowsOf (lazy, h - 2, 4), rowsOf (whole, h - 2, 4));
        EXPECT_EQ (lazy.getPixelAt (lazy.getWidth() / 2, h + h / 2), whole.getPixelAt (whole.getWidth() / 2, h + h / 2));
    }

    Filmstrips::releaseDecodedFrames();
}

TEST (Filmstrips, DecodesOnlyTheFramesReadAndKeepsToItsBudget)
{
    Filmstrips::releaseDecodedFrames();
    const auto meter = Filmstrips::load (BinaryData::vu_meter_png, (size_t) BinaryData::vu_meter_pngSize, 100);
    const int h = meter.getHeight() / 100;
    const size_t frameBytes = (size_t) meter.getWidth() * (size_t) h * 4;
    const ScopedBudget budget (4 * frameBytes);

    // A frame drawn the way the element draws it is decoded once, then taken from the cache.
    const auto decodes = Filmstrips::getFrameDecodeCount();
    juce::Image target (juce::Image::ARGB, 100, 60, true);
    for (int pass = 0; pass < 3; ++pass)
    {
        juce::Graphics g (target);
        g.drawImageTransformed (meter.getClippedImage ({ 0, 37 * h, meter.getWidth(), h }),
                                juce::AffineTransform::scale (0.1f));
    }
    EXPECT_EQ (Filmstrips::getFrameDecodeCount() - decodes, 1);
    EXPECT_EQ (Filmstrips::getDecodedFrameBytes(), frameBytes);

    // Reading ten frames keeps at most the budget's worth (the last one read stays).
    for (int f = 0; f < 10; ++f)
        meter.getPixelAt (1, f * h + 1);
    EXPECT_EQ (Filmstrips::getFrameDecodeCount() - decodes, 11);
    EXPECT_LE (Filmstrips::getDecodedFrameBytes(), 4 * frameBytes);

    Filmstrips::releaseDecodedFrames();
    EXPECT_EQ (Filmstrips::getDecodedFrameBytes(), 0u);
}

TEST (Filmstrips, APngWithoutAFrameIndexOrWithOneThatDoesNotHoldShowsTheSamePixels)
{
    const auto original = makeStrip (24, 10, 6);
    const auto plain = asPng (original);
    const auto whole = juce::ImageFileFormat::loadFrom (plain.getData(), plain.getSize());

    // Written by an ordinary PNG writer: no index, decoded whole.
    EXPECT_FALSE (Filmstrips::hasFrameIndex (plain.getData(), plain.getSize(), 6));
    const auto fromPlain = Filmstrips::load (plain.getData(), plain.getSize(), 6);
    EXPECT_EQ (rowsOf (fromPlain, 0, 60), rowsOf (whole, 0, 60));

    // An embedded strip whose index points into the wrong places: every frame still shows
    // as the whole decode has it.
    juce::MemoryBlock broken (BinaryData::clipping_leds_png, (size_t) BinaryData::clipping_leds_pngSize);
    auto* bytes = static_cast<juce::uint8*> (broken.getData());
    const auto* chunk = std::search (bytes, bytes + broken.getSize(), Filmstrips::frameIndexChunk, Filmstrips::frameIndexChunk + 4);
    ASSERT_NE (chunk, bytes + broken.getSize());
    const auto at = (size_t) (chunk - bytes);
    bytes[at + 4 + 12 + 8 + 3] += 7; // frame 1 now starts seven bytes late

    const auto reference = juce::ImageFileFormat::loadFrom (BinaryData::clipping_leds_png, (size_t) BinaryData::clipping_leds_pngSize);
    const auto fromBroken = Filmstrips::load (broken.getData(), broken.getSize(), 3);
    EXPECT_EQ (rowsOf (fromBroken, 0, reference.getHeight()), rowsOf (reference, 0, reference.getHeight()));

    // A frame count the index does not list: decoded whole.
    EXPECT_FALSE (Filmstrips::hasFrameIndex (BinaryData::clipping_leds_png, (size_t) BinaryData::clipping_leds_pngSize, 2));

    // Bytes that are no PNG give nothing.
    const char junk[] = "not a picture";
    EXPECT_FALSE (Filmstrips::load (junk, sizeof (junk), 2).isValid());
    Filmstrips::releaseDecodedFrames();
}

#ifdef VANTOREL_STRIP_TOOL // a tool of the build machine, not part of a cross-build
TEST (Filmstrips, ReplacementArtworkIsReEncodedWithoutChangingAPixel)
{
    // As the build does with a designer's strip: written by any PNG writer, re-encoded by
    // the tool, then read frame by frame.
    const auto folder = juce::File::createTempFile ("strips");
    folder.createDirectory();
    const auto in = folder.getChildFile ("designer.png"), out = folder.getChildFile ("embedded.png");

    const auto original = makeStrip (31, 9, 7);
    {
        juce::FileOutputStream stream (in);
        ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (original, stream));
    }

    juce::ChildProcess tool;
    ASSERT_TRUE (tool.start (juce::StringArray { VANTOREL_STRIP_TOOL, "index", in.getFullPathName(), out.getFullPathName(), "7" }));
    tool.waitForProcessToFinish (30000);
    ASSERT_EQ (tool.getExitCode(), 0u) << tool.readAllProcessOutput();

    juce::MemoryBlock encoded;
    ASSERT_TRUE (out.loadFileAsData (encoded));
    EXPECT_TRUE (Filmstrips::hasFrameIndex (encoded.getData(), encoded.getSize(), 7));

    const auto designer = juce::ImageFileFormat::loadFrom (in);
    const auto lazy = Filmstrips::load (encoded.getData(), encoded.getSize(), 7);
    const auto plainDecode = juce::ImageFileFormat::loadFrom (encoded.getData(), encoded.getSize());
    EXPECT_EQ (rowsOf (lazy, 0, 63), rowsOf (designer, 0, 63));
    EXPECT_EQ (rowsOf (plainDecode, 0, 63), rowsOf (designer, 0, 63)); // still a PNG any reader takes

    // A wrong frame count is refused.
    juce::ChildProcess wrong;
    ASSERT_TRUE (wrong.start (juce::StringArray { VANTOREL_STRIP_TOOL, "index", in.getFullPathName(), out.getFullPathName(), "5" }));
    wrong.waitForProcessToFinish (30000);
    EXPECT_NE (wrong.getExitCode(), 0u);

    folder.deleteRecursively();
    Filmstrips::releaseDecodedFrames();
}
#endif

//==============================================================================
TEST (FilmstripElement, AnUnchangedFrameCostsNothingAndAFrameShownBeforeIsNotRenderedAgain)
{
    auto& artwork = Artwork::get();
    const auto strip = Filmstrips::load (BinaryData::delay_btn_png, (size_t) BinaryData::delay_btn_pngSize, 50);
    UIElement knob ({ strip, 50, 0, 0, 136, 138, 0.2f });
    const auto firstPicture = knob.getFrameImage();
    const int renders = artwork.getFrameRenderCount();

    // Values that pick the same frame: the very same picture, nothing rendered.
    for (const float v : { 0.2f, 0.195f, 0.2f })
    {
        knob.setValue (v);
        EXPECT_EQ (knob.getFrameImage().getPixelData(), firstPicture.getPixelData());
    }
    EXPECT_EQ (artwork.getFrameRenderCount(), renders);

    // Another frame is rendered once; back to the first, it comes from the cache.
    knob.setValue (0.5f);
    EXPECT_EQ (artwork.getFrameRenderCount(), renders + 1);
    knob.setValue (0.2f);
    EXPECT_EQ (artwork.getFrameRenderCount(), renders + 1);
    EXPECT_EQ (knob.getFrameImage().getPixelData(), firstPicture.getPixelData());
}

TEST (FilmstripElement, OnAScaledDisplayTheFrameIsRenderedAtThePhysicalSize)
{
    const auto strip = Filmstrips::load (BinaryData::cutoff_btn_png, (size_t) BinaryData::cutoff_btn_pngSize, 50);
    UIElement knob ({ strip, 50, 0, 0, 132, 141, 0.5f });
    knob.setBounds (0, 0, 132, 141);
    ASSERT_EQ (knob.getFrameImage().getWidth(), 132);

    // Painted at twice the scale (a 2x screen, or a host scale of 200 %): the picture now
    // has the physical pixels, drawn from the 2x artwork, not the 1x picture blown up.
    const auto shot = knob.createComponentSnapshot (knob.getLocalBounds(), true, 2.0f);
    ASSERT_EQ (shot.getWidth(), 264);
    EXPECT_EQ (knob.getFrameImage().getWidth(), 264);
    EXPECT_EQ (knob.getFrameImage().getHeight(), 282);
    EXPECT_FLOAT_EQ (knob.getRenderScale(), 2.0f);

    const auto sharp = Artwork::get().frame (strip, 50, 25, 264, 282);
    const auto blownUp = Artwork::get().frame (strip, 50, 25, 132, 141).rescaled (264, 282);
    const auto difference = [&shot] (const juce::Image& other)
    {
        double total = 0.0;
        for (int y = 0; y < 282; ++y)
            for (int x = 0; x < 264; ++x)
            {
                const auto a = shot.getPixelAt (x, y), b = other.getPixelAt (x, y);
                total += std::abs (a.getRed() - b.getRed()) + std::abs (a.getGreen() - b.getGreen()) + std::abs (a.getBlue() - b.getBlue());
            }
        return total / (3.0 * 264 * 282);
    };
    EXPECT_LT (difference (sharp), 0.5);
    EXPECT_GT (difference (blownUp), 4.0 * difference (sharp) + 0.5);

    // Back at scale 1 it shows the 1x picture again.
    knob.createComponentSnapshot (knob.getLocalBounds(), true, 1.0f);
    EXPECT_EQ (knob.getFrameImage().getWidth(), 132);
}
