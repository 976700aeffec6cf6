#include "PresetsArea.h"

#include "IconButton.h"
#include "gui/BarScale.h"
#include "gui/EmbeddedImages.h"

PresetsArea::PresetsArea (juce::AudioProcessorValueTreeState& state)
    : presetLabel (state)
{
    setUpIconButton (previousButton, BinaryData::preset_arrow_left_png, BinaryData::preset_arrow_left_pngSize);
    setUpIconButton (nextButton, BinaryData::preset_arrow_right_png, BinaryData::preset_arrow_right_pngSize);
    previousButton.setTitle ("Previous preset");
    nextButton.setTitle ("Next preset");

    saveButton.setButtonText ("Save");
    saveButton.setLookAndFeel (&buttonLookAndFeel);
    deleteButton.setButtonText ("Delete");
    deleteButton.setLookAndFeel (&buttonLookAndFeel);

    presetLabel.setFont (juce::Font (14.0f, juce::Font::plain));

    for (auto* c : std::initializer_list<juce::Component*> { &previousButton, &presetLabel, &nextButton, &saveButton, &deleteButton })
        addAndMakeVisible (c);

    previousButton.onClick = [this] { presetLabel.previousPreset(); };
    nextButton.onClick = [this] { presetLabel.nextPreset(); };
    saveButton.onClick = [this] {
        if (presetLabel.getText() != presetLabel.noPresetText)
            presetLabel.savePreset (presetLabel.getText());
    };
    deleteButton.onClick = [this] { presetLabel.deleteCurrentPreset(); };
}

PresetsArea::~PresetsArea()
{
    saveButton.setLookAndFeel (nullptr);
    deleteButton.setLookAndFeel (nullptr);
}

void PresetsArea::resized()
{
    const int w = getWidth(), h = getHeight();
    int x = 0;

    // Each width is a share of the bar, taken from the left and limited to what is still free.
    auto take = [&] (float share) {
        const int width = juce::jmin ((int) ((float) w * share), w - x);
        const int left = x;
        x += width;
        return juce::Rectangle<int> (left, 0, width, h);
    };

    previousButton.setBounds (take (0.1f));
    presetLabel.setBounds (take (0.3f));
    nextButton.setBounds (take (0.1f));
    take (0.05f);
    saveButton.setBounds (take (0.1f));
    take (0.05f);
    deleteButton.setBounds (take (0.1f));

    presetLabel.setFont (juce::Font (barScale * 14.0f, juce::Font::plain));
}
