#pragma once

#include <cstdint>

/** How the panel's filmstrips mark their frames, shared by the editor that reads them and
    the tools that write them (see Filmstrips.h). */
namespace Filmstrips
{
    /** The chunk that lists the frames: ancillary, private, and unsafe to copy, so an editor
        that changes the image data drops it rather than keep offsets that no longer hold.
        Its data, big-endian: version (1), frame count, frame height, then for each frame the
        offset of its first filter byte in the zlib stream of the concatenated IDAT chunks and
        the Adler-32 of its inflated bytes (filter bytes and rows), so a reader can tell a frame
        it decoded on its own is the right one. */
    inline constexpr char frameIndexChunk[] = "vfRM";
    inline constexpr std::uint32_t frameIndexVersion = 1;
} // namespace Filmstrips
