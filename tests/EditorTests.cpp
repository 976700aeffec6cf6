// The editor driven in-process, headless: layout, the hand-off of parameter changes to
// the pictures, the meter, mouse routing to the invisible controls, the value readout.

#include "helpers/MessageLoop.h"
#include "helpers/ProcessorHelpers.h"

#include "gui/BarScale.h"
#include "gui/PluginEditor.h"

#include <gtest/gtest.h>

#include <thread>

using namespace testhelpers;

namespace
{
    struct EditorFixture : ::testing::Test
    {
        TemplateAudioProcessor processor;
        std::unique_ptr<TemplateAudioProcessorEditor> editor { static_cast<TemplateAudioProcessorEditor*> (processor.createEditor()) };

        EditorFixture() { editor->setVisible (true); } // as a host shows it; hit-testing needs it

        ~EditorFixture() override
        {
            processor.editorBeingDeleted (editor.get());
            editor.reset();
        }

        juce::Rectangle<int> box (const UIElement& e) const { return { e.x, e.y, e.width, e.height }; }
    };

    struct Box
    {
        int x, y, w, h;
        juce::Rectangle<int> rect() const { return { x, y, w, h }; }
    };

    struct LayoutRow
    {
        int width, height;
        int surfaceHeight;
        Box logo, topBar, support, values;
        float barScale;
        Box levelMeter, clipLed, delayKnob;
    };

    const LayoutRow layoutTable[] = {
        { 1060, 364, 340, { 0, 0, 424, 72 }, { 0, 340, 636, 24 }, { 636, 340, 106, 24 }, { 742, 340, 318, 24 }, 1.0f,
          { 5, 54, 444, 282 }, { 464, 258, 62, 61 }, { 402, 63, 272, 276 } },
        { 706, 242, 226, { 0, 0, 282, 48 }, { 0, 226, 423, 16 }, { 423, 226, 70, 16 }, { 493, 226, 213, 16 }, 16.0f / 24.0f,
          { 3, 35, 295, 187 }, { 309, 171, 41, 40 }, { 267, 41, 181, 183 } },
        { 1590, 546, 510, { 0, 0, 636, 109 }, { 0, 510, 954, 36 }, { 954, 510, 159, 36 }, { 1113, 510, 477, 36 }, 1.5f,
          { 7, 81, 666, 423 }, { 696, 387, 93, 91 }, { 603, 94, 408, 414 } },
    };

    juce::MouseEvent mouseEventFor (juce::Component& c, juce::ModifierKeys mods, int clicks = 1)
    {
        const auto centre = c.getLocalBounds().getCentre().toFloat();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), centre, mods,
                                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                                 &c, &c, juce::Time::getCurrentTime(), centre, juce::Time::getCurrentTime(),
                                 clicks, false);
    }
} // namespace

TEST_F (EditorFixture, LayoutAtDesignMinimumAndMaximumSizes)
{
    for (const auto& row : layoutTable)
    {
        SCOPED_TRACE (juce::String (row.width) + " x " + juce::String (row.height));
        editor->setSize (row.width, row.height);

        EXPECT_EQ (editor->view.getBounds(), juce::Rectangle<int> (0, 0, row.width, row.surfaceHeight));
        EXPECT_EQ (editor->logoButton.getBounds(), row.logo.rect());
        EXPECT_EQ (editor->topBar.getBounds(), row.topBar.rect());
        EXPECT_EQ (editor->supportButton.getBounds(), row.support.rect());
        EXPECT_EQ (editor->valuesLabel.getBounds(), row.values.rect());
        EXPECT_FLOAT_EQ (barScale, row.barScale);

        EXPECT_EQ (editor->view.levelMeter.getBounds(), row.levelMeter.rect());
        EXPECT_EQ (editor->view.clipLed.getBounds(), row.clipLed.rect());
        EXPECT_EQ (editor->view.delayKnob.getBounds(), row.delayKnob.rect());

        // Every invisible control lies exactly over the picture it operates.
        const std::pair<juce::Component*, UIElement*> overlays[] = {
            { &editor->delaySlider, &editor->view.delayKnob },   { &editor->feedbackSlider, &editor->view.feedbackKnob },
            { &editor->cutoffSlider, &editor->view.cutoffKnob }, { &editor->powerButton, &editor->view.powerSwitch },
            { &editor->mixButton, &editor->view.mixSwitch },     { &editor->boostButton, &editor->view.boostSwitch },
            { &editor->panicButton, &editor->view.panicSwitch }, { &editor->filterButton, &editor->view.filterSwitch },
        };
        for (auto [control, element] : overlays)
        {
            EXPECT_EQ (control->getBounds(), element->getBounds()) << control->getTitle();
            EXPECT_EQ (control->getBounds(), box (*element)) << control->getTitle();
        }
    }
}

