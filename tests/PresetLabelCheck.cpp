// Checks, in a picture grabbed from the screen, that the editor's preset name shows a given
// text: the label's area in the grab is compared with the same editor drawn in-process by
// the same renderer, once showing the text and once showing "No preset selected".
//
//   vantorel_preset_label_check GRAB.png "expected name"
//
// The grab must hold the editor at its design size with its top-left corner at (0, 0),
// as the renderer's window mode puts it.

#include "processor/PluginProcessor.h"
#include "gui/PluginEditor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace
{
    /** Mean absolute difference of the colour channels over an area, 0 to 255. */
    double meanDifference (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
    {
        double total = 0.0;
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                const auto p = a.getPixelAt (x, y), q = b.getPixelAt (x, y);
                total += std::abs (p.getRed() - q.getRed()) + std::abs (p.getGreen() - q.getGreen())
                         + std::abs (p.getBlue() - q.getBlue());
            }
        return total / (3.0 * area.getWidth() * area.getHeight());
    }
} // namespace

int main (int argc, char* argv[])
{
    if (argc != 3)
    {
        std::cerr << "usage: vantorel_preset_label_check GRAB.png \"expected name\"" << std::endl;
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    const auto grabFile = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    const auto grab = juce::ImageFileFormat::loadFrom (grabFile);
    const auto expected = juce::String::fromUTF8 (argv[2]);

    if (! grab.isValid())
    {
        std::cerr << "cannot read " << grabFile.getFullPathName() << std::endl;
        return 1;
    }

    TemplateAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    auto& label = dynamic_cast<TemplateAudioProcessorEditor&> (*editor).topBar.presetsArea.presetLabel;
    const auto area = editor->getLocalArea (&label, label.getLocalBounds());

    if (grab.getWidth() < area.getRight() || grab.getHeight() < area.getBottom())
    {
        std::cerr << "the grab (" << grab.getWidth() << "x" << grab.getHeight() << ") does not hold the preset name at "
                  << area.toString() << std::endl;
        return 1;
    }

    const auto drawn = [&] (const juce::String& text)
    {
        label.setText (text, juce::dontSendNotification);
        return editor->createComponentSnapshot (editor->getLocalBounds()).convertedToFormat (juce::Image::RGB);
    };

    const double toExpected = meanDifference (grab, drawn (expected), area);
    const double toNoPreset = meanDifference (grab, drawn (label.noPresetText), area);
    processor.editorBeingDeleted (editor.get());
    editor.reset();

    std::cout << "preset name area " << area.toString() << ": mean difference " << toExpected << " to \"" << expected
              << "\", " << toNoPreset << " to \"No preset selected\"" << std::endl;

    // The same renderer draws both, so the text it shows matches closely; another text
    // differs in many of the area's pixels.
    if (toExpected > 2.0 || toNoPreset < 4.0 * toExpected + 2.0)
    {
        std::cerr << "the preset name does not show \"" << expected << "\"" << std::endl;
        return 1;
    }
    return 0;
}
