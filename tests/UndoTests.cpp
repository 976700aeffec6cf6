// Undo and redo through the editor's own controls and the bottom strip's buttons.

#include "helpers/MessageLoop.h"
#include "helpers/ProcessorHelpers.h"

#include "gui/PluginEditor.h"

#include <gtest/gtest.h>

using namespace testhelpers;

namespace
{
    struct UndoFixture : ::testing::Test
    {
        TemplateAudioProcessor processor;
        std::unique_ptr<TemplateAudioProcessorEditor> editor { static_cast<TemplateAudioProcessorEditor*> (processor.createEditor()) };

        UndoFixture() { editor->setVisible (true); }

        ~UndoFixture() override
        {
            processor.editorBeingDeleted (editor.get());
            editor.reset();
        }

        /** A mouse drag across a knob: press at its centre, move by each horizontal offset in
            turn, release. Returns the parameter's value after the release. */
        float drag (juce::Slider& slider, const char* id, std::initializer_list<float> offsets)
        {
            const auto centre = slider.getLocalBounds().getCentre().toFloat();
            const auto start = juce::Time::getCurrentTime();
            auto event = [&] (float dx) {
                const auto at = centre.translated (dx, 0.0f);
                return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), at,
                                         juce::ModifierKeys::leftButtonModifier, juce::MouseInputSource::defaultPressure,
                                         0.0f, 0.0f, 0.0f, 0.0f, &slider, &slider, juce::Time::getCurrentTime(),
                                         centre, start, 1, dx != 0.0f);
            };

            slider.mouseDown (event (0.0f));
            for (auto dx : offsets)
                slider.mouseDrag (event (dx));
            slider.mouseUp (event (*std::prev (offsets.end())));
            settle();
            return rawValue (processor, id);
        }

        /** Delivers pending clicks, then lets the parameter tree pick up new values as its
            timer would (copyState flushes them the same way, without the timer's wait). */
        void settle()
        {
            testhelpers::pumpMessages (30);
            processor.apvts.copyState();
        }

        void clickUndo()
        {
            editor->topBar.undoRedoArea.undoButton.triggerClick();
            settle();
        }

        void clickRedo()
        {
            editor->topBar.undoRedoArea.redoButton.triggerClick();
            settle();
        }
    };
} // namespace

TEST_F (UndoFixture, EachDragIsOneStepUndoneInReverseOrder)
{
    const float delay = drag (editor->delaySlider, "delay", { 40.0f, 120.0f, 60.0f }); // back and forth: one step
    const float cutoff = drag (editor->cutoffSlider, "cutoff", { 30.0f, 90.0f });
    ASSERT_GT (delay, 0.3f);
    ASSERT_GT (cutoff, 1500.0f);

    clickUndo();
    EXPECT_FLOAT_EQ (rawValue (processor, "cutoff"), 1000.0f);
    EXPECT_FLOAT_EQ (rawValue (processor, "delay"), delay);

    clickUndo();
    EXPECT_FLOAT_EQ (rawValue (processor, "delay"), 0.2f);
    EXPECT_EQ (editor->view.delayKnob.getFrameIndex(), 10); // the picture follows

    clickRedo();
    EXPECT_FLOAT_EQ (rawValue (processor, "delay"), delay);
    EXPECT_FLOAT_EQ (rawValue (processor, "cutoff"), 1000.0f);

    clickRedo();
    EXPECT_FLOAT_EQ (rawValue (processor, "cutoff"), cutoff);
}

TEST_F (UndoFixture, SwitchClicksAreStepsAndNewChangesDropTheRedo)
{
    editor->mixButton.triggerClick();
    settle();
    ASSERT_EQ (rawValue (processor, "mix"), 1.0f);

    clickUndo();
    EXPECT_EQ (rawValue (processor, "mix"), 0.0f);
    EXPECT_TRUE (processor.undoManager.canRedo());

    drag (editor->feedbackSlider, "feedback", { -50.0f });
    EXPECT_FALSE (processor.undoManager.canRedo());
    clickRedo();
    EXPECT_EQ (rawValue (processor, "mix"), 0.0f);
}

TEST_F (UndoFixture, RestoringStateLeavesNothingToUndo)
{
    juce::MemoryBlock state;
    processor.getStateInformation (state);

    drag (editor->delaySlider, "delay", { 150.0f });
    ASSERT_TRUE (processor.undoManager.canUndo());

    processor.setStateInformation (state.getData(), (int) state.getSize());
    settle();
    clickUndo();
    EXPECT_FLOAT_EQ (rawValue (processor, "delay"), 0.2f);
    EXPECT_FALSE (processor.undoManager.canUndo());
}

TEST_F (UndoFixture, EmptyHistoryButtonsDoNothing)
{
    const auto before = allValues (processor);
    clickUndo();
    clickRedo();
    EXPECT_EQ (allValues (processor), before);
}

TEST_F (UndoFixture, HistoryOutlivesTheWindow)
{
    drag (editor->feedbackSlider, "feedback", { -100.0f });
    processor.editorBeingDeleted (editor.get());
    editor.reset (static_cast<TemplateAudioProcessorEditor*> (processor.createEditor()));

    clickUndo();
    EXPECT_FLOAT_EQ (rawValue (processor, "feedback"), 0.7f);
}
