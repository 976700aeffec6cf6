#include "TopBar.h"

TopBar::TopBar (juce::UndoManager* undoManager, juce::AudioProcessorValueTreeState& state)
    : undoRedoArea (undoManager)
    , presetsArea (state)
{
    addAndMakeVisible (undoRedoArea);
    addAndMakeVisible (presetsArea);
}

void TopBar::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff000000));
}

void TopBar::resized()
{
    const int w = getWidth(), h = getHeight();
    const int margin = (int) ((float) h * 0.1f);
    const int innerHeight = juce::jmax (0, h - 2 * margin);
    const int undoWidth = juce::jmin (w, (int) ((float) w * 0.2f));

    undoRedoArea.setBounds (0, margin, undoWidth, innerHeight);
    presetsArea.setBounds (undoWidth, margin, w - undoWidth, innerHeight);
}
