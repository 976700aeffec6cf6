// The threads a host runs at once, for a bounded time: an audio thread processing blocks,
// an automation thread moving all nine parameters, a state thread saving and restoring,
// and the message thread opening, resizing, painting and closing the editor while the
// timers run. Built under ThreadSanitizer by scripts/test-sanitizers; any race it
// reports fails the run. In other builds it is a short smoke run of the same.
//
// Usage: vantorel_thread_stress [--seconds=N] [gtest options]

#include "helpers/MessageLoop.h"
#include "helpers/ProcessorHelpers.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

using namespace testhelpers;

namespace
{
    double stressSeconds = 2.0;

    struct Counters
    {
        std::atomic<int> blocks { 0 }, automationRounds { 0 }, stateRounds { 0 }, editors { 0 };
        std::atomic<bool> nonFinite { false };
    };

    void runAudio (TemplateAudioProcessor& p, std::atomic<bool>& stop, Counters& counters)
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;
        juce::Random random (1);

        while (! stop.load())
        {
            // Varying sizes up to the prepared maximum, as hosts do around loop points.
            const int n = 1 + random.nextInt (256);
            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), 2, n);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n; ++i)
                    view.setSample (c, i, random.nextFloat() - 0.5f);

            p.processBlock (view, midi);

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n; ++i)
                    if (! std::isfinite (view.getSample (c, i)))
                        counters.nonFinite = true;

            ++counters.blocks;
        }
    }

    void runAutomation (TemplateAudioProcessor& p, std::atomic<bool>& stop, Counters& counters)
    {
        juce::Random random (2);

        while (! stop.load())
        {
            for (auto* param : p.getParameters())
                param->setValueNotifyingHost (random.nextFloat());

            ++counters.automationRounds;

            // A host automates once per block (256 samples at 48 kHz here), not in a spin.
            std::this_thread::sleep_for (std::chrono::microseconds (5333));
        }
    }

    void runState (TemplateAudioProcessor& p, std::atomic<bool>& stop, Counters& counters)
    {
        juce::MemoryBlock first;
        p.getStateInformation (first);

        while (! stop.load())
        {
            juce::MemoryBlock current;
            p.getStateInformation (current);
            p.setStateInformation (first.getData(), (int) first.getSize());
            p.setStateInformation (current.getData(), (int) current.getSize());
            ++counters.stateRounds;
            std::this_thread::yield();
        }
    }
} // namespace

TEST (ThreadStress, AudioAutomationStateAndEditorAtOnce)
{
    TemplateAudioProcessor processor;
    processor.setRateAndBufferSizeDetails (48000.0, 256);
    processor.prepareToPlay (48000.0, 256);

    // Decoding the panel's filmstrips (hundreds of megabytes of pixels) takes minutes under
    // ThreadSanitizer. Decode them once before the stress and keep them cached, so the
    // editors that come and go below cost what they cost in a host that reopens a window.
    juce::ImageCache::setCacheTimeout (24 * 60 * 60 * 1000);
    {
        std::unique_ptr<juce::AudioProcessorEditor> warmUp (processor.createEditorIfNeeded());
        processor.editorBeingDeleted (warmUp.get());
    }

    Counters counters;
    std::atomic<bool> stop { false };

    std::thread audio (runAudio, std::ref (processor), std::ref (stop), std::ref (counters));
    std::thread automation (runAutomation, std::ref (processor), std::ref (stop), std::ref (counters));
    std::thread state (runState, std::ref (processor), std::ref (stop), std::ref (counters));

    // This thread is the message thread: editors come and go, are resized and painted,
    // and the dispatch loop runs every timer (the editor's and the parameter tree's).
    juce::Random random (3);
    const auto start = juce::Time::getMillisecondCounterHiRes();
    const auto end = start + stressSeconds * 1000.0;

    while (juce::Time::getMillisecondCounterHiRes() < end)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);

        for (int i = 0; i < 3 && juce::Time::getMillisecondCounterHiRes() < end; ++i)
        {
            editor->setSize (400 + random.nextInt (1200), 150 + random.nextInt (500));
            if (i == 0)
                editor->createComponentSnapshot ({ 0, 0, 200, 100 }); // paint a corner, not the whole panel
            pumpMessages (40);
        }

        processor.editorBeingDeleted (editor.get());
        editor.reset();
        ++counters.editors;
    }

    stop = true;
    audio.join();
    automation.join();
    state.join();

    EXPECT_FALSE (counters.nonFinite.load());
    EXPECT_GT (counters.blocks.load(), 0);
    EXPECT_GT (counters.automationRounds.load(), 0);
    EXPECT_GT (counters.stateRounds.load(), 0);
    EXPECT_GT (counters.editors.load(), 0);
    std::cout << counters.blocks << " blocks, " << counters.automationRounds << " automation rounds, "
              << counters.stateRounds << " state rounds, " << counters.editors << " editors in "
              << (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0 << " s\n";
}

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    for (int i = 1; i < argc; ++i)
        if (juce::String (argv[i]).startsWith ("--seconds="))
            stressSeconds = juce::String (argv[i]).fromFirstOccurrenceOf ("=", false, false).getDoubleValue();

    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
