// PNG encoding of raster images: paletted at the smallest bit depth that
// holds the image's colours (a two-colour barcode becomes a 1-bit image),
// 24-bit RGB beyond 256 colours.
#include "raster/png.h"
#include "qbarcode/sysutils.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <utility>

namespace qb {

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
    auto crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + start), static_cast<uInt>(out.size() - start));
    PutBE32(out, static_cast<std::uint32_t>(crc));
}

constexpr unsigned char kFilterNone = 0, kFilterSub = 1;

// Which rows repeat the row above them. A barcode is mostly such rows: they
// are neither mapped nor packed but copied from the row written before,
// filter byte included, which deflate reduces to a match of the row above.
// (The "Up" filter's rows of zeros compress as well, but cost a literal and
// a run each time a run of equal rows starts: files come out larger.)
void RepeatedRows(const PixelBuffer& image, std::vector<std::uint8_t>& repeated)
{
    repeated.assign(image.height, 0);
    const std::size_t rowBytes = sizeof(std::uint32_t) * image.width;
    for (int y = 1; y < image.height; ++y)
        repeated[y] = std::memcmp(image.Row(y), image.Row(y - 1), rowBytes) == 0;
}

// Eight 0/1 bytes, the first at the lowest address, as one byte with the
// first in the most significant bit: the multiplication moves byte i's low
// bit to bit 63 - i, and no two partial products share a bit.
unsigned char PackFlags(const std::uint8_t* flags)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t v;
        std::memcpy(&v, flags, 8);
        return static_cast<unsigned char>((v * 0x8040201008040201ull) >> 56);
    } else {
        unsigned byte = 0;
        for (int k = 0; k < 8; ++k)
            byte |= unsigned(flags[k]) << (7 - k);
        return static_cast<unsigned char>(byte);
    }
}

// 1-bit rows, when the image has at most two colours (a barcode): the first
// pixel's colour is index 0, the other index 1. Each row is compared with
// the first colour in one branch-free pass (which vectorises) and packed
// eight pixels at a time; only a row with a colour other than the two known
// ones is looked at again. False, at the first third colour, otherwise.
bool TwoColorRows(const PixelBuffer& image, const std::vector<std::uint8_t>& repeated,
                  std::vector<std::uint32_t>& colors, std::vector<std::uint8_t>& flags, std::string& raw)
{
    const std::uint32_t first = image.Row(0)[0] & 0xFFFFFF;
    std::uint32_t second = PaletteBuilder::kEmpty;
    const std::size_t rowBytes = (std::size_t(image.width) + 7) / 8;
    raw.assign((rowBytes + 1) * image.height, '\0');
    flags.assign(rowBytes * 8, 0); // the padding past the last pixel stays 0
    for (int y = 0; y < image.height; ++y) {
        unsigned char* out = reinterpret_cast<unsigned char*>(&raw[(rowBytes + 1) * y]);
        if (repeated[y]) {
            std::memcpy(out, out - (rowBytes + 1), rowBytes + 1);
            continue;
        }
        out[0] = kFilterNone;
        // Locals only: a byte store may alias anything, which would keep the
        // loop from being vectorised.
        const std::uint32_t* row = image.Row(y);
        std::uint8_t* flag = flags.data();
        const int width = image.width;
        unsigned other = 0;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = row[x] & 0xFFFFFF;
            flag[x] = rgb != first;
            other |= unsigned(rgb != first) & unsigned(rgb != second);
        }
        for (std::size_t k = 0; k < rowBytes; ++k)
            out[1 + k] = PackFlags(flag + 8 * k);
        if (!other)
            continue;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t rgb = row[x] & 0xFFFFFF;
            if (rgb != first && rgb != second) {
                if (second != PaletteBuilder::kEmpty)
                    return false;
                second = rgb;
            }
        }
    }
    colors.assign({first});
    if (second != PaletteBuilder::kEmpty)
        colors.push_back(second);
    return true;
}

