#include "UIView.h"

#include "EmbeddedImages.h"
#include "processor/PluginProcessor.h"

namespace
{
    /** An element's picture and its box on the 1060 x 340 design space. */
    struct ElementLayout
    {
        const void* data;
        int size;
        int numFrames, x, y, width, height;
    };

    // In declaration order of the elements.
    const ElementLayout elementLayouts[10] = {
        { BinaryData::vu_meter_png, BinaryData::vu_meter_pngSize, 100, 5, 54, 444, 282 },
        { BinaryData::clipping_leds_png, BinaryData::clipping_leds_pngSize, 3, 464, 258, 62, 61 },
        { BinaryData::delay_btn_png, BinaryData::delay_btn_pngSize, 50, 402, 63, 272, 276 },
        { BinaryData::feedback_btn_png, BinaryData::feedback_btn_pngSize, 50, 593, 55, 246, 283 },
        { BinaryData::cutoff_btn_png, BinaryData::cutoff_btn_pngSize, 50, 778, 52, 265, 282 },
        { BinaryData::power_switch_png, BinaryData::power_switch_pngSize, 2, 101, 263, 73, 62 },
        { BinaryData::mix_switch_png, BinaryData::mix_switch_pngSize, 2, 283, 261, 65, 61 },
        { BinaryData::feedback_switch_png, BinaryData::feedback_switch_pngSize, 2, 639, 259, 62, 59 },
        { BinaryData::filter_switch_png, BinaryData::filter_switch_pngSize, 2, 902, 258, 63, 67 },
        { BinaryData::panic_switch_png, BinaryData::panic_switch_pngSize, 2, 730, 258, 62, 75 },
    };

    enum ElementIndex
    {
        levelMeterIndex,
        clipLedIndex,
        delayKnobIndex,
        feedbackKnobIndex,
        cutoffKnobIndex,
        powerSwitchIndex,
        mixSwitchIndex,
        boostSwitchIndex,
        filterSwitchIndex,
        panicSwitchIndex
    };

    constexpr float initialMeterValue = 0.0f;
    constexpr float darkLedValue = 0.5f; // the middle frame: the unlit LED
    constexpr float redLedThreshold = 0.96f; // about -4 dBFS

    juce::Image loadStrip (int elementIndex)
    {
        const auto& l = elementLayouts[elementIndex];
        return juce::ImageCache::getFromMemory (l.data, (int) l.size);
    }

    int scaled (int designValue, double scale) { return (int) (designValue * scale); }
} // namespace

/** A parameter shown by an element. */
struct UIView::Binding
{
    const char* parameterID;
    int elementIndex;
    bool normalise;
};

// In the order the surface listens to them.
const UIView::Binding UIView::bindings[8] = {
    { ParameterIDs::delay, delayKnobIndex, false },
    { ParameterIDs::feedback, feedbackKnobIndex, false },
    { ParameterIDs::cutoff, cutoffKnobIndex, true },
    { ParameterIDs::onoff, powerSwitchIndex, false },
    { ParameterIDs::mix, mixSwitchIndex, false },
    { ParameterIDs::feedbackboost, boostSwitchIndex, false },
    { ParameterIDs::panic, panicSwitchIndex, false },
    { ParameterIDs::ishpf, filterSwitchIndex, false },
};

//==============================================================================
UIView::UIView (TemplateAudioProcessor& owner)
    : processor (owner)
    , levelMeter (makeSpec (levelMeterIndex, 1.0, initialMeterValue))
    , clipLed (makeSpec (clipLedIndex, 1.0, darkLedValue))
    , delayKnob (makeSpec (delayKnobIndex, 1.0, displayValue (0, processor.apvts.getRawParameterValue (ParameterIDs::delay)->load())))
    , feedbackKnob (makeSpec (feedbackKnobIndex, 1.0, displayValue (1, processor.apvts.getRawParameterValue (ParameterIDs::feedback)->load())))
    , cutoffKnob (makeSpec (cutoffKnobIndex, 1.0, displayValue (2, processor.apvts.getRawParameterValue (ParameterIDs::cutoff)->load())))
    , powerSwitch (makeSpec (powerSwitchIndex, 1.0, processor.apvts.getRawParameterValue (ParameterIDs::onoff)->load()))
    , mixSwitch (makeSpec (mixSwitchIndex, 1.0, processor.apvts.getRawParameterValue (ParameterIDs::mix)->load()))
    , boostSwitch (makeSpec (boostSwitchIndex, 1.0, processor.apvts.getRawParameterValue (ParameterIDs::feedbackboost)->load()))
    , filterSwitch (makeSpec (filterSwitchIndex, 1.0, processor.apvts.getRawParameterValue (ParameterIDs::ishpf)->load()))
    , panicSwitch (makeSpec (panicSwitchIndex, 1.0, processor.apvts.getRawParameterValue (ParameterIDs::panic)->load()))
{
    for (const auto& b : bindings)
        processor.apvts.addParameterListener (b.parameterID, this);

    // Later children are in front: the knobs cover the switches and the LED inside their boxes.
    for (auto* e : { &powerSwitch, &mixSwitch, &boostSwitch, &panicSwitch, &filterSwitch,
                     &levelMeter, &clipLed, &feedbackKnob, &delayKnob, &cutoffKnob })
        addAndMakeVisible (e);

    startTimer (16);
}

