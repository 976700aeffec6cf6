#include "Filmstrips.h"

#include <zlib.h>

#include <atomic>
#include <cstring>
#include <memory>

namespace Filmstrips
{
namespace
{
    std::uint32_t bigEndian32 (const std::uint8_t* p) noexcept
    {
        return (std::uint32_t) p[0] << 24 | (std::uint32_t) p[1] << 16 | (std::uint32_t) p[2] << 8 | (std::uint32_t) p[3];
    }

    constexpr std::uint8_t pngSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };

    /** What the decoder needs of a PNG: its size and where its compressed data lies. */
    struct ParsedPng
    {
        int width = 0, height = 0;
        bool rgba8 = false; // 8 bits per channel, colour type 6, not interlaced
        FrameIndex index;
        std::vector<std::pair<const std::uint8_t*, size_t>> data; // the IDAT payloads, in order
        size_t dataSize = 0;
    };

    /** Walks the chunks; false for anything that is not a well-formed PNG as far as read. */
    bool parse (const std::uint8_t* p, size_t size, ParsedPng& png)
    {
        if (size < 8 || std::memcmp (p, pngSignature, 8) != 0)
            return false;

        size_t at = 8;
        bool sawHeader = false;

        while (at + 12 <= size)
        {
            const auto length = (size_t) bigEndian32 (p + at);
            const auto* type = p + at + 4;
            const auto* body = p + at + 8;

            if (length > size - at - 12)
                return false;

            if (std::memcmp (type, "IHDR", 4) == 0 && length >= 13)
            {
                png.width = (int) bigEndian32 (body);
                png.height = (int) bigEndian32 (body + 4);
                png.rgba8 = body[8] == 8 && body[9] == 6 && body[12] == 0;
                sawHeader = true;
            }
            else if (std::memcmp (type, frameIndexChunk, 4) == 0 && png.data.empty() && length >= 12
                     && bigEndian32 (body) == frameIndexVersion)
            {
                const auto count = bigEndian32 (body + 4);
                if (count > 0 && count <= 100000 && length == 12 + 8 * (size_t) count)
                {
                    png.index.numFrames = (int) count;
                    png.index.frameHeight = (int) bigEndian32 (body + 8);
                    png.index.offsets.resize (count);
                    png.index.checksums.resize (count);
                    for (std::uint32_t i = 0; i < count; ++i)
                    {
                        png.index.offsets[i] = bigEndian32 (body + 12 + 8 * (size_t) i);
                        png.index.checksums[i] = bigEndian32 (body + 16 + 8 * (size_t) i);
                    }
                }
            }
            else if (std::memcmp (type, "IDAT", 4) == 0)
            {
                png.data.emplace_back (body, length);
                png.dataSize += length;
            }
            else if (std::memcmp (type, "IEND", 4) == 0)
            {
                break;
            }

            at += 12 + length;
        }

        return sawHeader && png.width > 0 && png.height > 0 && ! png.data.empty();
    }

    /** The index holds for this image: frames of equal height covering it, and offsets that
        rise through the compressed data from just after the zlib header. */
    bool indexHolds (const ParsedPng& png, int numFrames)
    {
        const auto& index = png.index;

        if (! png.rgba8 || index.numFrames != numFrames || numFrames <= 0 || index.frameHeight <= 0
            || (juce::int64) index.frameHeight * numFrames != png.height || index.offsets.front() != 2)
            return false;

        for (size_t i = 1; i < index.offsets.size(); ++i)
            if (index.offsets[i] <= index.offsets[i - 1])
                return false;

        return index.offsets.back() < png.dataSize;
    }

    //==============================================================================
    /** Decoded frames of all strips, least recently read dropped first past the budget. */
    class FrameCache
    {
    public:
        using Pixels = std::shared_ptr<const juce::HeapBlock<std::uint8_t>>;

        static FrameCache& get()
        {
            static FrameCache cache;
            return cache;
        }