TEST_F (EditorFixture, WindowSizeRules)
{
    EXPECT_EQ (editor->getWidth(), 1060);
    EXPECT_EQ (editor->getHeight(), 364);
    EXPECT_FALSE (editor->isResizable()); // the host may not resize it...
    EXPECT_NE (editor->resizableCorner, nullptr); // ...the user drags the corner

    auto* c = editor->getConstrainer();
    ASSERT_NE (c, nullptr);
    EXPECT_DOUBLE_EQ (c->getFixedAspectRatio(), 1060.0 / 364.0);
    EXPECT_EQ (c->getMinimumWidth(), 706);
    EXPECT_EQ (c->getMinimumHeight(), 242);
    EXPECT_EQ (c->getMaximumWidth(), 1590);
    EXPECT_EQ (c->getMaximumHeight(), 546);
}

TEST_F (EditorFixture, KnobFramesFollowTheParameters)
{
    const std::tuple<const char*, float, UIElement UIView::*, int> cases[] = {
        { "delay", 0.01f, &UIView::delayKnob, 1 },   { "delay", 1.0f, &UIView::delayKnob, 49 },
        { "cutoff", 100.0f, &UIView::cutoffKnob, 0 }, { "cutoff", 1000.0f, &UIView::cutoffKnob, 12 },
        { "cutoff", 4000.0f, &UIView::cutoffKnob, 49 }, { "feedback", 0.5f, &UIView::feedbackKnob, 25 },
        { "mix", 1.0f, &UIView::mixSwitch, 1 },       { "mix", 0.0f, &UIView::mixSwitch, 0 },
        { "ishpf", 1.0f, &UIView::filterSwitch, 1 },  { "panic", 1.0f, &UIView::panicSwitch, 1 },
        { "feedbackboost", 0.0f, &UIView::boostSwitch, 0 }, { "onoff", 0.0f, &UIView::powerSwitch, 0 },
    };

    for (const auto& [id, value, member, frame] : cases)
    {
        SCOPED_TRACE (juce::String (id) + " = " + juce::String (value));
        setParameter (processor, id, value);
        EXPECT_EQ ((editor->view.*member).getFrameIndex(), frame);
    }

    // Oversampling has no picture: nothing on the surface changes.
    const auto before = editor->view.createComponentSnapshot (editor->view.getLocalBounds());
    setParameter (processor, "oversampling", 1.0f);
    const auto after = editor->view.createComponentSnapshot (editor->view.getLocalBounds());
    for (int y = 0; y < before.getHeight(); y += 7)
        for (int x = 0; x < before.getWidth(); x += 7)
            ASSERT_EQ (before.getPixelAt (x, y), after.getPixelAt (x, y)) << x << ", " << y;
}

TEST_F (EditorFixture, ChangesFromAnotherThreadReachThePicturesOnTheMessageThread)
{
    std::thread automation ([this] {
        setParameter (processor, "delay", 1.0f);
        setParameter (processor, "feedback", 0.0f);
        setParameter (processor, "mix", 1.0f);
    });
    automation.join();

    // The readout looks for changes from other threads every 50 ms, the surface every 16.
    pumpMessages (200);

    EXPECT_EQ (editor->view.delayKnob.getFrameIndex(), 49);
    EXPECT_EQ (editor->view.feedbackKnob.getFrameIndex(), 0);
    EXPECT_EQ (editor->view.mixSwitch.getFrameIndex(), 1);
    EXPECT_EQ (editor->valuesLabel.label.getText(), "Feedback   0 %");
}