// Palette indices for any image; false past 256 colours.
bool MapColors(const PixelBuffer& image, const std::vector<std::uint8_t>& repeated, PaletteBuilder& palette,
               std::vector<std::uint8_t>& indices)
{
    // The two most recent colours are checked before the table.
    std::uint32_t recent = PaletteBuilder::kEmpty, before = PaletteBuilder::kEmpty;
    int recentIndex = 0, beforeIndex = 0;
    for (int y = 0; y < image.height; ++y) {
        if (repeated[y])
            continue;
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
template <int Depth> void PackRow(const std::uint8_t* src, int width, unsigned char* out)
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
void PalettedRows(const std::vector<std::uint8_t>& indices, const std::vector<std::uint8_t>& repeated, int width,
                  int height, int depth, std::string& raw)
{
    const std::size_t rowBytes = (std::size_t(width) * depth + 7) / 8;
    raw.assign((rowBytes + 1) * height, '\0');
    for (int y = 0; y < height; ++y) {
        unsigned char* row = reinterpret_cast<unsigned char*>(&raw[(rowBytes + 1) * y]);
        if (repeated[y]) {
            std::memcpy(row, row - (rowBytes + 1), rowBytes + 1);
            continue;
        }
        row[0] = kFilterNone;
        const std::uint8_t* src = &indices[std::size_t(y) * width];
        switch (depth) {
        case 1:
            PackRow<1>(src, width, row + 1);
            break;
        case 2:
            PackRow<2>(src, width, row + 1);
            break;
        case 4:
            PackRow<4>(src, width, row + 1);
            break;
        default:
            std::copy(src, src + width, row + 1);
        }
    }
}

// 24-bit rows with the "Sub" filter, which suits flat colour areas.
void RgbRows(const PixelBuffer& image, const std::vector<std::uint8_t>& repeated, std::string& raw)
{
    const std::size_t rowBytes = std::size_t(image.width) * 3;
    raw.assign((rowBytes + 1) * image.height, '\0');
    for (int y = 0; y < image.height; ++y) {
        unsigned char* row = reinterpret_cast<unsigned char*>(&raw[(rowBytes + 1) * y]);
        if (repeated[y]) {
            std::memcpy(row, row - (rowBytes + 1), rowBytes + 1);
            continue;
        }
        row[0] = kFilterSub;
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
}

// One compressor per thread, reset between images: setting up a deflate
// stream costs far more than compressing a small barcode.
class Deflater {
public:
    /// `memLevel` sizes the match-finding tables, which each image clears.
    explicit Deflater(int memLevel)
    {
        if (deflateInit2(&stream_, kLevel, Z_DEFLATED, 15, memLevel, Z_DEFAULT_STRATEGY) != Z_OK)
            throw Exception("PNG compression failed");
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() { deflateEnd(&stream_); }

    /// Appends `raw`, compressed, to `out`.
    void Compress(const std::string& raw, std::string& out)
    {
        deflateReset(&stream_);
        const std::size_t start = out.size();
        out.resize(start + deflateBound(&stream_, static_cast<uLong>(raw.size())));
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
        stream_.avail_in = static_cast<uInt>(raw.size());
        stream_.next_out = reinterpret_cast<Bytef*>(out.data() + start);
        stream_.avail_out = static_cast<uInt>(out.size() - start);
        if (deflate(&stream_, Z_FINISH) != Z_STREAM_END)
            throw Exception("PNG compression failed");
        out.resize(start + stream_.total_out);
    }

private:
    // Level 3 writes files about a tenth larger than the default level, in a
    // third of the time, on images with anti-aliased text.
    static constexpr int kLevel = 3;
    z_stream stream_{};
};

// A small two-colour image (a barcode's 1-bit rows) is compressed by
// libdeflate's fastest level, in about half zlib's time and at nearly the
// same size (barcodes come out 1 to 2% larger). Images with more colours,
// and larger ones, compress far better with zlib's lazy matching: the fast
// levels of libdeflate write them up to three times larger.
class QuickDeflater {
public:
    QuickDeflater() : compressor_(libdeflate_alloc_compressor(1))
    {
        if (!compressor_)
            throw Exception("PNG compression failed");
    }
    QuickDeflater(const QuickDeflater&) = delete;
    QuickDeflater& operator=(const QuickDeflater&) = delete;
    ~QuickDeflater() { libdeflate_free_compressor(compressor_); }

    /// Appends `raw`, compressed as a zlib stream, to `out`.
    void Compress(const std::string& raw, std::string& out)
    {
        const std::size_t start = out.size();
        out.resize(start + libdeflate_zlib_compress_bound(compressor_, raw.size()));
        const std::size_t n =
            libdeflate_zlib_compress(compressor_, raw.data(), raw.size(), out.data() + start, out.size() - start);
        if (n == 0)
            throw Exception("PNG compression failed");
        out.resize(start + n);
    }

private:
    libdeflate_compressor* compressor_;
};

// A chunk whose data is written by `fill`, appending to `out`.
template <class Fill> void PutChunkWith(std::string& out, const char* type, Fill fill)
{
    const std::size_t lengthAt = out.size();
    PutBE32(out, 0);
    out.append(type, 4);
    fill(out);
    const auto length = static_cast<std::uint32_t>(out.size() - lengthAt - 8);
    for (int i = 0; i < 4; ++i)
        out[lengthAt + i] = static_cast<char>(length >> (24 - 8 * i));
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + lengthAt + 4), length + 4);
    PutBE32(out, static_cast<std::uint32_t>(crc));
}

// Buffers reused between images of one thread.
struct Scratch {
    std::string raw;
    std::vector<std::uint8_t> indices, repeated, flags;
    // Clearing zlib's default tables (64 KB) costs more than compressing a
    // barcode; small images get small tables, which compress them as well.
    static constexpr std::size_t kSmall = 16 << 10;
    Deflater small{4};
    std::optional<Deflater> large;
    std::optional<QuickDeflater> quick;

    /// Compresses `raw` rows of `depth` bits per pixel into `out`.
    void Compress(int depth, std::string& out)
    {
        if (depth == 1 && raw.size() <= kSmall) {
            if (!quick)
                quick.emplace();
            quick->Compress(raw, out);
        } else {
            DeflaterFor(raw.size()).Compress(raw, out);
        }
    }

    Deflater& DeflaterFor(std::size_t size)
    {
        if (size <= kSmall)
            return small;
        if (!large)
            large.emplace(8);
        return *large;
    }
};

} // namespace

std::string EncodePng(const PixelBuffer& image)
{
    if (image.width <= 0 || image.height <= 0)
        throw Exception("Cannot encode an empty image as PNG");
    thread_local Scratch scratch;
    std::vector<std::uint8_t>& repeated = scratch.repeated;
    RepeatedRows(image, repeated);
    std::vector<std::uint32_t> colors;
    int depth = 1;
    bool paletted = TwoColorRows(image, repeated, colors, scratch.flags, scratch.raw);
    if (!paletted) {
        PaletteBuilder palette;
        scratch.indices.resize(std::size_t(image.width) * image.height);
        paletted = MapColors(image, repeated, palette, scratch.indices);
        colors = std::move(palette.colors);
        const std::size_t n = colors.size();
        depth = !paletted ? 8 : n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
        if (paletted)
            PalettedRows(scratch.indices, repeated, image.width, image.height, depth, scratch.raw);
        else
            RgbRows(image, repeated, scratch.raw);
    }

    std::string header;
    PutBE32(header, static_cast<std::uint32_t>(image.width));
    PutBE32(header, static_cast<std::uint32_t>(image.height));
    header += static_cast<char>(depth);
    header += static_cast<char>(paletted ? 3 : 2); // colour type: palette or RGB
    header.append(3, '\0');                        // deflate, adaptive filters, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    png.reserve(64 + 3 * colors.size() + deflateBound(nullptr, static_cast<uLong>(scratch.raw.size())));
    PutChunk(png, "IHDR", header);
    if (paletted) {
        std::string plte;
        for (std::uint32_t c : colors) {
            plte += static_cast<char>(c >> 16);
            plte += static_cast<char>(c >> 8);
            plte += static_cast<char>(c);
        }
        PutChunk(png, "PLTE", plte);
    }
    PutChunkWith(png, "IDAT", [&](std::string& out) { scratch.Compress(depth, out); });
    PutChunk(png, "IEND", "");
    // A huge image's buffers are not kept for the next one.
    constexpr std::size_t kKeep = 4 << 20;
    if (scratch.raw.capacity() > kKeep)
        std::string().swap(scratch.raw);
    if (scratch.indices.capacity() > kKeep)
        std::vector<std::uint8_t>().swap(scratch.indices);
    return png;
}

} // namespace gfx

} // namespace qb
