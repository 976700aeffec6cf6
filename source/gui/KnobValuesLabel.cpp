#include "KnobValuesLabel.h"

#include "BarScale.h"
#include "processor/PluginProcessor.h"

namespace
{
    constexpr float designFontHeight = 14.0f;
}

KnobValuesLabel::KnobValuesLabel (TemplateAudioProcessor& owner)
    : processor (owner)
{
    label.setFont (juce::Font (designFontHeight, juce::Font::plain));
    label.setJustificationType (juce::Justification::centred);
    label.setColour (juce::Label::textColourId, juce::Colour (0xffffffff));
    addAndMakeVisible (label);

    for (const auto* id : parameterIDs)
        processor.apvts.addParameterListener (id, this);

    startTimer (50);
}

KnobValuesLabel::~KnobValuesLabel()
{
    for (const auto* id : parameterIDs)
        processor.apvts.removeParameterListener (id, this);
}

juce::String KnobValuesLabel::textFor (const juce::String& parameterID, float plainValue)
{
    // A double with 0 decimal places is written like a stream's default: six significant
    // digits. Delay and feedback are scaled in single precision, so 0.7 reads 70, not 69.9999.
    if (parameterID == ParameterIDs::delay)
        return "Delay time   " + juce::String ((double) (plainValue * 1000.0f), 0) + " ms";
    if (parameterID == ParameterIDs::feedback)
        return "Feedback   " + juce::String ((double) (plainValue * 100.0f), 0) + " %";
    if (parameterID == ParameterIDs::cutoff)
        return "Cutoff   " + juce::String ((double) plainValue, 0) + " hz";
    return {};
}

void KnobValuesLabel::parameterChanged (const juce::String& parameterID, float newValue)
{
    for (int i = 0; i < 3; ++i)
    {
        if (parameterID != parameterIDs[i])
            continue;

        if (juce::MessageManager::existsAndIsCurrentThread())
        {
            lastChanged.store (-1, std::memory_order_relaxed);
            label.setText (textFor (parameterID, newValue), juce::dontSendNotification);
        }
        else
        {
            lastChanged.store (i, std::memory_order_release);
        }
    }
}

void KnobValuesLabel::timerCallback()
{
    const int changed = lastChanged.exchange (-1, std::memory_order_acquire);

    if (changed >= 0)
        label.setText (textFor (parameterIDs[changed], processor.apvts.getRawParameterValue (parameterIDs[changed])->load()),
                       juce::dontSendNotification);
}

void KnobValuesLabel::paint (juce::Graphics& g)
{
    const int w = getWidth(), h = getHeight();
    g.fillAll (juce::Colour (0xff000000));

    const int v = (int) ((float) h * 0.15f);
    const int u = (int) ((float) h * 0.15f * 20.0f);
    g.setColour (juce::Colour (0xff484537));
    g.fillRoundedRectangle ((float) u, (float) v, (float) juce::jmax (0, w - 2 * u), (float) juce::jmax (0, h - 2 * v), 10.0f);
}

void KnobValuesLabel::resized()
{
    label.setFont (juce::Font (designFontHeight * barScale, juce::Font::plain));
    label.setBounds (getLocalBounds());
}