TEST_F (EditorFixture, MeterAndClipLedFollowTheOutputLevel)
{
    struct Case
    {
        float level;
        bool powerOn;
        int ledFrame;
        int meterFrame;
    };
    const Case cases[] = {
        { 0.96f, true, 0, 96 },   // at the threshold: still green
        { 0.97f, true, 2, 97 },   // above it: red
        { 0.5f, true, 0, 50 },
        { 1.2f, true, 2, 99 },    // above full scale: the needle stops at the end
        { 0.97f, false, 1, 97 },  // power off: dark LED, the needle still follows
        { 0.0f, true, 0, 0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.level) + (c.powerOn ? " on" : " off"));
        setParameter (processor, "onoff", c.powerOn ? 1.0f : 0.0f);
        processor.outputLevel.setTargetValue (c.level); // not prepared: takes effect at once
        pumpMessages (80);
        EXPECT_EQ (editor->view.clipLed.getFrameIndex(), c.ledFrame);
        EXPECT_EQ (editor->view.levelMeter.getFrameIndex(), c.meterFrame);
    }
}

TEST_F (EditorFixture, ClicksOnSwitchesInsideKnobBoxesReachTheSwitches)
{
    const std::tuple<UIElement UIView::*, juce::ToggleButton TemplateAudioProcessorEditor::*, const char*, const char*> cases[] = {
        { &UIView::boostSwitch, &TemplateAudioProcessorEditor::boostButton, "feedbackboost", "feedback" },
        { &UIView::panicSwitch, &TemplateAudioProcessorEditor::panicButton, "panic", "feedback" },
        { &UIView::filterSwitch, &TemplateAudioProcessorEditor::filterButton, "ishpf", "cutoff" },
    };

    for (const auto& [element, button, switchId, knobId] : cases)
    {
        SCOPED_TRACE (switchId);
        const auto centre = (editor->view.*element).getBounds().getCentre();
        auto* hit = editor->getComponentAt (centre);
        ASSERT_EQ (hit, &(editor.get()->*button));

        const float before = rawValue (processor, switchId);
        const float knobBefore = rawValue (processor, knobId);
        (editor.get()->*button).triggerClick();
        pumpMessages (60);
        EXPECT_NE (rawValue (processor, switchId), before);
        EXPECT_EQ (rawValue (processor, knobId), knobBefore);
        EXPECT_EQ ((editor->view.*element).getFrameIndex(), rawValue (processor, switchId) != 0.0f ? 1 : 0);
    }

    // The logo link takes clicks where its area overlaps the delay knob's box.
    EXPECT_EQ (editor->getComponentAt (juce::Point<int> (410, 65)), &editor->logoButton);
    EXPECT_EQ (editor->getComponentAt (editor->view.delayKnob.getBounds().getCentre()), &editor->delaySlider);
}

TEST_F (EditorFixture, DoubleClickAndAltClickResetKnobsToTheirDefaults)
{
    const std::tuple<juce::Slider TemplateAudioProcessorEditor::*, const char*, float, float> cases[] = {
        { &TemplateAudioProcessorEditor::delaySlider, "delay", 0.75f, 0.2f },
        { &TemplateAudioProcessorEditor::feedbackSlider, "feedback", 0.1f, 0.7f },
        { &TemplateAudioProcessorEditor::cutoffSlider, "cutoff", 3000.0f, 1000.0f },
    };

    for (const auto& [slider, id, moved, defaultValue] : cases)
    {
        SCOPED_TRACE (id);
        auto& s = editor.get()->*slider;

        setParameter (processor, id, moved);
        pumpMessages (20);
        s.mouseDoubleClick (mouseEventFor (s, juce::ModifierKeys::leftButtonModifier, 2));
        EXPECT_FLOAT_EQ (rawValue (processor, id), defaultValue);

        setParameter (processor, id, moved);
        pumpMessages (20);
        const auto altClick = mouseEventFor (s, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::altModifier));
        s.mouseDown (altClick);
        s.mouseUp (altClick);
        EXPECT_FLOAT_EQ (rawValue (processor, id), defaultValue);
    }
}

