// What the editor costs to open and to animate, drawn in-process by JUCE's renderer:
//   editorOpen/0  the first window of the process: nothing decoded yet;
//   editorOpen/1  a window opened again while the pictures are still kept;
//   meterSweep    the needle through all 100 frames at the largest window size.
// Counters give the pictures held afterwards. A case over its bound (below) fails the run.

#include "Bounds.h"

#include "gui/Artwork.h"
#include "gui/Filmstrips.h"
#include "gui/PluginEditor.h"
#include "processor/PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace vantorel::bench
{
namespace
{
    // Far above what is measured (tens of milliseconds), so only a regression trips them.
    constexpr double coldOpenBoundMs = 150.0, warmOpenBoundMs = 50.0, sweepMemoryBoundMiB = 160.0;

    double mebibytes (size_t bytes) { return (double) bytes / (1024.0 * 1024.0); }

    double heldMiB() { return mebibytes (Filmstrips::getDecodedFrameBytes() + Artwork::get().getRenderedFrameBytes()); }

    void failOver (benchmark::State& state, double value, double bound, const char* what)
    {
        if (value <= bound)
            return;
        boundExceeded = true;
        state.SkipWithError ((std::string (what) + " " + std::to_string (value) + ", over the bound").c_str());
    }

    void editorOpen (benchmark::State& state)
    {
        const bool warm = state.range (0) != 0;
        TemplateAudioProcessor processor;
        double slowest = 0.0;

        // What any first window of a process pays once, whatever it shows (fonts, the look
        // and feel), is paid here; the cold case then starts from no pictures at all.
        {
            std::unique_ptr<juce::AudioProcessorEditor> first (processor.createEditor());
            first->createComponentSnapshot (first->getLocalBounds());
            processor.editorBeingDeleted (first.get());
        }

        for (auto _ : state)
        {
            if (! warm)
                Artwork::get().release();

            const auto start = std::chrono::steady_clock::now();
            std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
            const auto firstFrame = editor->createComponentSnapshot (editor->getLocalBounds());
            benchmark::DoNotOptimize (firstFrame);
            const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();

            state.SetIterationTime (seconds);
            slowest = std::max (slowest, seconds * 1000.0);
            processor.editorBeingDeleted (editor.get());
        }

        state.counters["slowest_ms"] = slowest;
        state.counters["held_MiB"] = heldMiB();
        failOver (state, slowest, warm ? warmOpenBoundMs : coldOpenBoundMs, "slowest open (ms)");
    }

    void meterSweep (benchmark::State& state)
    {
        TemplateAudioProcessor processor;
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
        editor->setSize (1590, 546);
        auto& meter = dynamic_cast<TemplateAudioProcessorEditor&> (*editor).view.levelMeter;

        for (auto _ : state)
            for (int frame = 0; frame < 100; ++frame)
                meter.setValue ((float) frame / 99.0f);

        state.counters["frames_per_second"] = benchmark::Counter ((double) state.iterations() * 100, benchmark::Counter::kIsRate);
        state.counters["held_MiB"] = heldMiB();
        failOver (state, heldMiB(), sweepMemoryBoundMiB, "pictures held (MiB)");
        processor.editorBeingDeleted (editor.get());
    }

    BENCHMARK (editorOpen)->ArgName ("warm")->Arg (0)->Arg (1)->UseManualTime()->Unit (benchmark::kMillisecond);
    BENCHMARK (meterSweep)->Unit (benchmark::kMillisecond);
} // namespace
} // namespace vantorel::bench
