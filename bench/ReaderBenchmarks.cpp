// How long a hostile parameter tree keeps the thread that reads it: a host's thread for a
// state blob (setStateInformation), the message thread for a preset file. Every text of
// tests/helpers/HostileInputs.h must be refused or taken within the bound below; a case
// over it fails the run (and with it ctest's bench_smoke).

#include "Bounds.h"

#include "../tests/helpers/HostileInputs.h"

#include "processor/ParameterTreeReader.h"
#include "processor/PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace vantorel::bench
{
    /** The longest a host may wait on a hostile text, in milliseconds. */
    constexpr double boundMilliseconds = 50.0;

    namespace
    {
        const std::vector<testhelpers::HostileInput>& inputs()
        {
            static const auto all = testhelpers::hostileInputs();
            return all;
        }

        /** Times `read` once per iteration (set-up outside the clock) and fails the case
            when its slowest run is over the bound. */
        template <typename SetUp, typename Read>
        void timeEachRun (benchmark::State& state, SetUp&& setUp, Read&& read)
        {
            double slowest = 0.0;

            for (auto _ : state)
            {
                auto subject = setUp();
                const auto start = std::chrono::steady_clock::now();
                read (*subject);
                const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
                state.SetIterationTime (seconds);
                slowest = std::max (slowest, seconds * 1000.0);
            }

            state.counters["slowest_ms"] = slowest;

            if (slowest > boundMilliseconds)
            {
                boundExceeded = true;
                state.SkipWithError (("slowest run " + std::to_string (slowest) + " ms, over the bound").c_str());
            }
        }

        void hostileState (benchmark::State& state)
        {
            const auto& input = inputs()[(size_t) state.range (0)];
            state.SetLabel (input.name);
            const auto blob = testhelpers::asStateBlob (input.text);

            timeEachRun (state,
                         [] { return std::make_unique<TemplateAudioProcessor>(); },
                         [&blob] (TemplateAudioProcessor& p) { p.setStateInformation (blob.getData(), (int) blob.getSize()); });
        }

        void hostilePreset (benchmark::State& state)
        {
            const auto& input = inputs()[(size_t) state.range (0)];
            state.SetLabel (input.name);

            static const juce::TemporaryFile scratch (".vtrpreset");
            scratch.getFile().replaceWithData (input.text.data(), input.text.size());

            timeEachRun (state,
                         [] { return std::make_unique<TemplateAudioProcessor>(); },
                         [] (TemplateAudioProcessor& p)
                         {
                             const auto tree = ParameterTreeReader::fromFile (scratch.getFile());
                             ParameterTreeReader::install (p.apvts, tree.get());
                         });
        }

        void allInputs (benchmark::internal::Benchmark* b)
        {
            for (int i = 0; i < (int) inputs().size(); ++i)
                b->Arg (i);
        }

        BENCHMARK (hostileState)->Apply (allInputs)->UseManualTime()->Unit (benchmark::kMillisecond);
        BENCHMARK (hostilePreset)->Apply (allInputs)->UseManualTime()->Unit (benchmark::kMillisecond);
    } // namespace
} // namespace vantorel::bench
