// PNG encoding of raster images: paletted at the smallest bit depth that
// holds the image's colours (a two-colour barcode becomes a 1-bit image),
// 24-bit RGB beyond 256 colours.
#include "platform/graphics_internal.h"
#include "platform/sysutils.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <utility>

namespace gfx {
namespace {

// Maps the colours of an image to palette indices, giving up past 256.
class PaletteBuilder {
public:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF; // pixels are masked to 24 bits

    PaletteBuilder() { slots_.fill(kEmpty); }

    /// The index of `rgb`, or -1 when the image has too many colours.
    int IndexOf(std::uint32_t rgb)
    {
        std::uint32_t h = (rgb * 2654435761u) >> (32 - kBits);
        while (slots_[h] != kEmpty) {
            if (slots_[h] == rgb)
                return indices_[h];
            h = (h + 1) & (kSlots - 1);
        }
        if (colors.size() == 256)
            return -1;
        slots_[h] = rgb;
        indices_[h] = static_cast<std::uint8_t>(colors.size());
        colors.push_back(rgb);
        return indices_[h];
    }

    std::vector<std::uint32_t> colors;

private:
    static constexpr int kBits = 10;
    static constexpr std::uint32_t kSlots = 1u << kBits;
    std::array<std::uint32_t, kSlots> slots_;
    std::array<std::uint8_t, kSlots> indices_{};
};

void PutBE32(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBE32(out, static_cast<std::uint32_t>(data.size()));
    std::size_t start = out.size();
    out.append(type, 4);
    out += data;
    auto crc =
        crc32(0, reinterpret_cast<const Bytef*>(out.data() + start), static_cast<uInt>(out.size() - start));
    PutBE32(out, static_cast<std::uint32_t>(crc));
}

// Palette indices while the image has at most two colours (a barcode):
// each row is mapped without a data-dependent branch, and only a row with
// a colour other than the two known ones is looked at again. Returns false,
// with the palette seeded, at the first third colour.
bool MapTwoColors(const PixelBuffer& image, PaletteBuilder& palette, std::vector<std::uint8_t>& indices)
{
    const std::uint32_t first = image.Row(0)[0] & 0xFFFFFF;
    std::uint32_t second = PaletteBuilder::kEmpty;
    palette.IndexOf(first);
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* row = image.Row(y);
        std::uint8_t* out = &indices[std::size_t(y) * image.width];
        unsigned other = 0;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t rgb = row[x] & 0xFFFFFF;
            out[x] = rgb != first;
            other |= unsigned(rgb != first) & unsigned(rgb != second);
        }
        if (!other)
            continue;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t rgb = row[x] & 0xFFFFFF;
            if (rgb != first && rgb != second) {
                if (second != PaletteBuilder::kEmpty)
                    return false;
                second = rgb;
                palette.IndexOf(second);
            }
        }
    }
    return true;
}

// Palette indices for any image; false past 256 colours.
bool MapColors(const PixelBuffer& image, PaletteBuilder& palette, std::vector<std::uint8_t>& indices)
{
    // The two most recent colours are checked before the table.
    std::uint32_t recent = PaletteBuilder::kEmpty, before = PaletteBuilder::kEmpty;
    int recentIndex = 0, beforeIndex = 0;
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* row = image.Row(y);
        std::uint8_t* out = &indices[std::size_t(y) * image.width];
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t rgb = row[x] & 0xFFFFFF;
            if (rgb != recent) {
                if (rgb == before) {
                    std::swap(recent, before);
                    std::swap(recentIndex, beforeIndex);
                } else {
                    int index = palette.IndexOf(rgb);
                    if (index < 0)
                        return false;
                    before = recent, beforeIndex = recentIndex;
                    recent = rgb, recentIndex = index;
                }
            }
            out[x] = static_cast<std::uint8_t>(recentIndex);
        }
    }
    return true;
}

// Packs indices of `Depth` bits, the first in the most significant bits.
template <int Depth>
void PackRow(const std::uint8_t* src, int width, unsigned char* out)
{
    constexpr int perByte = 8 / Depth;
    int x = 0;
    for (; x + perByte <= width; x += perByte) {
        unsigned byte = 0;
        for (int k = 0; k < perByte; ++k)
            byte |= unsigned(src[x + k]) << (8 - Depth * (k + 1));
        *out++ = static_cast<unsigned char>(byte);
    }
    if (x < width) {
        unsigned byte = 0;
        for (int k = 0; x + k < width; ++k)
            byte |= unsigned(src[x + k]) << (8 - Depth * (k + 1));
        *out = static_cast<unsigned char>(byte);
    }
}