TEST_F (EditorFixture, ReadoutShowsTheLastKnobChange)
{
    EXPECT_EQ (editor->valuesLabel.label.getText(), ""); // opening shows nothing yet

    const std::tuple<const char*, float, const char*> cases[] = {
        { "delay", 0.2f, "Delay time   200 ms" },
        { "delay", 0.01f, "Delay time   10 ms" },
        { "delay", 1.0f, "Delay time   1000 ms" },
        { "feedback", 0.7f, "Feedback   70 %" }, // a percentage, not the fraction
        { "feedback", 0.0f, "Feedback   0 %" },
        { "feedback", 1.0f, "Feedback   100 %" },
        { "feedback", 0.123456f, "Feedback   12.3456 %" },
        { "feedback", 0.33f, "Feedback   33 %" },
        { "cutoff", 1000.0f, "Cutoff   1000 hz" },
        { "cutoff", 1234.5678f, "Cutoff   1234.57 hz" },
    };

    for (const auto& [id, value, text] : cases)
    {
        setParameter (processor, id, value != 0.5f ? 0.5f : 0.6f); // make sure the next set is a change
        setParameter (processor, id, value);
        EXPECT_EQ (editor->valuesLabel.label.getText(), text);
    }

    // Other parameters leave the text alone.
    setParameter (processor, "mix", 1.0f);
    EXPECT_EQ (editor->valuesLabel.label.getText(), "Cutoff   1234.57 hz");
}

TEST_F (EditorFixture, ReadoutPlateAndFont)
{
    auto& label = editor->valuesLabel;
    ASSERT_EQ (label.getBounds().getWidth(), 318);
    const auto image = label.createComponentSnapshot (label.getLocalBounds());
    EXPECT_EQ (image.getPixelAt (70, 12).getARGB(), 0xff000000u);  // left of the plate
    EXPECT_EQ (image.getPixelAt (80, 12).getARGB(), 0xff484537u);  // on the plate
    EXPECT_EQ (image.getPixelAt (159, 1).getARGB(), 0xff000000u);  // above it
    EXPECT_FLOAT_EQ (label.label.getFont().getHeight(), 14.0f);

    editor->setSize (1590, 546);
    EXPECT_FLOAT_EQ (label.label.getFont().getHeight(), 21.0f);
}

TEST_F (EditorFixture, ControlsAndLinksCarryAccessibleNames)
{
    EXPECT_EQ (editor->delaySlider.getTitle(), "Delay time");
    EXPECT_EQ (editor->feedbackSlider.getTitle(), "Feedback");
    EXPECT_EQ (editor->cutoffSlider.getTitle(), "cutoff");
    EXPECT_EQ (editor->powerButton.getTitle(), "onoff");
    EXPECT_EQ (editor->filterButton.getTitle(), "ishpf");
    EXPECT_TRUE (editor->logoButton.getDescription().contains ("korvane.example"));
    EXPECT_TRUE (editor->supportButton.getDescription().contains ("korvane.example/support"));
    EXPECT_EQ (editor->supportButton.getButtonText(), "Support Us !");
}

TEST (EditorLifecycle, OpensAndClosesRepeatedly)
{
    TemplateAudioProcessor processor;
    for (int i = 0; i < 100; ++i)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
        editor->setSize (706 + (i % 5) * 100, 242);
        if (i % 10 == 0)
            pumpMessages (20); // let the timers tick now and then
        processor.editorBeingDeleted (editor.get());
    }
    SUCCEED();
}

// Run by hand to look at the window: --gtest_also_run_disabled_tests --gtest_filter=*Snapshot*
TEST (EditorSnapshot, DISABLED_WritesThePanelAsPng)
{
    TemplateAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    editor->setVisible (true);
    processor.outputLevel.setTargetValue (0.8f);
    setParameter (processor, "delay", 0.35f);
    testhelpers::pumpMessages (100);

    const auto image = editor->createComponentSnapshot (editor->getLocalBounds());
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile ("vantorel-editor.png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::PNGImageFormat().writeImageToStream (image, out);
    processor.editorBeingDeleted (editor.get());
}
