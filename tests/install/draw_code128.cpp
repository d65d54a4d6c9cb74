// Draws a Code 128 barcode through the barcode control into a PNG file; built
// with the flags pkg-config gives for an installed qbarcode.
#include "qbarcode/pbarcode.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    try {
        TBarCode bar(nullptr);
        bar.SetBounds(0, 0, 480, 100); // centred, with room for the quiet zones
        bar.SetBarType(bcCode128B);
        bar.SetBarCode("pkg-config 42");
        bar.SetModul(2);
        bar.Image().SaveToFile(argv[1]);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }
    return 0;
}
