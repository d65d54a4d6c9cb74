// What we draw, an independent reader decodes to the data we meant.
#include "qbarcode/qbarcode.h"
#include "support/reader.h"

#include <gtest/gtest.h>

namespace {

struct Sample {
    TBarType type;
    const char* text;
    TCheckSum cs;
    const char* format; // as the reader names it
    const char* decoded;
};

// Expected values are the numbers printed on real symbols or worked by hand.
const Sample kSamples[] = {
    {bcCodeEAN8, "9638507", csModulo10, "EAN-8", "96385074"},
    {bcCodeEAN8, "12345670", csModulo10, "EAN-8", "12345670"},
    {bcCodeEAN13, "590123412345", csModulo10, "EAN-13", "5901234123457"},
    {bcCodeEAN13, "4006381333931", csNone, "EAN-13", "4006381333931"},
    {bcCodeUPC_A, "036000291452", csModulo10, "UPC-A", "036000291452"},
    {bcCodeUPC_A, "03600029145", csModulo10, "UPC-A", "003600029143"},
    {bcCodeUPC_E0, "0123456", csModulo10, "UPC-E", "00123457"},
    {bcCodeUPC_E0, "4252610", csModulo10, "UPC-E", "04252614"},
    {bcCodeUPC_E0, "1234530", csModulo10, "UPC-E", "01234531"},
    {bcCodeUPC_E0, "1234540", csModulo10, "UPC-E", "01234543"},
    {bcCodeUPC_E1, "4252610", csModulo10, "UPC-E", "14252611"},
    {bcCodeUPC_E1, "0123456", csModulo10, "UPC-E", "10123454"},
    {bcCode39, "CODE 39-$/+%.", csNone, "Code39", "CODE 39-$/+%."},
    {bcCode39, "ABC", csModulo10, "Code39", "ABCX"}, // 10 + 11 + 12 = 33: 'X'
    {bcCode39Extended, "Hello, world!", csNone, "Code39", "Hello, world!"},
    {bcCode93, "TEST93", csNone, "Code93", "TEST93"},
    {bcCode93, "CODE 93-$/+%.", csNone, "Code93", "CODE 93-$/+%."},
    {bcCode93Extended, "Hello, World!", csNone, "Code93", "Hello, World!"},
    {bcCode128A, "ABC-123 XYZ", csNone, "Code128", "ABC-123 XYZ"},
    {bcCode128B, "Hello, World!", csNone, "Code128", "Hello, World!"},
    {bcCode128C, "12345678", csNone, "Code128", "12345678"},
    {bcCode128C, "12345", csNone, "Code128", "012345"},
    {bcCodeEAN128A, "ABC123", csNone, "Code128", "ABC123"},
    {bcCodeEAN128B, "0101234567890128", csNone, "Code128", "0101234567890128"},
    {bcCodeEAN128C, "0101234567890128", csNone, "Code128", "0101234567890128"},
    {bcCodeEAN128C, "1234", csModulo10, "Code128", "012348"},
    {bcCode_2_5_interleaved, "12345670", csNone, "ITF", "12345670"},
    {bcCode_2_5_interleaved, "1234567", csNone, "ITF", "01234567"},
    {bcCodeCodabar, "123456", csNone, "Codabar", "123456"},
    {bcCodeCodabar, "40156-$:/.+", csNone, "Codabar", "40156-$:/.+"},
};

TEST(RoundTrip, ReaderDecodesWhatWeDraw)
{
    for (const Sample& s : kSamples) {
        for (int modul : {2, 3}) {
            for (double angle : {0.0, 90.0, 180.0, 270.0}) {
                SCOPED_TRACE(testing::Message() << BCData[s.type].Name << " '" << s.text << "' module " << modul
                                                << " angle " << angle);
                const double ratio = s.type == bcCode_2_5_interleaved ? 2.5 : 2.0;
                const int w = Q_GetBarWidth(s.type, s.text, modul, ratio, s.cs);
                const int h = 40 * modul, quiet = 10 * modul;
                const bool upright = angle == 0.0 || angle == 180.0;
                TBitmap bmp((upright ? w : h + 1) + 2 * quiet, (upright ? h + 1 : w) + 2 * quiet);
                Q_DrawBar(bmp.Canvas(), s.type, s.text, modul, ratio, s.cs, quiet, quiet, h, nullptr, tsNone,
                          tpTopLeft, clBlack, clWhite, clWhite, angle);
                const testsupport::Decoded d = testsupport::ReadLinear(bmp, s.type == bcCode39Extended);
                ASSERT_TRUE(d.found);
                EXPECT_EQ(d.format, s.format);
                EXPECT_EQ(d.text, s.decoded);
            }
        }
    }
}

} // namespace
