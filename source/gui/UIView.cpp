#include "UIView.h"

#include "EmbeddedImages.h"
#include "processor/PluginProcessor.h"

namespace
{
    constexpr float initialMeterValue = 0.0f;
    constexpr float darkLedValue = 0.5f; // the middle frame: the unlit LED
    constexpr float redLedThreshold = 0.96f; // about -4 dBFS

    // The meter's timer ticks at the frame rate while the level moves, and slowly once
    // it has rested for a while, so an idle window costs next to nothing.
    constexpr int animatingPeriodMs = 16, restingPeriodMs = 100, ticksBeforeResting = 30;

    int scaled (int designValue, double scale) { return (int) (designValue * scale); }

    /** Pixels of a logical length at a scale; exact at scale 1. */
    int physical (int logical, float scale) { return scale == 1.0f ? logical : juce::roundToInt ((float) logical * scale); }
} // namespace

// In declaration order of the members. Later children are in front (see the constructor).
const std::array<UIView::ElementDescription, 10> UIView::elements { {
    { &UIView::levelMeter, BinaryData::vu_meter_png, BinaryData::vu_meter_pngSize, 100, { 5, 54, 444, 282 }, nullptr, false },
    { &UIView::clipLed, BinaryData::clipping_leds_png, BinaryData::clipping_leds_pngSize, 3, { 464, 258, 62, 61 }, nullptr, false },
    { &UIView::delayKnob, BinaryData::delay_btn_png, BinaryData::delay_btn_pngSize, 50, { 402, 63, 272, 276 }, ParameterIDs::delay, false },
    { &UIView::feedbackKnob, BinaryData::feedback_btn_png, BinaryData::feedback_btn_pngSize, 50, { 593, 55, 246, 283 }, ParameterIDs::feedback, false },
    { &UIView::cutoffKnob, BinaryData::cutoff_btn_png, BinaryData::cutoff_btn_pngSize, 50, { 778, 52, 265, 282 }, ParameterIDs::cutoff, true },
    { &UIView::powerSwitch, BinaryData::power_switch_png, BinaryData::power_switch_pngSize, 2, { 101, 263, 73, 62 }, ParameterIDs::onoff, false },
    { &UIView::mixSwitch, BinaryData::mix_switch_png, BinaryData::mix_switch_pngSize, 2, { 283, 261, 65, 61 }, ParameterIDs::mix, false },
    { &UIView::boostSwitch, BinaryData::feedback_switch_png, BinaryData::feedback_switch_pngSize, 2, { 639, 259, 62, 59 }, ParameterIDs::feedbackboost, false },
    { &UIView::filterSwitch, BinaryData::filter_switch_png, BinaryData::filter_switch_pngSize, 2, { 902, 258, 63, 67 }, ParameterIDs::ishpf, false },
    { &UIView::panicSwitch, BinaryData::panic_switch_png, BinaryData::panic_switch_pngSize, 2, { 730, 258, 62, 75 }, ParameterIDs::panic, false },
} };

//==============================================================================
UIView::UIView (TemplateAudioProcessor& owner)
    : processor (owner)
    , artworkUser (firstFrames())
    , levelMeter (makeSpec (elements[0], 1.0, initialMeterValue))
    , clipLed (makeSpec (elements[1], 1.0, darkLedValue))
    , delayKnob (makeSpec (elements[2], 1.0, currentValue (elements[2])))
    , feedbackKnob (makeSpec (elements[3], 1.0, currentValue (elements[3])))
    , cutoffKnob (makeSpec (elements[4], 1.0, currentValue (elements[4])))
    , powerSwitch (makeSpec (elements[5], 1.0, currentValue (elements[5])))
    , mixSwitch (makeSpec (elements[6], 1.0, currentValue (elements[6])))
    , boostSwitch (makeSpec (elements[7], 1.0, currentValue (elements[7])))
    , filterSwitch (makeSpec (elements[8], 1.0, currentValue (elements[8])))
    , panicSwitch (makeSpec (elements[9], 1.0, currentValue (elements[9])))
{
    for (const auto& e : elements)
        if (e.parameterID != nullptr)
            processor.apvts.addParameterListener (e.parameterID, this);

    // Later children are in front: the knobs cover the switches and the LED inside their boxes.
    for (auto* e : { &powerSwitch, &mixSwitch, &boostSwitch, &panicSwitch, &filterSwitch,
                     &levelMeter, &clipLed, &feedbackKnob, &delayKnob, &cutoffKnob })
        addAndMakeVisible (e);

    startTimer (animatingPeriodMs);
}

UIView::~UIView()
{
    for (const auto& e : elements)
        if (e.parameterID != nullptr)
            processor.apvts.removeParameterListener (e.parameterID, this);

    stopTimer();
}

