// The delay engine's cost, through the processor as a host drives it: stereo blocks of
// 512 samples at 44.1 and 48 kHz, oversampling off and on, steady and with all three
// smoothers ramping.
//
// Besides Google Benchmark's own flags, `--count=RATE,OVERSAMPLING,RAMPING,BLOCKS` runs a
// fixed number of blocks and nothing else, for instruction counts under callgrind (see
// README.md and callgrind.sh beside this file).

#include "processor/PluginProcessor.h"

#include "Bounds.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace
{
    constexpr int blockSize = 512;

    /** A prepared processor and a block of input, past the first block's crossfade. */
    class Session
    {
    public:
        Session (double sampleRate, bool oversampling, bool ramping)
            : rate (sampleRate), ramps (ramping)
        {
            processor.setRateAndBufferSizeDetails (rate, blockSize);
            processor.prepareToPlay (rate, blockSize);
            set ("oversampling", oversampling ? 1.0f : 0.0f);

            juce::Random random (1);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < blockSize; ++i)
                    input.setSample (c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));

            // The first block's crossfade lasts 125 ms; half a second is well past it.
            for (int i = 0; i < (int) (0.5 * rate) / blockSize; ++i)
                processBlock();
        }

        /** One host block. When ramping, every block sets new targets for delay, feedback
            and cutoff, so their ramps (longer than a block) never end. */
        void processBlock()
        {
            if (ramps)
            {
                flip = ! flip;
                set ("delay", flip ? 0.21f : 0.2f);
                set ("feedback", flip ? 0.6f : 0.7f);
                set ("cutoff", flip ? 1100.0f : 900.0f);
            }

            buffer.makeCopyOf (input, true);
            processor.processBlock (buffer, midi);
        }

        const double rate;

    private:
        void set (const char* id, float value)
        {
            auto* parameter = processor.apvts.getParameter (id);
            parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
        }

        TemplateAudioProcessor processor;
        const bool ramps;
        bool flip = false;
        juce::AudioBuffer<float> input { 2, blockSize }, buffer { 2, blockSize };
        juce::MidiBuffer midi;
    };

    void engineProcess (benchmark::State& state)
    {
        Session session ((double) state.range (0), state.range (1) != 0, state.range (2) != 0);

        const auto start = std::chrono::steady_clock::now();

        for (auto _ : state)
            session.processBlock();

        const double seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
        const double frames = (double) state.iterations() * blockSize;
        state.counters["ns_per_frame"] = 1.0e9 * seconds / frames;
        state.counters["realtime_factor"] = frames / session.rate / seconds;
    }

    BENCHMARK (engineProcess)
        ->ArgNames ({ "rate", "oversampling", "ramping" })
        ->ArgsProduct ({ { 44100, 48000 }, { 0, 1 }, { 0, 1 } })
        ->Unit (benchmark::kMicrosecond);

    /** Runs the blocks of --count=RATE,OVERSAMPLING,RAMPING,BLOCKS. */
    int countBlocks (const char* spec)
    {
        double rate = 0.0;
        int oversampling = 0, ramping = 0, blocks = 0;

        if (std::sscanf (spec, "%lf,%d,%d,%d", &rate, &oversampling, &ramping, &blocks) != 4 || rate <= 0.0 || blocks < 0)
        {
            std::fprintf (stderr, "usage: --count=RATE,OVERSAMPLING,RAMPING,BLOCKS\n");
            return 2;
        }

        Session session (rate, oversampling != 0, ramping != 0);

        for (int i = 0; i < blocks; ++i)
            session.processBlock();

        return 0;
    }
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;

    for (int i = 1; i < argc; ++i)
        if (std::strncmp (argv[i], "--count=", 8) == 0)
            return countBlocks (argv[i] + 8);

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return vantorel::bench::boundExceeded ? 1 : 0;
}
