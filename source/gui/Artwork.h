#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <future>

/** The panel's pictures for every editor of the process: the strips, loaded once (their
    frames are decoded as they are shown, see Filmstrips.h), the background, and frames
    rendered at the sizes they are shown at, kept in a cache bounded in bytes.

    Editors hold a User while they are open. When the last one closes, the decoded and
    rendered pictures are kept a while longer, so that a window opened again soon shows at
    once, and then let go. Message thread only. */
class Artwork : private juce::Timer,
                private juce::DeletedAtShutdown
{
public:
    static Artwork& get();

    /** The strip embedded at `png` (decoded frame by frame where it can be). */
    juce::Image strip (const void* png, size_t size, int numFrames);

    /** The background panel, decoded whole. */
    juce::Image background();

    /** A frame of a strip at a size in pixels. */
    struct FrameRequest
    {
        juce::Image strip;
        int numFrames = 0, index = 0, width = 0, height = 0;
    };

    /** The work for an editor's first paint, started when the editor is built: on threads of
        their own, one job decodes the background and one renders the frames the elements
        will show first, while the message thread builds the rest of the editor. Each result
        is waited for only where it is needed (background(), frame()). */
    void prepareInBackground (std::vector<FrameRequest> firstFrames = {});

    /** Waits for both jobs prepareInBackground started, and takes their results. */
    void finishPreparing();

    /** Frame `index` of a strip of `numFrames` frames, scaled to `width` x `height` pixels
        as the filmstrip element draws it: rendered once, then taken from the cache. */
    juce::Image frame (const juce::Image& strip, int numFrames, int index, int width, int height);

    /** Bytes of rendered frames kept; the least recently shown go first past it. */
    void setRenderedFrameBudget (size_t bytes);
    size_t getRenderedFrameBytes() const noexcept { return renderedBytes; }
    int getFrameRenderCount() const noexcept { return renders; }

    /** Drops everything decoded or rendered that no one holds (the strips stay loaded). */
    void release();

    /** How long the pictures stay after the last editor closed. */
    static constexpr int keepAfterLastEditorMs = 90 * 1000;

    /** Held by each open editor; it starts the work for the first paint (see
        prepareInBackground) with the frames the editor will show first. (The fonts the
        editor's text needs are scanned before any editor is made: see FontWarmUp.) */
    class User
    {
    public:
        explicit User (std::vector<FrameRequest> firstFrames = {});
        ~User();

    private:
        JUCE_DECLARE_NON_COPYABLE (User)
    };

    ~Artwork() override;

private:
    Artwork() = default;
    void timerCallback() override;

    struct Rendered
    {
        juce::Image strip; // held, so the key's pixel data cannot be freed and reused
        int numFrames, index, width, height;
        juce::Image image;
        std::uint64_t lastUse;
    };

    void trimRendered();
    void keepRendered (const FrameRequest&, const juce::Image&);

    struct RenderedFrame
    {
        FrameRequest request;
        juce::Image image;
    };

    /** The first paint's jobs (see prepareInBackground), one future each; taking a result
        waits for its job only. */
    std::future<juce::Image> pendingBackground;
    std::future<std::vector<RenderedFrame>> pendingFrames;
    void takeBackground();
    void takeFrames();

    std::vector<std::pair<const void*, juce::Image>> strips;
    juce::Image backgroundImage;
    std::vector<Rendered> rendered;
    size_t renderedBytes = 0, renderedBudget = 64u << 20;
    std::uint64_t clock = 0;
    int renders = 0;
    int users = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Artwork)
};
