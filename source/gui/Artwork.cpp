#include "Artwork.h"

#include "EmbeddedImages.h"
#include "Filmstrips.h"

namespace
{
    Artwork* instance = nullptr;

    juce::Image decodeBackground()
    {
        return juce::ImageFileFormat::loadFrom (BinaryData::background_png, (size_t) BinaryData::background_pngSize);
    }
}

/** Decodes the background while the message thread builds the editor, renders its first
    frames and has JUCE scan the installed fonts for its first text (that scan must stay on
    the message thread: JUCE's font list is not safe to build from two threads). */
class Artwork::Preparer : public juce::Thread
{
public:
    Preparer() : juce::Thread ("Vantorel artwork") {}

    void run() override { background = decodeBackground(); }

    juce::Image background;
};

Artwork& Artwork::get()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (instance == nullptr)
        instance = new Artwork();

    return *instance;
}

Artwork::~Artwork()
{
    finishPreparing();

    if (instance == this)
        instance = nullptr;

    release();
    strips.clear();
}

juce::Image Artwork::strip (const void* png, size_t size, int numFrames)
{
    for (const auto& [data, image] : strips)
        if (data == png)
            return image;

    auto image = Filmstrips::load (png, size, numFrames);
    strips.emplace_back (png, image);
    return image;
}

juce::Image Artwork::background()
{
    finishPreparing();

    if (! backgroundImage.isValid())
        backgroundImage = decodeBackground();

    return backgroundImage;
}

void Artwork::prepareInBackground()
{
    if (preparer != nullptr || backgroundImage.isValid())
        return;

    preparer = std::make_unique<Preparer>();
    preparer->startThread();
}

void Artwork::finishPreparing()
{
    if (preparer == nullptr)
        return;

    preparer->waitForThreadToExit (-1);
    backgroundImage = preparer->background;
    preparer.reset();
}

juce::Image Artwork::frame (const juce::Image& stripImage, int numFrames, int index, int width, int height)
{
    if (width <= 0 || height <= 0 || numFrames <= 0 || ! stripImage.isValid())
        return {};

    for (auto& r : rendered)
    {
        if (r.strip.getPixelData() == stripImage.getPixelData() && r.numFrames == numFrames && r.index == index
            && r.width == width && r.height == height)
        {
            r.lastUse = ++clock;
            return r.image;
        }
    }

    juce::Image image (juce::Image::ARGB, width, height, true);
    const auto frameHeight = stripImage.getHeight() / numFrames;
    const auto stripWidth = stripImage.getWidth();
    const auto top = (double) index * (double) frameHeight;

    // A frame cut by the strip's edge shows in part, one wholly outside leaves it empty.
    if (frameHeight > 0 && top > -(double) frameHeight && top < (double) stripImage.getHeight())
    {
        const auto source = stripImage.getClippedImage ({ 0, (int) top, stripWidth, frameHeight });

        if (source.isValid())
        {
            juce::Graphics g (image);
            g.drawImageTransformed (source, juce::AffineTransform::scale ((float) width / (float) stripWidth,
                                                                          (float) height / (float) frameHeight));
        }
    }

    ++renders;
    rendered.push_back ({ stripImage, numFrames, index, width, height, image, ++clock });
    renderedBytes += (size_t) width * (size_t) height * 4;
    trimRendered();
    return image;
}

void Artwork::setRenderedFrameBudget (size_t bytes)
{
    renderedBudget = bytes;
    trimRendered();
}

void Artwork::trimRendered()
{
    // The newest stays whatever its size: it is the one about to be shown.
    while (renderedBytes > renderedBudget && rendered.size() > 1)
    {
        auto oldest = rendered.begin();
        for (auto i = rendered.begin(); i != rendered.end(); ++i)
            if (i->lastUse < oldest->lastUse)
                oldest = i;

        renderedBytes -= (size_t) oldest->width * (size_t) oldest->height * 4;
        rendered.erase (oldest);
    }
}

void Artwork::release()
{
    finishPreparing();
    rendered.clear();
    renderedBytes = 0;
    backgroundImage = {};
    Filmstrips::releaseDecodedFrames();
}

void Artwork::timerCallback()
{
    stopTimer();

    if (users == 0)
        release();
}

Artwork::User::User()
{
    auto& artwork = Artwork::get();
    ++artwork.users;
    artwork.stopTimer();
    artwork.prepareInBackground();
}

Artwork::User::~User()
{
    auto& artwork = Artwork::get();

    if (--artwork.users == 0)
        artwork.startTimer (keepAfterLastEditorMs);
}
