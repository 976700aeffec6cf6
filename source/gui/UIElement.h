#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>

/** Describes one filmstrip element: the strip, how many frames it holds, the box the
    owner places the element in, and the value to show first. */
struct UIElementSpec
{
    juce::Image strip;        ///< frames stacked vertically, frame 0 at the top
    int numFrames = 0;
    int x = 0;                ///< box in the parent's coordinates
    int y = 0;
    int width = 0;            ///< also the size the frame is rendered at
    int height = 0;
    float initialValue = 0.0f;
};

/** Shows the frame of a filmstrip picked by a value from 0 to 1.

    The frame is scaled to the element's size, in physical pixels (the box times the
    display's or the host's scale, so a 2x screen shows the 2x artwork), only when the frame
    or the size changes; painting is a plain copy. Rendered frames come from the process's
    Artwork cache, so a frame shown before costs nothing. The element only displays: input
    reaches the parameters through controls that the owner lays over it, and the owner
    positions the element from x, y, width and height.

    Everything here runs on the message thread.
*/
class UIElement : public juce::Component
{
public:
    /** Copies the element description and renders its initial value. */
    explicit UIElement (UIElementSpec spec);

    /** Takes over a new strip, frame count and box. Renders and repaints nothing: call
        setValue when the change must show at once; until then the element keeps showing
        the frame rendered at the previous size. */
    void setSpec (const UIElementSpec& spec);

    /** Shows the frame for v (values above 1 show the last frame), rendering and repainting
        only when the frame or the size differs from what is shown. A value that arrives
        while the element paints is dropped. */
    void setValue (float v);

    void paint (juce::Graphics& g) override;

    /** The frame a value shows: ceil ((numFrames - 1) * min (v, 1)), so the smallest value
        above 0 already leaves frame 0. */
    static float frameIndexFor (int numFrames, float v) noexcept { return std::ceil ((float) (numFrames - 1) * juce::jmin (v, 1.0f)); }

    /** The frame the last rendering showed; -1 when it showed nothing. */
    int getFrameIndex() const noexcept { return shownFrame; }

    /** The picture shown, in physical pixels, and the scale it was rendered for. */
    const juce::Image& getFrameImage() const noexcept { return frameImage; }
    float getRenderScale() const noexcept { return renderScale; }

    // The description in force; read by the owner to lay out the element and its controls.
    juce::Image strip;
    int numFrames = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    float initialValue = 0.0f;

private:
    /** Renders the frame for the value at the given scale (physical pixels per logical one);
        false when that is what is shown already. */
    bool render (float v, float scale);

    juce::Image frameImage;
    bool painting = false;
    int shownFrame = -1;
    float shownValue = 0.0f;

    // What frameImage shows: its strip, box and the scale it was rendered for.
    juce::Image frameStrip;
    int renderedWidth = 0, renderedHeight = 0;
    float renderScale = 1.0f;
    bool rendered = false;

    /** Physical pixels per logical one at the last paint; 0 before the first. */
    float paintScale = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UIElement)
};