        Pixels find (const void* strip, int frame)
        {
            const juce::ScopedLock lock (mutex);

            for (auto& e : entries)
            {
                if (e.strip == strip && e.frame == frame)
                {
                    e.lastUse = ++clock;
                    return e.pixels;
                }
            }

            return {};
        }

        void add (const void* strip, int frame, Pixels pixels, size_t bytes)
        {
            const juce::ScopedLock lock (mutex);
            entries.push_back ({ strip, frame, std::move (pixels), bytes, ++clock });
            total += bytes;
            trim();
        }

        void forget (const void* strip)
        {
            const juce::ScopedLock lock (mutex);
            for (auto i = entries.size(); i-- > 0;)
                if (entries[i].strip == strip)
                    remove (i);
        }

        void clear()
        {
            const juce::ScopedLock lock (mutex);
            entries.clear();
            total = 0;
        }

        void setBudget (size_t bytes)
        {
            const juce::ScopedLock lock (mutex);
            budget = bytes;
            trim();
        }

        size_t getBudget() { const juce::ScopedLock lock (mutex); return budget; }
        size_t getTotal() { const juce::ScopedLock lock (mutex); return total; }

        std::atomic<int> decodes { 0 };

    private:
        struct Entry
        {
            const void* strip;
            int frame;
            Pixels pixels;
            size_t bytes;
            std::uint64_t lastUse;
        };

        void remove (size_t i)
        {
            total -= entries[i].bytes;
            entries.erase (entries.begin() + (std::ptrdiff_t) i);
        }

        void trim()
        {
            // The newest frame stays whatever its size: it is the one being read.
            while (total > budget && entries.size() > 1)
            {
                size_t oldest = 0;
                for (size_t i = 1; i < entries.size(); ++i)
                    if (entries[i].lastUse < entries[oldest].lastUse)
                        oldest = i;
                remove (oldest);
            }
        }

        juce::CriticalSection mutex;
        std::vector<Entry> entries;
        size_t total = 0, budget = 16u << 20;
        std::uint64_t clock = 0;
    };

    //==============================================================================
    /** Pixel data of a strip that decodes the frames its readers touch. The strip is
        artwork: drawing into it is not supported (a context draws into a scratch image). */
    class LazyStripData final : public juce::ImagePixelData
    {
    public:
        LazyStripData (ParsedPng parsed, const void* pngData, size_t pngSize)
            : juce::ImagePixelData (juce::Image::ARGB, parsed.width, parsed.height),
              png (std::move (parsed)),
              source (pngData),
              sourceSize (pngSize),
              lineStride ((size_t) png.width * 4),
              frameBytes (lineStride * (size_t) png.index.frameHeight)
        {
        }

        ~LazyStripData() override { FrameCache::get().forget (this); }

        std::unique_ptr<juce::LowLevelGraphicsContext> createLowLevelContext() override
        {
            jassertfalse; // a filmstrip is never drawn into
            return std::make_unique<juce::LowLevelGraphicsSoftwareRenderer> (juce::Image (juce::Image::ARGB, 1, 1, true));
        }

        Ptr clone() override
        {
            // A copy to change: the whole strip, decoded the ordinary way.
            return juce::SoftwareImageType().convert (whole()).getPixelData();
        }

        std::unique_ptr<juce::ImageType> createType() const override { return std::make_unique<juce::SoftwareImageType>(); }

