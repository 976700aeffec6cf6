#include "StripPng.h"

#include "gui/FilmstripFormat.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace strips
{
namespace
{
    void putBigEndian32 (std::vector<std::uint8_t>& out, std::uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back ((std::uint8_t) (v >> shift));
    }

    void writeChunk (juce::OutputStream& out, const char* type, const std::uint8_t* data, size_t size)
    {
        std::vector<std::uint8_t> head;
        putBigEndian32 (head, (std::uint32_t) size);
        head.insert (head.end(), type, type + 4);

        auto crc = crc32 (0, reinterpret_cast<const Bytef*> (type), 4);
        if (size > 0)
            crc = crc32 (crc, data, (uInt) size);

        std::vector<std::uint8_t> tail;
        putBigEndian32 (tail, (std::uint32_t) crc);

        out.write (head.data(), head.size());
        if (size > 0)
            out.write (data, size);
        out.write (tail.data(), tail.size());
    }

    /** The row filtered with `filter` (0 none, 1 sub, 2 up) against the row above. */
    void filterRow (int filter, const std::uint8_t* row, const std::uint8_t* above, size_t n, std::uint8_t* out)
    {
        out[0] = (std::uint8_t) filter;
        for (size_t i = 0; i < n; ++i)
        {
            const auto left = i >= 4 ? row[i - 4] : 0;
            const auto up = above != nullptr ? above[i] : 0;
            out[i + 1] = (std::uint8_t) (row[i] - (filter == 1 ? left : filter == 2 ? up : 0));
        }
    }

    /** The usual heuristic: the filter whose output, read as signed bytes, sums smallest. */
    size_t cost (const std::uint8_t* filtered, size_t n)
    {
        size_t sum = 0;
        for (size_t i = 1; i <= n; ++i)
            sum += (size_t) std::abs ((int) (std::int8_t) filtered[i]);
        return sum;
    }
} // namespace

bool readPng (const juce::File& file, Rgba& image, std::string& error)
{
    std::unique_ptr<FILE, int (*) (FILE*)> in (std::fopen (file.getFullPathName().toRawUTF8(), "rb"), std::fclose);
    if (in == nullptr)
    {
        error = "cannot open " + file.getFullPathName().toStdString();
        return false;
    }

    auto* png = png_create_read_struct (PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    auto* info = png_create_info_struct (png);
    std::vector<png_bytep> rows;

    if (setjmp (png_jmpbuf (png)))
    {
        png_destroy_read_struct (&png, &info, nullptr);
        error = file.getFullPathName().toStdString() + " is not a PNG file that can be read";
        return false;
    }

    png_init_io (png, in.get());
    png_read_info (png, info);

    // What the editor shows of any PNG: 8 bits a channel, RGBA.
    png_set_strip_16 (png);
    png_set_packing (png);
    png_set_expand (png);
    png_set_gray_to_rgb (png);
    png_set_add_alpha (png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling (png);
    png_read_update_info (png, info);

    image.width = (int) png_get_image_width (png, info);
    image.height = (int) png_get_image_height (png, info);
    image.pixels.assign ((size_t) image.width * (size_t) image.height * 4, 0);

    for (int y = 0; y < image.height; ++y)
        rows.push_back (image.pixels.data() + (size_t) y * (size_t) image.width * 4);

    png_read_image (png, rows.data());
    png_read_end (png, nullptr);
    png_destroy_read_struct (&png, &info, nullptr);
    return true;
}

bool writeStrip (const Rgba& image, int numFrames, const juce::File& file, std::string& error)
{
    if (numFrames <= 0 || image.width <= 0 || image.height % numFrames != 0
        || image.pixels.size() != (size_t) image.width * (size_t) image.height * 4)
    {
        error = "a strip of " + std::to_string (image.width) + " x " + std::to_string (image.height)
                + " pixels cannot hold " + std::to_string (numFrames) + " frames of equal height";
        return false;
    }

    const auto rowBytes = (size_t) image.width * 4;
    const int frameHeight = image.height / numFrames;

    // The compressed data, frame by frame, each frame after a full flush.
    z_stream z {};
    if (deflateInit2 (&z, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    {
        error = "zlib cannot start";
        return false;
    }

    std::vector<std::uint8_t> compressed;
    std::vector<std::uint32_t> offsets, checksums;
    std::vector<std::uint8_t> buffer (1 << 16), candidate (rowBytes + 1), best (rowBytes + 1);

    const auto pump = [&] (const std::uint8_t* data, size_t size, int flush)
    {
        z.next_in = const_cast<Bytef*> (data);
        z.avail_in = (uInt) size;

        do
        {
            z.next_out = buffer.data();
            z.avail_out = (uInt) buffer.size();
            deflate (&z, flush);
            compressed.insert (compressed.end(), buffer.data(), buffer.data() + (buffer.size() - z.avail_out));
        } while (z.avail_in > 0 || z.avail_out == 0);
    };

    for (int f = 0; f < numFrames; ++f)
    {
        // The first frame's data starts after the two bytes of the zlib header.
        offsets.push_back (f == 0 ? 2u : (std::uint32_t) compressed.size());
        uLong checksum = adler32 (0, nullptr, 0);

        for (int r = 0; r < frameHeight; ++r)
        {
            const auto y = (size_t) (f * frameHeight + r);
            const auto* row = image.pixels.data() + y * rowBytes;
            const auto* above = r > 0 ? row - rowBytes : nullptr;

            // A frame's first row never refers to the row above, which belongs to the frame
            // before; None, Sub and Up undo quickly.
            size_t bestCost = SIZE_MAX;
            for (int filter = 0; filter <= (r == 0 ? 1 : 2); ++filter)
            {
                filterRow (filter, row, above, rowBytes, candidate.data());
                if (const auto c = cost (candidate.data(), rowBytes); c < bestCost)
                {
                    bestCost = c;
                    std::swap (best, candidate);
                }
            }

            checksum = adler32 (checksum, best.data(), (uInt) best.size());
            pump (best.data(), best.size(), Z_NO_FLUSH);
        }

        checksums.push_back ((std::uint32_t) checksum);

        pump (nullptr, 0, f + 1 < numFrames ? Z_FULL_FLUSH : Z_FINISH);
    }

    deflateEnd (&z);

    if (compressed.size() < 2 || compressed.size() > 0xffffffffu)
    {
        error = "the compressed strip does not fit a PNG";
        return false;
    }

    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);

    if (! out.openedOk())
    {
        error = "cannot write " + file.getFullPathName().toStdString();
        return false;
    }

    static const std::uint8_t signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    out.write (signature, sizeof (signature));

    std::vector<std::uint8_t> header;
    putBigEndian32 (header, (std::uint32_t) image.width);
    putBigEndian32 (header, (std::uint32_t) image.height);
    header.insert (header.end(), { 8, 6, 0, 0, 0 }); // 8 bits, RGBA, deflate, adaptive filters, not interlaced
    writeChunk (out, "IHDR", header.data(), header.size());

    std::vector<std::uint8_t> index;
    putBigEndian32 (index, Filmstrips::frameIndexVersion);
    putBigEndian32 (index, (std::uint32_t) numFrames);
    putBigEndian32 (index, (std::uint32_t) frameHeight);
    for (size_t f = 0; f < offsets.size(); ++f)
    {
        putBigEndian32 (index, offsets[f]);
        putBigEndian32 (index, checksums[f]);
    }
    writeChunk (out, Filmstrips::frameIndexChunk, index.data(), index.size());

    constexpr size_t idatSize = 1 << 18;
    for (size_t at = 0; at < compressed.size(); at += idatSize)
        writeChunk (out, "IDAT", compressed.data() + at, std::min (idatSize, compressed.size() - at));

    writeChunk (out, "IEND", nullptr, 0);
    out.flush();

    if (! out.getStatus().wasOk())
    {
        error = "cannot write " + file.getFullPathName().toStdString();
        return false;
    }

    return true;
}
} // namespace strips
