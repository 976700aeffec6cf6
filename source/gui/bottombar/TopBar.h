#pragma once

#include "PresetsArea.h"
#include "UndoRedoArea.h"

/** The black strip below the control surface with the undo/redo buttons and the preset bar. */
class TopBar : public juce::Component
{
public:
    TopBar (juce::UndoManager* undoManager, juce::AudioProcessorValueTreeState& state);

    void paint (juce::Graphics& g) override;
    void resized() override;

    UndoRedoArea undoRedoArea;
    PresetsArea presetsArea;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TopBar)
};
