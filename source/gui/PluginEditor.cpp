#include "PluginEditor.h"

#include "BarScale.h"
#include "Links.h"
#include "WindowManagerAtoms.h"
#include "processor/PluginProcessor.h"

TemplateAudioProcessorEditor::TemplateAudioProcessorEditor (TemplateAudioProcessor& owner)
    : juce::AudioProcessorEditor (owner)
    , audioProcessor (owner)
    , view (owner)
    , delayAttachment (owner.apvts, ParameterIDs::delay, delaySlider)
    , feedbackAttachment (owner.apvts, ParameterIDs::feedback, feedbackSlider)
    , cutoffAttachment (owner.apvts, ParameterIDs::cutoff, cutoffSlider)
    , powerAttachment (owner.apvts, ParameterIDs::onoff, powerButton)
    , mixAttachment (owner.apvts, ParameterIDs::mix, mixButton)
    , boostAttachment (owner.apvts, ParameterIDs::feedbackboost, boostButton)
    , panicAttachment (owner.apvts, ParameterIDs::panic, panicButton)
    , filterAttachment (owner.apvts, ParameterIDs::ishpf, filterButton)
    , topBar (&owner.undoManager, owner.apvts)
    , valuesLabel (owner)
{
    // Before the wrapper puts the editor's window on the host's display.
    ensureWindowManagerAtoms();

    setSize (designWidth, designHeight);

    addAndMakeVisible (view);

    const std::pair<juce::Slider*, const char*> sliders[] = {
        { &delaySlider, ParameterIDs::delay }, { &feedbackSlider, ParameterIDs::feedback }, { &cutoffSlider, ParameterIDs::cutoff }
    };
    for (auto [slider, id] : sliders)
    {
        slider->setLookAndFeel (&customLookAndFeel);
        slider->setSliderStyle (juce::Slider::RotaryHorizontalDrag);
        slider->setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
        slider->setTitle (owner.apvts.getParameter (id)->getName (64));
        addAndMakeVisible (slider);
    }

    const std::pair<juce::ToggleButton*, const char*> toggles[] = {
        { &powerButton, ParameterIDs::onoff }, { &mixButton, ParameterIDs::mix }, { &boostButton, ParameterIDs::feedbackboost },
        { &panicButton, ParameterIDs::panic }, { &filterButton, ParameterIDs::ishpf }
    };
    for (auto [toggle, id] : toggles)
    {
        toggle->setLookAndFeel (&customLookAndFeel);
        toggle->setTitle (owner.apvts.getParameter (id)->getName (64));
        addAndMakeVisible (toggle);
    }

    addAndMakeVisible (logoButton);
    addAndMakeVisible (topBar);
    addAndMakeVisible (supportButton);
    addAndMakeVisible (valuesLabel);

    logoButton.setTitle ("Korvane web site");
    logoButton.setDescription (juce::String ("Opens ") + Links::website + " in your browser");
    logoButton.onClick = [] { juce::URL (Links::website).launchInDefaultBrowser(); };

    supportButton.setButtonText ("Support Us !");
    supportButton.setDescription (juce::String ("Opens ") + Links::donation + " in your browser");
    supportButton.onClick = [] { juce::URL (Links::donation).launchInDefaultBrowser(); };

    constrainer.setFixedAspectRatio ((double) designWidth / (double) designHeight);
    constrainer.setSizeLimits (minWidth, minHeight, maxWidth, maxHeight);
    setConstrainer (&constrainer);
    setResizable (false, true);
}

TemplateAudioProcessorEditor::~TemplateAudioProcessorEditor()
{
    // The look-and-feel is destroyed before the controls that use it.
    for (auto [control, element] : overlays())
        control->setLookAndFeel (nullptr);
}

std::vector<std::pair<juce::Component*, UIElement*>> TemplateAudioProcessorEditor::overlays()
{
    return { { &delaySlider, &view.delayKnob },
             { &feedbackSlider, &view.feedbackKnob },
             { &cutoffSlider, &view.cutoffKnob },
             { &powerButton, &view.powerSwitch },
             { &mixButton, &view.mixSwitch },
             { &boostButton, &view.boostSwitch },
             { &panicButton, &view.panicSwitch },
             { &filterButton, &view.filterSwitch } };
}

void TemplateAudioProcessorEditor::resized()
{
    const int w = getWidth(), h = getHeight();

    const int surfaceHeight = juce::jmin (h, (int) (w / (1060.0 / 340.0)));
    view.setBounds (0, 0, w, surfaceHeight);

    for (auto [control, element] : overlays())
        control->setBounds (element->x, element->y, element->width, element->height);

    logoButton.setBounds (0, 0, (int) ((float) w * 0.4f), (int) ((float) h * 0.2f));

    const int stripHeight = h - surfaceHeight;
    barScale = (float) stripHeight / 24.0f;

    const int topBarWidth = juce::jmin (w, (int) ((float) w * 0.6f));
    topBar.setBounds (0, surfaceHeight, topBarWidth, stripHeight);

    const int supportWidth = juce::jmin (w - topBarWidth, (int) ((float) w * 0.1f));
    supportButton.setBounds (topBarWidth, surfaceHeight, supportWidth, stripHeight);

    valuesLabel.setBounds (topBarWidth + supportWidth, surfaceHeight, w - topBarWidth - supportWidth, stripHeight);
}