// Row bytes with a leading filter byte each; paletted rows are packed most
// significant bit first.
std::string PalettedRows(const std::vector<std::uint8_t>& indices, int width, int height, int depth)
{
    std::size_t rowBytes = (std::size_t(width) * depth + 7) / 8;
    std::string raw((rowBytes + 1) * height, '\0');
    for (int y = 0; y < height; ++y) {
        unsigned char* row = reinterpret_cast<unsigned char*>(&raw[(rowBytes + 1) * y + 1]);
        const std::uint8_t* src = &indices[std::size_t(y) * width];
        switch (depth) {
        case 1: PackRow<1>(src, width, row); break;
        case 2: PackRow<2>(src, width, row); break;
        case 4: PackRow<4>(src, width, row); break;
        default: std::copy(src, src + width, row);
        }
    }
    return raw;
}

// 24-bit rows with the "Sub" filter, which suits flat colour areas.
std::string RgbRows(const PixelBuffer& image)
{
    std::size_t rowBytes = std::size_t(image.width) * 3;
    std::string raw((rowBytes + 1) * image.height, '\0');
    for (int y = 0; y < image.height; ++y) {
        unsigned char* row = reinterpret_cast<unsigned char*>(&raw[(rowBytes + 1) * y]);
        row[0] = 1;
        unsigned prev[3] = {0, 0, 0};
        const std::uint32_t* src = image.Row(y);
        for (int x = 0; x < image.width; ++x) {
            unsigned rgb[3] = {src[x] >> 16 & 0xFF, src[x] >> 8 & 0xFF, src[x] & 0xFF};
            for (int c = 0; c < 3; ++c) {
                row[1 + 3 * x + c] = static_cast<unsigned char>(rgb[c] - prev[c]);
                prev[c] = rgb[c];
            }
        }
    }
    return raw;
}

// One compressor per thread, reset between images: setting up a deflate
// stream costs far more than compressing a small barcode.
class Deflater {
public:
    // Level 3 writes files about a tenth larger than the default level, in a
    // third of the time, on images with anti-aliased text.
    static constexpr int kLevel = 3;

    Deflater()
    {
        if (deflateInit(&stream_, kLevel) != Z_OK)
            throw Exception("PNG compression failed");
    }
    ~Deflater() { deflateEnd(&stream_); }

    std::string Compress(const std::string& raw)
    {
        deflateReset(&stream_);
        std::string out(deflateBound(&stream_, static_cast<uLong>(raw.size())), '\0');
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
        stream_.avail_in = static_cast<uInt>(raw.size());
        stream_.next_out = reinterpret_cast<Bytef*>(out.data());
        stream_.avail_out = static_cast<uInt>(out.size());
        if (deflate(&stream_, Z_FINISH) != Z_STREAM_END)
            throw Exception("PNG compression failed");
        out.resize(stream_.total_out);
        return out;
    }

private:
    z_stream stream_{};
};

std::string Deflate(const std::string& raw)
{
    thread_local Deflater deflater;
    return deflater.Compress(raw);
}

} // namespace

std::string EncodePng(const PixelBuffer& image)
{
    if (image.width <= 0 || image.height <= 0)
        throw Exception("Cannot encode an empty image as PNG");
    PaletteBuilder palette;
    std::vector<std::uint8_t> indices(std::size_t(image.width) * image.height);
    bool paletted = MapTwoColors(image, palette, indices) || MapColors(image, palette, indices);

    std::size_t n = palette.colors.size();
    int depth = !paletted ? 8 : n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    std::string header;
    PutBE32(header, static_cast<std::uint32_t>(image.width));
    PutBE32(header, static_cast<std::uint32_t>(image.height));
    header += static_cast<char>(depth);
    header += static_cast<char>(paletted ? 3 : 2); // colour type: palette or RGB
    header.append(3, '\0');                         // deflate, adaptive filters, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    if (paletted) {
        std::string plte;
        for (std::uint32_t c : palette.colors) {
            plte += static_cast<char>(c >> 16);
            plte += static_cast<char>(c >> 8);
            plte += static_cast<char>(c);
        }
        PutChunk(png, "PLTE", plte);
        PutChunk(png, "IDAT", Deflate(PalettedRows(indices, image.width, image.height, depth)));
    } else {
        PutChunk(png, "IDAT", Deflate(RgbRows(image)));
    }
    PutChunk(png, "IEND", "");
    return png;
}

} // namespace gfx