        void initialiseBitmapData (juce::Image::BitmapData& bitmap, int x, int y, juce::Image::BitmapData::ReadWriteMode mode) override
        {
            bitmap.pixelFormat = juce::Image::ARGB;
            bitmap.pixelStride = 4;
            bitmap.lineStride = (int) lineStride;

            const int rows = juce::jlimit (1, height - y, bitmap.height);
            const int first = y / png.index.frameHeight, last = (y + rows - 1) / png.index.frameHeight;

            // One frame, only read (the way frames are drawn): point into the decoded frame.
            if (first == last && mode == juce::Image::BitmapData::readOnly)
            {
                if (auto pixels = frame (first))
                {
                    const auto offset = (size_t) (y - first * png.index.frameHeight) * lineStride + (size_t) x * 4;
                    bitmap.data = const_cast<std::uint8_t*> (pixels->get()) + offset;
                    bitmap.size = frameBytes - offset;
                    bitmap.dataReleaser = std::make_unique<Holder> (std::move (pixels));
                    return;
                }
            }

            // Rows of several frames, or a write (which must not reach the strip): a copy of
            // the rows asked for, alive as long as the bitmap.
            auto copy = std::make_shared<juce::HeapBlock<std::uint8_t>> ((size_t) rows * lineStride, true);

            for (int row = 0; row < rows;)
            {
                const int f = (y + row) / png.index.frameHeight;
                const int inFrame = (y + row) - f * png.index.frameHeight;
                const int count = juce::jmin (rows - row, png.index.frameHeight - inFrame);

                if (auto pixels = frame (f))
                    std::memcpy (copy->get() + (size_t) row * lineStride, pixels->get() + (size_t) inFrame * lineStride,
                                 (size_t) count * lineStride);

                row += count;
            }

            bitmap.data = copy->get() + (size_t) x * 4;
            bitmap.size = (size_t) rows * lineStride - (size_t) x * 4;
            bitmap.dataReleaser = std::make_unique<Holder> (std::move (copy));
        }

    private:
        struct Holder : juce::Image::BitmapData::BitmapDataReleaser
        {
            explicit Holder (std::shared_ptr<const juce::HeapBlock<std::uint8_t>> p) : pixels (std::move (p)) {}
            std::shared_ptr<const juce::HeapBlock<std::uint8_t>> pixels;
        };

        /** The decoded frame, from the cache or decoded now; null if it cannot be had. */
        FrameCache::Pixels frame (int index)
        {
            auto& cache = FrameCache::get();

            if (auto pixels = cache.find (this, index))
                return pixels;

            auto pixels = std::make_shared<juce::HeapBlock<std::uint8_t>> (frameBytes);

            if (! decode (index, pixels->get()) && ! copyFromWhole (index, pixels->get()))
                return {};

            cache.decodes.fetch_add (1, std::memory_order_relaxed);
            cache.add (this, index, pixels, frameBytes);
            return pixels;
        }

        /** Inflates one frame's rows from its offset, undoes the row filters and converts to
            JUCE's premultiplied ARGB exactly as its PNG loader does. */
        bool decode (int index, std::uint8_t* out) const
        {
            const auto rowBytes = lineStride + 1;
            const auto rows = (size_t) png.index.frameHeight;
            juce::HeapBlock<std::uint8_t> raw (rowBytes * rows);

            z_stream z {};
            if (inflateInit2 (&z, -15) != Z_OK) // raw deflate: the frame starts mid-stream
                return false;

            z.next_out = raw.get();
            z.avail_out = (uInt) (rowBytes * rows);

            size_t skip = png.index.offsets[(size_t) index];
            bool ok = true;

            for (const auto& [chunk, length] : png.data)
            {
                if (skip >= length)
                {
                    skip -= length;
                    continue;
                }

                z.next_in = const_cast<Bytef*> (chunk + skip);
                z.avail_in = (uInt) (length - skip);
                skip = 0;

                const auto result = inflate (&z, Z_NO_FLUSH);

                if (z.avail_out == 0)
                    break;

                if (result != Z_OK && result != Z_BUF_ERROR)
                {
                    ok = false;
                    break;
                }
            }

            ok = ok && z.avail_out == 0;
            inflateEnd (&z);

            // The index says what this frame's bytes are: anything else came from a wrong place.
            if (! ok || adler32 (adler32 (0, nullptr, 0), raw.get(), (uInt) (rowBytes * rows)) != png.index.checksums[(size_t) index])
                return false;

            // Undo the filters; a frame's first row refers to no row above it.
            std::vector<std::uint8_t> previous (lineStride, 0), current (lineStride);

            for (size_t r = 0; r < rows; ++r)
            {
                const auto* row = raw.get() + r * rowBytes;
                const auto filter = row[0];

                if (filter > 4 || (r == 0 && filter > 1))
                    return false;

                std::memcpy (current.data(), row + 1, lineStride);
                unfilter (filter, current.data(), previous.data());

                auto* dest = out + r * lineStride;
                for (size_t i = 0; i < lineStride; i += 4)
                {
                    auto* pixel = reinterpret_cast<juce::PixelARGB*> (dest + i);
                    pixel->setARGB (current[i + 3], current[i], current[i + 1], current[i + 2]);
                    pixel->premultiply();
                }

                std::swap (previous, current);
            }

            return true;
        }

