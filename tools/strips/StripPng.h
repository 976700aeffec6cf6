#pragma once

// Reading and writing the panel's filmstrips as PNG files whose frames can be decoded one
// by one (see source/gui/Filmstrips.h for what the editor does with them).

#include <juce_core/juce_core.h>

#include <cstdint>
#include <string>
#include <vector>

namespace strips
{
    /** An image as 8-bit RGBA rows with straight (not premultiplied) alpha. */
    struct Rgba
    {
        int width = 0, height = 0;
        std::vector<std::uint8_t> pixels; // width * 4 bytes a row, top row first
    };

    /** Reads any PNG as the 8-bit RGBA it shows (16-bit samples cut to 8 bits, grey and
        palette images expanded, alpha added where there is none). False with a reason. */
    bool readPng (const juce::File& file, Rgba& image, std::string& error);

    /** Writes the strip as a standard PNG, 8 bits per channel, colour type 6, whose frames
        (numFrames of equal height, stacked top to bottom) each start after a full flush of
        the compressor, with their first row filtered without the row above, and listed in a
        frame index chunk. False with a reason. */
    bool writeStrip (const Rgba& image, int numFrames, const juce::File& file, std::string& error);
} // namespace strips
