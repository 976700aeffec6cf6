// Compares a render against a reference render, sample by sample.
//
//   vantorel_compare_renders REFERENCE.wav CANDIDATE.wav [--tolerance T]
//
// Passes when both have the same rate, channels and length, the reference is not silent
// (a silent pair would agree about nothing), and no sample differs by more than T
// (default 1e-4, -80 dB full scale).

#include <juce_audio_formats/juce_audio_formats.h>

#include <iostream>

namespace
{
    struct Audio
    {
        juce::AudioBuffer<float> buffer;
        double rate = 0.0;
    };

    bool load (juce::AudioFormatManager& formats, const juce::File& file, Audio& audio)
    {
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
        if (reader == nullptr || reader->lengthInSamples > std::numeric_limits<int>::max())
            return false;

        audio.rate = reader->sampleRate;
        audio.buffer.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
        return reader->read (&audio.buffer, 0, audio.buffer.getNumSamples(), 0, true, true);
    }

    juce::String decibels (double gain) { return juce::String (juce::Decibels::gainToDecibels (gain, -300.0), 1) + " dB"; }
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    double tolerance = 1.0e-4;
    if (const auto at = args.indexOf ("--tolerance"); at >= 0 && at + 1 < args.size())
    {
        tolerance = args[at + 1].getDoubleValue();
        args.removeRange (at, 2);
    }

    if (args.size() != 2 || tolerance <= 0.0)
    {
        std::cerr << "usage: vantorel_compare_renders REFERENCE.wav CANDIDATE.wav [--tolerance T]" << std::endl;
        return 2;
    }

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    Audio reference, candidate;
    for (auto [path, audio] : { std::pair { args[0], &reference }, std::pair { args[1], &candidate } })
    {
        if (! load (formats, cwd.getChildFile (path), *audio))
        {
            std::cerr << "cannot read " << path << std::endl;
            return 2;
        }
    }

    const auto& ref = reference.buffer;
    const auto& cand = candidate.buffer;
    if (reference.rate != candidate.rate || ref.getNumChannels() != cand.getNumChannels() || ref.getNumSamples() != cand.getNumSamples())
    {
        std::cerr << "shapes differ: " << reference.rate << " Hz x " << ref.getNumChannels() << " x " << ref.getNumSamples()
                  << " against " << candidate.rate << " Hz x " << cand.getNumChannels() << " x " << cand.getNumSamples() << std::endl;
        return 1;
    }

    double peak = 0.0, worst = 0.0, squaredError = 0.0;
    int worstChannel = 0, worstSample = 0;
    for (int c = 0; c < ref.getNumChannels(); ++c)
    {
        for (int i = 0; i < ref.getNumSamples(); ++i)
        {
            const double r = ref.getSample (c, i);
            const double d = std::abs ((double) cand.getSample (c, i) - r);
            peak = std::max (peak, std::abs (r));
            squaredError += d * d;
            if (! (d <= worst)) // also catches NaN
            {
                worst = d;
                worstChannel = c;
                worstSample = i;
            }
        }
    }

    const auto rmsError = std::sqrt (squaredError / std::max (1, ref.getNumChannels() * ref.getNumSamples()));
    std::cout << "reference peak " << decibels (peak) << ", largest difference " << decibels (worst) << " (channel "
              << worstChannel << ", sample " << worstSample << ", " << juce::String (worstSample / reference.rate, 4)
              << " s), rms difference " << decibels (rmsError) << std::endl;

    if (peak < 1.0e-3)
    {
        std::cerr << "the reference is silent: nothing to compare" << std::endl;
        return 1;
    }

    if (! (worst <= tolerance))
    {
        std::cerr << "renders differ by more than " << tolerance << std::endl;
        return 1;
    }

    return 0;
}