        void unfilter (std::uint8_t filter, std::uint8_t* x, const std::uint8_t* above) const noexcept
        {
            const auto n = lineStride;

            switch (filter)
            {
                case 1:
                    for (size_t i = 4; i < n; ++i)
                        x[i] = (std::uint8_t) (x[i] + x[i - 4]);
                    break;
                case 2:
                    for (size_t i = 0; i < n; ++i)
                        x[i] = (std::uint8_t) (x[i] + above[i]);
                    break;
                case 3:
                    for (size_t i = 0; i < n; ++i)
                        x[i] = (std::uint8_t) (x[i] + (((i >= 4 ? x[i - 4] : 0) + above[i]) >> 1));
                    break;
                case 4:
                    for (size_t i = 0; i < n; ++i)
                    {
                        const int a = i >= 4 ? x[i - 4] : 0, b = above[i], c = i >= 4 ? above[i - 4] : 0;
                        const int p = a + b - c, pa = std::abs (p - a), pb = std::abs (p - b), pc = std::abs (p - c);
                        x[i] = (std::uint8_t) (x[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
                    }
                    break;
                default:
                    break;
            }
        }

        /** The whole strip decoded the ordinary way: the fallback when a frame cannot be
            decoded on its own (an index that does not hold), and for copies. */
        juce::Image whole()
        {
            const juce::ScopedLock lock (wholeLock);
            if (! wholeImage.isValid())
                wholeImage = juce::ImageFileFormat::loadFrom (source, sourceSize);
            return wholeImage;
        }

        bool copyFromWhole (int index, std::uint8_t* out)
        {
            auto image = whole();

            if (! image.isValid() || image.getWidth() != width || image.getHeight() != height)
                return false;

            const juce::Image::BitmapData data (image, 0, index * png.index.frameHeight, width, png.index.frameHeight);
            if (data.pixelFormat != juce::Image::ARGB || data.pixelStride != 4)
                return false;

            for (int r = 0; r < png.index.frameHeight; ++r)
                std::memcpy (out + (size_t) r * lineStride, data.getLinePointer (r), lineStride);
            return true;
        }

        const ParsedPng png;
        const void* const source;
        const size_t sourceSize;
        const size_t lineStride, frameBytes;

        juce::CriticalSection wholeLock;
        juce::Image wholeImage;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LazyStripData)
    };
} // namespace

//==============================================================================
bool hasFrameIndex (const void* png, size_t size, int numFrames)
{
    ParsedPng parsed;
    return png != nullptr && parse (static_cast<const std::uint8_t*> (png), size, parsed) && indexHolds (parsed, numFrames);
}

juce::Image load (const void* png, size_t size, int numFrames)
{
    if (png == nullptr || size == 0)
        return {};

    ParsedPng parsed;
    if (parse (static_cast<const std::uint8_t*> (png), size, parsed) && indexHolds (parsed, numFrames))
        return juce::Image (*new LazyStripData (std::move (parsed), png, size));

    return juce::ImageFileFormat::loadFrom (png, size);
}

void setDecodedFrameBudget (size_t bytes) { FrameCache::get().setBudget (bytes); }
size_t getDecodedFrameBudget() { return FrameCache::get().getBudget(); }
size_t getDecodedFrameBytes() { return FrameCache::get().getTotal(); }
int getFrameDecodeCount() { return FrameCache::get().decodes.load(); }
void releaseDecodedFrames() { FrameCache::get().clear(); }
} // namespace Filmstrips
