// The package's resources: the palette bitmaps, the package icon, the
// description and the version block. All are constant data built when
// compiling, so loading the package runs no code of ours.
#include "qbarcode/package.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace qb {

#define QB_STRING2(x) #x
#define QB_STRING(x) QB_STRING2(x)

using namespace std::string_view_literals;

namespace {

constexpr int kSide = 24;
using Art = std::array<std::string_view, kSide>;

// One character per pixel, top row first. '.' is the palette's button face,
// the rest name the colours of kColours.
constexpr Art kBarCodeArt = {
    "........................", //
    "........................", //
    ".wwwwwwwwwwwwwwwwwwwwww.", //
    ".wwwwwwwwwwwwwwwwwwwwww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwwwwwwwwwwwwwwwwwwwww.", //
    ".wwwgwgwgwwwgwgwgwwgwww.", //
    ".wwwgwgwgwwwgwgwgwwgwww.", //
    ".wwwwwwwwwwwwwwwwwwwwww.", //
    ".wwwwwwwwwwwwwwwwwwwwww.", //
    "........................", //
};

// The same bars, shorter, over a database drum.
constexpr Art kDBBarCodeArt = {
    "........................", //
    ".wwwwwwwwwwwwwwwwwwwwww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwkwkkwkwwkkwkwkkkwkww.", //
    ".wwwwwwwwwwwwwwwwwwwwww.", //
    "........................", //
    "........................", //
    "........oooooooo........", //
    "......oo yyyyyy oo......", //
    ".....oyyyyyyyyyyyyo.....", //
    ".....ooyyyyyyyyyyoo.....", //
    ".....o oooooooooo o.....", //
    ".....oyyyyyyyyyyyyo.....", //
    ".....ooyyyyyyyyyyoo.....", //
    ".....o oooooooooo o.....", //
    ".....oyyyyyyyyyyyyo.....", //
    "......ooyyyyyyyyoo......", //
    "........oooooooo........", //
    "........................", //
};

struct Colour {
    char key;
    std::uint8_t r, g, b;
};
constexpr Colour kColours[] = {
    {'.', 0xC0, 0xC0, 0xC0}, // button face
    {'w', 0xFF, 0xFF, 0xFF}, // label
    {'k', 0x00, 0x00, 0x00}, // bars
    {'g', 0x80, 0x80, 0x80}, // caption
    {'o', 0x80, 0x80, 0x00}, // drum outline
    {'y', 0xFF, 0xFF, 0x00}, // drum
    {' ', 0xFF, 0xFF, 0xC0}, // drum highlight
};

constexpr std::uint8_t IndexOf(char c)
{
    for (std::uint8_t i = 0; i < std::size(kColours); ++i)
        if (kColours[i].key == c)
            return i;
    throw "a pixel names no colour"; // stops compilation
}

constexpr bool ArtIsSquare(const Art& art)
{
    for (std::string_view row : art)
        if (row.size() != kSide)
            return false;
    return true;
}
static_assert(ArtIsSquare(kBarCodeArt) && ArtIsSquare(kDBBarCodeArt));

constexpr std::size_t kInfoHeader = 40;
constexpr std::size_t kColourTable = 256 * 4;
constexpr std::size_t kPixels = kSide * kSide; // rows of 24 bytes need no padding
constexpr std::size_t kDibSize = kInfoHeader + kColourTable + kPixels;

template <std::size_t N> constexpr void Put32(std::array<unsigned char, N>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
template <std::size_t N> constexpr void Put16(std::array<unsigned char, N>& out, std::size_t at, std::uint32_t v)
{
    out[at] = static_cast<unsigned char>(v);
    out[at + 1] = static_cast<unsigned char>(v >> 8);
}

// An 8-bit device-independent bitmap: info header, 256-colour table, rows
// bottom-up. heightFactor 2 gives the doubled height an icon's image carries
// (its colour rows followed by the mask rows).
template <std::size_t N>
constexpr void WriteDib(std::array<unsigned char, N>& out, std::size_t at, const Art& art, int heightFactor)
{
    Put32(out, at + 0, kInfoHeader);
    Put32(out, at + 4, kSide);
    Put32(out, at + 8, kSide * heightFactor);
    Put16(out, at + 12, 1); // planes
    Put16(out, at + 14, 8); // bits per pixel
    Put32(out, at + 20, kPixels);
    Put32(out, at + 24, 2835); // 72 dpi
    Put32(out, at + 28, 2835);
    for (std::size_t i = 0; i < std::size(kColours); ++i) {
        const std::size_t entry = at + kInfoHeader + 4 * i;
        out[entry] = kColours[i].b;
        out[entry + 1] = kColours[i].g;
        out[entry + 2] = kColours[i].r;
    }
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            out[at + kInfoHeader + kColourTable + (kSide - 1 - y) * kSide + x] = IndexOf(art[y][x]);
}

constexpr std::array<unsigned char, kDibSize> MakeBitmap(const Art& art)
{
    std::array<unsigned char, kDibSize> out{};
    WriteDib(out, 0, art, 1);
    return out;
}

// An icon file of one 24 x 24 image; the all-zero mask keeps every pixel.
constexpr std::size_t kMaskRow = 4; // 24 bits padded to 32
constexpr std::size_t kIconSize = 6 + 16 + kDibSize + kMaskRow * kSide;
constexpr std::array<unsigned char, kIconSize> MakeIcon(const Art& art)
{
    std::array<unsigned char, kIconSize> out{};
    Put16(out, 2, 1); // type: icon
    Put16(out, 4, 1); // one image
    out[6] = kSide;
    out[7] = kSide;
    Put16(out, 10, 1); // planes
    Put16(out, 12, 8); // bits per pixel
    Put32(out, 14, kDibSize + kMaskRow * kSide);
    Put32(out, 18, 22);
    WriteDib(out, 22, art, 2);
    return out;
}

// The version block: "QBVERSION" and NUL, four 16-bit numbers, then texts.
constexpr std::string_view kVersionTexts =
    "ProductName=qbarcode\0"
    "FileDescription=qbarcode component package " QB_STRING(QB_PACKAGE) "\0"
                                                                        "LegalCopyright=the qbarcode developers\0"sv;
constexpr std::array<unsigned char, 10 + 8 + kVersionTexts.size()> MakeVersion()
{
    std::array<unsigned char, 10 + 8 + kVersionTexts.size()> out{};
    constexpr std::string_view signature = "QBVERSION";
    for (std::size_t i = 0; i < signature.size(); ++i)
        out[i] = static_cast<unsigned char>(signature[i]);
    const unsigned numbers[] = {QB_VERSION_MAJOR, QB_VERSION_MINOR, QB_VERSION_PATCH, 0};
    for (int i = 0; i < 4; ++i)
        Put16(out, 10 + 2 * i, numbers[i]);
    for (std::size_t i = 0; i < kVersionTexts.size(); ++i)
        out[18 + i] = static_cast<unsigned char>(kVersionTexts[i]);
    return out;
}

constexpr auto kBarCodeBitmap = MakeBitmap(kBarCodeArt);
constexpr auto kDBBarCodeBitmap = MakeBitmap(kDBBarCodeArt);
constexpr auto kIcon = MakeIcon(kBarCodeArt);
constexpr auto kVersion = MakeVersion();
template <std::size_t N> constexpr std::array<unsigned char, N - 1> Bytes(const char (&text)[N])
{
    std::array<unsigned char, N - 1> out{};
    for (std::size_t i = 0; i + 1 < N; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    return out;
}
constexpr auto kDescription = Bytes("qbarcode");

const TResourceInfo kResources[] = {
    {"TBARCODE", "BITMAP", kBarCodeBitmap.data(), kBarCodeBitmap.size()},
    {"TDBBARCODE", "BITMAP", kDBBarCodeBitmap.data(), kDBBarCodeBitmap.size()},
    {"PACKAGEICON", "ICON", kIcon.data(), kIcon.size()},
    {"DESCRIPTION", "RCDATA", kDescription.data(), kDescription.size()},
    {"1", "VERSION", kVersion.data(), kVersion.size()},
};
const TResourceTable kResourceTable = {static_cast<int>(std::size(kResources)), kResources};

} // namespace

const TResourceTable* GetPackageResources()
{
    return &kResourceTable;
}

} // namespace qb