std::vector<Artwork::FrameRequest> UIView::firstFrames() const
{
    std::vector<Artwork::FrameRequest> frames;

    for (const auto& e : elements)
    {
        const auto value = e.parameterID == nullptr ? (e.member == &UIView::levelMeter ? initialMeterValue : darkLedValue)
                                                    : currentValue (e);
        const auto strip = Artwork::get().strip (e.png, (size_t) e.pngSize, e.numFrames);
        frames.push_back ({ strip, e.numFrames, (int) UIElement::frameIndexFor (e.numFrames, value),
                            e.designBox.getWidth(), e.designBox.getHeight() });
    }

    return frames;
}

UIElementSpec UIView::makeSpec (const ElementDescription& e, double scale, float value) const
{
    const auto& box = e.designBox;
    return { Artwork::get().strip (e.png, (size_t) e.pngSize, e.numFrames), e.numFrames,
             scaled (box.getX(), scale), scaled (box.getY(), scale), scaled (box.getWidth(), scale), scaled (box.getHeight(), scale),
             value };
}

float UIView::displayValue (const ElementDescription& e, float plainValue) const
{
    if (! e.normalise)
        return plainValue;

    // The cutoff knob turns over the parameter's own range.
    if (auto* p = processor.apvts.getParameter (e.parameterID))
        return p->getNormalisableRange().convertTo0to1 (plainValue);

    return juce::NormalisableRange<float> (0.0f, 1.0f).convertTo0to1 (plainValue);
}

float UIView::currentValue (const ElementDescription& e) const
{
    return displayValue (e, processor.apvts.getRawParameterValue (e.parameterID)->load());
}

//==============================================================================
void UIView::paint (juce::Graphics& g)
{
    // The panel scaled once per size and scale, in physical pixels; painting copies it.
    const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const int w = physical (getWidth(), scale), h = physical (getHeight(), scale);

    if (w <= 0 || h <= 0)
        return;

    if (! background.isValid() || background.getWidth() != w || background.getHeight() != h)
    {
        background = juce::Image (juce::Image::ARGB, w, h, true);
        juce::Graphics bg (background);
        bg.drawImage (Artwork::get().background(), juce::Rectangle<float> ((float) w, (float) h), juce::RectanglePlacement::stretchToFit);
    }

    if (w == getWidth() && h == getHeight())
        g.drawImageAt (background, 0, 0);
    else
        g.drawImageTransformed (background, juce::AffineTransform::scale ((float) getWidth() / (float) w, (float) getHeight() / (float) h));
}

void UIView::resized()
{
    layoutElements (getWidth() / (double) designWidth);

    for (const auto& d : elements)
    {
        auto& e = this->*d.member;
        e.setBounds (e.x, e.y, e.width, e.height);
    }
}

void UIView::layoutElements (double scale)
{
    for (const auto& d : elements)
    {
        auto& e = this->*d.member;

        // The meter and the LED are rendered at the new size by the next tick.
        if (d.parameterID == nullptr)
        {
            e.setSpec (makeSpec (d, scale, &e == &levelMeter ? initialMeterValue : darkLedValue));
            continue;
        }

        const float value = currentValue (d);
        e.setSpec (makeSpec (d, scale, value));
        e.setValue (value);
    }
}

//==============================================================================
void UIView::parameterChanged (const juce::String& parameterID, float newValue)
{
    for (int i = 0; i < (int) elements.size(); ++i)
    {
        const auto& d = elements[(size_t) i];

        if (d.parameterID == nullptr || parameterID != d.parameterID)
            continue;

        if (pending.onMessageThread())
        {
            pending.take (i); // anything older that was waiting is superseded
            (this->*d.member).setValue (displayValue (d, newValue));
        }
        else
        {
            pending.mark (i);
        }
    }
}

void UIView::timerCallback()
{
    // Changes that arrived on other threads: show the parameter as it is now.
    for (int i = 0; i < (int) elements.size(); ++i)
        if (pending.take (i))
            (this->*elements[(size_t) i].member).setValue (currentValue (elements[(size_t) i]));

    const bool powerOn = processor.apvts.getRawParameterValue (ParameterIDs::onoff)->load() != 0.0f;
    float ledValue = darkLedValue;

    if (powerOn)
        ledValue = processor.outputLevel.getNextValue() > redLedThreshold ? 1.0f : 0.0f;

    // An unchanged frame costs nothing: the elements render only when theirs changes.
    const auto shownBefore = std::make_pair (clipLed.getFrameIndex(), levelMeter.getFrameIndex());
    clipLed.setValue (ledValue);
    levelMeter.setValue (processor.outputLevel.getNextValue());

    // Resting: the level has arrived where it was going and neither picture changed.
    const bool still = ! processor.outputLevel.isSmoothing()
                       && shownBefore == std::make_pair (clipLed.getFrameIndex(), levelMeter.getFrameIndex());
    stillTicks = still ? stillTicks + 1 : 0;

    const int period = stillTicks > ticksBeforeResting ? restingPeriodMs : animatingPeriodMs;
    if (getTimerInterval() != period)
        startTimer (period);
}
