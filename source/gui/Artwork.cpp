#include "Artwork.h"

#include "EmbeddedImages.h"
#include "Filmstrips.h"

#include <algorithm>

namespace
{
    Artwork* instance = nullptr;

    juce::Image decodeBackground()
    {
        return juce::ImageFileFormat::loadFrom (BinaryData::background_png, (size_t) BinaryData::background_pngSize);
    }

    /** A frame scaled to its box, as the filmstrip element draws it. Safe on any thread:
        it draws into an image of its own, reading the strip's frame. */
    juce::Image renderFrame (const juce::Image& strip, int numFrames, int index, int width, int height)
    {
        juce::Image image (juce::Image::ARGB, width, height, true);
        const auto frameHeight = strip.getHeight() / numFrames;
        const auto stripWidth = strip.getWidth();
        const auto top = (double) index * (double) frameHeight;

        // A frame cut by the strip's edge shows in part, one wholly outside leaves it empty.
        if (frameHeight > 0 && top > -(double) frameHeight && top < (double) strip.getHeight())
        {
            const auto source = strip.getClippedImage ({ 0, (int) top, stripWidth, frameHeight });

            if (source.isValid())
            {
                juce::Graphics g (image);
                g.drawImageTransformed (source, juce::AffineTransform::scale ((float) width / (float) stripWidth,
                                                                              (float) height / (float) frameHeight));
            }
        }

        return image;
    }
}

Artwork& Artwork::get()
{
    // The message thread, or a thread holding its lock: a VST3 host on Linux creates the
    // editor on its own thread while JUCE's message thread waits on that lock.
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED

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
    takeBackground();

    if (! backgroundImage.isValid())
        backgroundImage = decodeBackground();

    return backgroundImage;
}

void Artwork::prepareInBackground (std::vector<FrameRequest> firstFrames)
{
    // One first paint at a time (a second editor opened meanwhile finds the work under way).
    if (pendingBackground.valid() || pendingFrames.valid())
        return;

    // Only what is not at hand already.
    firstFrames.erase (std::remove_if (firstFrames.begin(), firstFrames.end(), [this] (const FrameRequest& r)
                       {
                           return r.width <= 0 || r.height <= 0 || r.numFrames <= 0 || ! r.strip.isValid()
                                  || std::any_of (rendered.begin(), rendered.end(), [&r] (const Rendered& k)
                                                  {
                                                      return k.strip.getPixelData() == r.strip.getPixelData() && k.index == r.index
                                                             && k.width == r.width && k.height == r.height && k.numFrames == r.numFrames;
                                                  });
                       }),
                       firstFrames.end());

    // Both jobs only read what they are given and draw into images of their own.
    if (! backgroundImage.isValid())
        pendingBackground = std::async (std::launch::async, decodeBackground);

    if (! firstFrames.empty())
        pendingFrames = std::async (std::launch::async, [requests = std::move (firstFrames)]
        {
            std::vector<RenderedFrame> done;
            for (const auto& r : requests)
                done.push_back ({ r, renderFrame (r.strip, r.numFrames, r.index, r.width, r.height) });
            return done;
        });
}

void Artwork::takeBackground()
{
    if (! pendingBackground.valid())
        return;

    if (auto image = pendingBackground.get(); image.isValid())
        backgroundImage = image;
}

void Artwork::takeFrames()
{
    if (! pendingFrames.valid())
        return;

    // get() leaves the future empty first: keepRendered below may lead back here.
    for (const auto& f : pendingFrames.get())
    {
        ++renders;
        keepRendered (f.request, f.image);
    }
}

void Artwork::finishPreparing()
{
    takeBackground();
    takeFrames();
}

juce::Image Artwork::frame (const juce::Image& stripImage, int numFrames, int index, int width, int height)
{
    if (width <= 0 || height <= 0 || numFrames <= 0 || ! stripImage.isValid())
        return {};

    // The frames being rendered ahead join the cache first.
    takeFrames();

    for (auto& r : rendered)
    {
        if (r.strip.getPixelData() == stripImage.getPixelData() && r.numFrames == numFrames && r.index == index
            && r.width == width && r.height == height)
        {
            r.lastUse = ++clock;
            return r.image;
        }
    }

    const auto image = renderFrame (stripImage, numFrames, index, width, height);
    ++renders;
    keepRendered ({ stripImage, numFrames, index, width, height }, image);
    return image;
}

void Artwork::keepRendered (const FrameRequest& r, const juce::Image& image)
{
    rendered.push_back ({ r.strip, r.numFrames, r.index, r.width, r.height, image, ++clock });
    renderedBytes += (size_t) r.width * (size_t) r.height * 4;
    trimRendered();
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

Artwork::User::User (std::vector<FrameRequest> firstFrames)
{
    auto& artwork = Artwork::get();
    ++artwork.users;
    artwork.stopTimer();
    artwork.prepareInBackground (std::move (firstFrames));
}

Artwork::User::~User()
{
    auto& artwork = Artwork::get();

    if (--artwork.users == 0)
        artwork.startTimer (keepAfterLastEditorMs);
}
