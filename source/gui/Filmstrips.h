#pragma once

#include "FilmstripFormat.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <vector>

/** Filmstrips decoded one frame at a time.

    The panel's strips are standard PNG files with a little more structure, written by our
    artwork tools: the compressed data of every frame starts at a point where the
    compressor was fully flushed (so it can be inflated on its own), the first row of every
    frame is filtered without the row above it, and a private ancillary chunk lists the
    byte offset of each frame's data. Any PNG reader decodes them whole as usual; this one
    decodes only the frames that are read.

    An image loaded here is an ordinary juce::Image of the whole strip. Reading pixels of it
    (drawing a frame cut from it, a BitmapData) decodes just the frames those rows belong
    to; decoded frames are kept in a cache bounded in bytes, shared by all strips. A PNG
    without the frame index, or one whose index does not hold, is decoded whole, once. */
namespace Filmstrips
{
    /** The frame index of a PNG's bytes, parsed but not checked against the data. */
    struct FrameIndex
    {
        int numFrames = 0, frameHeight = 0;
        std::vector<std::uint32_t> offsets, checksums;
    };

    /** True when the PNG carries a frame index for numFrames frames of equal height. */
    bool hasFrameIndex (const void* png, size_t size, int numFrames);

    /** The strip in the PNG: decoded frame by frame when it carries a frame index for
        numFrames frames, whole otherwise. Invalid for data that is no PNG. */
    juce::Image load (const void* png, size_t size, int numFrames);

    /** Bytes of decoded frames kept across all strips; the least recently read go first. */
    void setDecodedFrameBudget (size_t bytes);
    size_t getDecodedFrameBudget();

    /** Bytes of decoded frames held now, and how many frame decodes there have been. */
    size_t getDecodedFrameBytes();
    int getFrameDecodeCount();

    /** Drops every decoded frame no reader is holding. */
    void releaseDecodedFrames();
} // namespace Filmstrips
