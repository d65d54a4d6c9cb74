// Draws a Code 128 barcode through the barcode control into a PNG file; built
// with the flags pkg-config gives for an installed qbarcode.
#include "qbarcode/pbarcode.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    try {
        qb::TBarCode bar(nullptr);
        bar.SetBounds(0, 0, 480, 100); // centred, with room for the quiet zones
        bar.SetBarType(qb::bcCode128B);
        bar.SetBarCode("pkg-config 42");
        bar.SetModul(2);
        bar.Image().SaveToFile(argv[1]);
    } catch (const qb::Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }
    return 0;
}
