#pragma once

#include <cstdint>

/** How the panel's filmstrips mark their frames, shared by the editor that reads them and
    the tools that write them (see Filmstrips.h). */
namespace Filmstrips
{
    /** The chunk that lists the frames: ancillary, private, and unsafe to copy, so an editor
        that changes the image data drops it rather than keep offsets that no longer hold.
        Its data, big-endian: version (1), frame count, frame height, then the offset of each
        frame's first filter byte in the zlib stream of the concatenated IDAT chunks. */
    inline constexpr char frameIndexChunk[] = "vfRM";
    inline constexpr std::uint32_t frameIndexVersion = 1;
} // namespace Filmstrips
