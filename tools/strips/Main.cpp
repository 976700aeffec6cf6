// vantorel_strips: writes a filmstrip PNG in the form whose frames the editor decodes one by
// one, and tells whether a PNG is in that form.
//
//   vantorel_strips index IN.png OUT.png FRAMES   re-encode (the pixels stay as they are)
//   vantorel_strips check IN.png FRAMES           exit 0 when IN has a frame index for FRAMES
//   vantorel_strips same A.png B.png              exit 0 when both show the same RGBA pixels
//
// The build runs `index` on replacement artwork (VANTOREL_ARTWORK_DIR), so the module
// always carries strips it can decode frame by frame.

#include "StripPng.h"

#include "gui/FilmstripFormat.h"

#include <cstring>

#include <iostream>

namespace
{
    int usage()
    {
        std::cerr << "usage: vantorel_strips index IN.png OUT.png FRAMES\n"
                     "       vantorel_strips check IN.png FRAMES\n"
                     "       vantorel_strips same A.png B.png\n";
        return 2;
    }

    /** True when the PNG's chunks hold the frame index for this many frames. */
    bool hasIndex (const juce::File& file, int frames);
} // namespace

int main (int argc, char* argv[])
{
    const juce::StringArray args (argv + 1, argc - 1);
    const auto cwd = juce::File::getCurrentWorkingDirectory();

    if (args.size() == 4 && args[0] == "index")
    {
        const int frames = args[3].getIntValue();
        strips::Rgba image;
        std::string error;

        if (frames <= 0 || ! strips::readPng (cwd.getChildFile (args[1]), image, error)
            || ! strips::writeStrip (image, frames, cwd.getChildFile (args[2]), error))
        {
            std::cerr << "vantorel_strips: " << (error.empty() ? "bad frame count " + args[3].toStdString() : error) << "\n";
            return 1;
        }
        return 0;
    }

    if (args.size() == 3 && args[0] == "check")
        return hasIndex (cwd.getChildFile (args[1]), args[2].getIntValue()) ? 0 : 1;

    if (args.size() == 3 && args[0] == "same")
    {
        strips::Rgba a, b;
        std::string error;
        if (! strips::readPng (cwd.getChildFile (args[1]), a, error) || ! strips::readPng (cwd.getChildFile (args[2]), b, error))
        {
            std::cerr << "vantorel_strips: " << error << "\n";
            return 2;
        }
        return a.width == b.width && a.height == b.height && a.pixels == b.pixels ? 0 : 1;
    }

    return usage();
}

namespace
{
    bool hasIndex (const juce::File& file, int frames)
    {
        juce::MemoryBlock data;
        if (! file.loadFileAsData (data) || data.getSize() < 8)
            return false;

        const auto* p = static_cast<const juce::uint8*> (data.getData());
        for (size_t at = 8; at + 12 <= data.getSize();)
        {
            const auto length = (size_t) juce::ByteOrder::bigEndianInt (p + at);
            if (std::memcmp (p + at + 4, Filmstrips::frameIndexChunk, 4) == 0)
                return length >= 8 && (int) juce::ByteOrder::bigEndianInt (p + at + 12) == frames;
            if (std::memcmp (p + at + 4, "IDAT", 4) == 0)
                return false;
            at += 12 + length;
        }
        return false;
    }
} // namespace
