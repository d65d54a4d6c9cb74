// Reading bitmaps and version blocks: what a package's resources hold, and
// data that does not hold what it claims.
#include "qbarcode/packages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace qb;

namespace {

using Bytes = std::vector<unsigned char>;

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A 2 x 2 8-bit bitmap with two colours, stored bottom-up: red row over a
// blue-and-red row.
Bytes SmallDib()
{
    Bytes b(40 + 2 * 4 + 2 * 4, 0);
    Put32(b, 0, 40);
    Put32(b, 4, 2);
    Put32(b, 8, 2);
    b[12] = 1;                                             // planes
    b[14] = 8;                                             // bits
    Put32(b, 32, 2);                                       // colours used
    b[40] = 0xFF;                                          // colour 0: blue (B, G, R, 0)
    b[46] = 0xFF;                                          // colour 1: red
    const unsigned char rows[] = {0, 1, 0, 0, 1, 1, 0, 0}; // bottom row, then top row
    std::copy(std::begin(rows), std::end(rows), b.begin() + 48);
    return b;
}

TEST(ReadDib, ReadsRowsBottomUpThroughTheColourTable)
{
    const Bytes b = SmallDib();
    TDibImage image = ReadDib(b.data(), b.size());
    EXPECT_EQ(image.Width, 2);
    EXPECT_EQ(image.Height, 2);
    EXPECT_EQ(image.Pixels, (std::vector<std::uint32_t>{0xFF0000, 0xFF0000, 0x0000FF, 0xFF0000}));
}

TEST(ReadDib, RefusesWhatItCannotRead)
{
    struct Case {
        const char* what;
        void (*spoil)(Bytes&);
        const char* message;
    };
    const Case cases[] = {
        {"truncated pixels", [](Bytes& b) { b.resize(b.size() - 1); },
         "Invalid bitmap: the data is shorter than its header says"},
        {"no header", [](Bytes& b) { b.resize(20); }, "Invalid bitmap: no bitmap header"},
        {"24 bits", [](Bytes& b) { b[14] = 24; }, "Invalid bitmap: only uncompressed 8-bit bitmaps are read"},
        {"compressed", [](Bytes& b) { b[16] = 1; }, "Invalid bitmap: only uncompressed 8-bit bitmaps are read"},
        {"zero width", [](Bytes& b) { Put32(b, 4, 0); }, "Invalid bitmap: bad size"},
        {"huge height", [](Bytes& b) { Put32(b, 8, 0x7FFFFFFF); }, "Invalid bitmap: bad size"},
        {"colour outside the table", [](Bytes& b) { b[48] = 7; },
         "Invalid bitmap: a pixel names a colour the table lacks"},
        {"header longer than the data", [](Bytes& b) { Put32(b, 0, 4000); }, "Invalid bitmap: no bitmap header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = SmallDib();
        c.spoil(b);
        try {
            ReadDib(b.data(), b.size());
            ADD_FAILURE() << "read";
        } catch (const EPackageError& e) {
            EXPECT_EQ(e.Message, c.message);
        }
    }
}

TEST(ParseVersionBlock, ReadsNumbersAndTextsAndRefusesBrokenBlocks)
{
    const std::string good("QBVERSION\0\1\0\2\0\3\0\4\0ProductName=qbarcode\0Other=x\0", 47);
    TVersionInfo v = ParseVersionBlock(reinterpret_cast<const unsigned char*>(good.data()), good.size());
    EXPECT_EQ((std::vector<int>{v.Major, v.Minor, v.Release, v.Build}), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(v.ProductName, "qbarcode");

    for (const std::string& bad : {std::string("QBVERSION\0\1\0", 12), std::string("XBVERSION\0\1\0\2\0\3\0\4\0", 18),
                                   std::string("QBVERSION\0\1\0\2\0\3\0\4\0ProductName", 29),
                                   std::string("QBVERSION\0\1\0\2\0\3\0\4\0NoEquals\0", 27)}) {
        SCOPED_TRACE(bad.size());
        EXPECT_THROW(ParseVersionBlock(reinterpret_cast<const unsigned char*>(bad.data()), bad.size()), EPackageError);
    }
}

} // namespace