UIView::~UIView()
{
    for (const auto& b : bindings)
        processor.apvts.removeParameterListener (b.parameterID, this);

    stopTimer();
}

UIElement& UIView::element (int elementIndex)
{
    UIElement* elements[] = { &levelMeter, &clipLed, &delayKnob, &feedbackKnob, &cutoffKnob,
                              &powerSwitch, &mixSwitch, &boostSwitch, &filterSwitch, &panicSwitch };
    return *elements[elementIndex];
}

UIElementSpec UIView::makeSpec (int elementIndex, double scale, float value) const
{
    const auto& l = elementLayouts[elementIndex];
    return { loadStrip (elementIndex), l.numFrames,
             scaled (l.x, scale), scaled (l.y, scale), scaled (l.width, scale), scaled (l.height, scale),
             value };
}

float UIView::displayValue (int binding, float plainValue) const
{
    if (! bindings[binding].normalise)
        return plainValue;

    // The cutoff knob turns over the parameter's own range.
    if (auto* p = processor.apvts.getParameter (bindings[binding].parameterID))
        return p->getNormalisableRange().convertTo0to1 (plainValue);

    return juce::NormalisableRange<float> (0.0f, 1.0f).convertTo0to1 (plainValue);
}

void UIView::showParameter (int binding, float plainValue)
{
    element (bindings[binding].elementIndex).setValue (displayValue (binding, plainValue));
}

//==============================================================================
void UIView::paint (juce::Graphics& g)
{
    const auto background = juce::ImageCache::getFromMemory (BinaryData::background_png, (int) BinaryData::background_pngSize);
    g.drawImage (background, getLocalBounds().toFloat(), juce::RectanglePlacement::stretchToFit);
}

void UIView::resized()
{
    layoutElements (getWidth() / (double) designWidth);

    for (int i = 0; i < 10; ++i)
    {
        auto& e = element (i);
        e.setBounds (e.x, e.y, e.width, e.height);
    }
}

void UIView::layoutElements (double scale)
{
    for (int i = 0; i < 10; ++i)
    {
        auto& e = element (i);
        const int binding = [i] {
            for (int b = 0; b < 8; ++b)
                if (bindings[b].elementIndex == i)
                    return b;
            return -1;
        }();

        if (binding < 0)
        {
            e.setSpec (makeSpec (i, scale, i == levelMeterIndex ? initialMeterValue : darkLedValue));
            continue; // the meter and the LED are rendered at the new size by the next tick
        }

        const float value = displayValue (binding, processor.apvts.getRawParameterValue (bindings[binding].parameterID)->load());
        e.setSpec (makeSpec (i, scale, value));
        e.setValue (value);
    }
}

//==============================================================================
void UIView::parameterChanged (const juce::String& parameterID, float newValue)
{
    for (int b = 0; b < 8; ++b)
    {
        if (parameterID != bindings[b].parameterID)
            continue;

        if (pending.onMessageThread())
        {
            pending.take (b); // anything older that was waiting is superseded
            showParameter (b, newValue);
        }
        else
        {
            pending.mark (b);
        }
    }
}

void UIView::timerCallback()
{
    // Changes that arrived on other threads: show the parameter as it is now.
    for (int b = 0; b < 8; ++b)
        if (pending.take (b))
            showParameter (b, processor.apvts.getRawParameterValue (bindings[b].parameterID)->load());

    const bool powerOn = processor.apvts.getRawParameterValue (ParameterIDs::onoff)->load() != 0.0f;
    float ledValue = darkLedValue;

    if (powerOn)
        ledValue = processor.outputLevel.getNextValue() > redLedThreshold ? 1.0f : 0.0f;

    clipLed.setValue (ledValue);
    levelMeter.setValue (processor.outputLevel.getNextValue());
}
