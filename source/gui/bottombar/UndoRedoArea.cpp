#include "UndoRedoArea.h"

#include "IconButton.h"
#include "gui/EmbeddedImages.h"

UndoRedoArea::UndoRedoArea (juce::UndoManager* manager)
    : undoManager (manager)
{
    addAndMakeVisible (undoButton);
    addAndMakeVisible (redoButton);

    undoButton.onClick = [this] { undoManager->undo(); };
    redoButton.onClick = [this] { undoManager->redo(); };

    setUpIconButton (undoButton, BinaryData::undo_png, BinaryData::undo_pngSize);
    setUpIconButton (redoButton, BinaryData::redo_png, BinaryData::redo_pngSize);
    undoButton.setTitle ("Undo");
    redoButton.setTitle ("Redo");
}

void UndoRedoArea::resized()
{
    const int quarter = getWidth() / 4;
    undoButton.setBounds (quarter, 0, quarter, getHeight());
    redoButton.setBounds (2 * quarter, 0, quarter, getHeight());
}
