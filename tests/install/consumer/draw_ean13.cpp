// Draws an EAN-13 symbol with the core's drawing routine into a PNG file,
// written against the component API's names (qbarcode/global_names.h).
#include "qbarcode/global_names.h"
#include "qbarcode/qbarcode.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    try {
        const int width = Q_GetBarWidth(bcCodeEAN13, "590123412345", 2, 2.0, csModulo10);
        qb::TBitmap bitmap(width + 40, 100);
        qb::TFont font;
        Q_DrawBar(bitmap.Canvas(), bcCodeEAN13, "590123412345", 2, 2.0, csModulo10, 20, 10, 60, &font, tsBarCode,
                  tpBottomCenter, qb::clBlack, qb::clWhite, qb::clWhite, 0.0);
        bitmap.SaveToFile(argv[1]);
    } catch (const qb::Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }
    return 0;
}
