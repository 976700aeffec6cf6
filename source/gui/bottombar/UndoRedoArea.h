#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Undo and redo buttons driving the processor's undo manager. */
class UndoRedoArea : public juce::Component
{
public:
    explicit UndoRedoArea (juce::UndoManager* manager);

    void resized() override;

    juce::UndoManager* undoManager;
    juce::ImageButton undoButton;
    juce::ImageButton redoButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UndoRedoArea)
};
