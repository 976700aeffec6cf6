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

/** Work for an editor's first paint done on threads of their own while the message thread
    builds the editor and has JUCE scan the installed fonts for its first text (that scan
    stays on the message thread: JUCE's font list is not safe to build from two threads):
    one decodes the background, one renders the frames the elements will show first. */
class Artwork::Preparer
{
public:
    Preparer (bool decodeBackgroundToo, const std::vector<FrameRequest>& requests)
    {
        for (const auto& r : requests)
            frames.push_back ({ r, {} });

        if (decodeBackgroundToo)
            backgroundJob = std::make_unique<Job> ([this] { background = decodeBackground(); });

        if (! frames.empty())
            framesJob = std::make_unique<Job> ([this]
            {
                for (auto& f : frames)
                    f.image = renderFrame (f.strip, f.numFrames, f.index, f.width, f.height);
            });
    }

    /** Waits for both jobs. */
    void finish()
    {
        for (auto* job : { backgroundJob.get(), framesJob.get() })
            if (job != nullptr)
                job->waitForThreadToExit (-1);
    }

    struct Rendered : FrameRequest
    {
        juce::Image image;
    };

    juce::Image background;
    std::vector<Rendered> frames;

private:
    struct Job : juce::Thread
    {
        explicit Job (std::function<void()> w) : juce::Thread ("Vantorel artwork"), work (std::move (w)) { startThread(); }
        ~Job() override { waitForThreadToExit (-1); }
        void run() override { work(); }
        std::function<void()> work;
    };

    std::unique_ptr<Job> backgroundJob, framesJob;
};

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
    finishPreparing();

    if (! backgroundImage.isValid())
        backgroundImage = decodeBackground();

    return backgroundImage;
}

void Artwork::prepareInBackground (std::vector<FrameRequest> firstFrames)
{
    if (preparer != nullptr)
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

    if (backgroundImage.isValid() && firstFrames.empty())
        return;

    preparer = std::make_unique<Preparer> (! backgroundImage.isValid(), std::move (firstFrames));
}

void Artwork::finishPreparing()
{
    if (preparer == nullptr)
        return;

    // Taken out first: keepRendered below may lead back here.
    auto done = std::move (preparer);
    done->finish();

    if (done->background.isValid())
        backgroundImage = done->background;

    for (const auto& f : done->frames)
    {
        ++renders;
        keepRendered (f, f.image);
    }
}

juce::Image Artwork::frame (const juce::Image& stripImage, int numFrames, int index, int width, int height)
{
    if (width <= 0 || height <= 0 || numFrames <= 0 || ! stripImage.isValid())
        return {};

    // The frames being rendered ahead join the cache first.
    finishPreparing();

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

    // Meanwhile JUCE scans the installed fonts for the editor's first text, once per process
    // (on this thread: its font list is not safe to build from two).
    static const bool fontsScanned = [] { juce::Font::findAllTypefaceNames(); return true; }();
    juce::ignoreUnused (fontsScanned);
}

Artwork::User::~User()
{
    auto& artwork = Artwork::get();

    if (--artwork.users == 0)
        artwork.startTimer (keepAfterLastEditorMs);
}
