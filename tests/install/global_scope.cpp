// An application with names of its own at global scope (Round, Format,
// Exception, Trim and HDC, as other frameworks and applications have them)
// that includes every installed header: none of the library's names may be
// global but those of qbarcode/global_names.h. Linked against the shared
// libraries, it also uses the library across their boundaries: a qb::Exception
// raised inside one and caught here, dynamic_cast and typeid between classes
// of two libraries, and the module widths, thread-local variables of the
// package. Exits non-zero, naming what failed.
//
// all_headers.h includes every installed header; the build and the install
// test each write it from the headers they have.
#include "all_headers.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

// Each clashes with a library declaration of the same name left at global
// scope: another kind of entity, or the same parameters with another result.
struct Exception {
    int Code;
};
using HDC = int;
long Round(long double v) // half away from zero, where qb::Round goes to even
{
    return std::lround(v);
}
std::string_view Trim(std::string_view s) // blanks only, without copying
{
    const auto first = s.find_first_not_of(' ');
    return first == s.npos ? std::string_view{} : s.substr(first, s.find_last_not_of(' ') - first + 1);
}
std::size_t Format(std::string_view pattern, std::initializer_list<qb::FormatArg> args)
{
    return pattern.size() + args.size();
}

namespace {

int failures = 0;

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "FAIL: %s\n", what);
        ++failures;
    }
}

} // namespace

int main()
{
    Check(Round(2.5L) == 3 && qb::Round(2.5L) == 2, "the program's Round beside qb::Round");
    Check(Trim(" a ") == "a" && qb::Trim("\t a\n") == "a", "the program's Trim beside qb::Trim");
    Check(Format("%d", {1}) == 3 && qb::Format("%d", {1}) == "1", "the program's Format beside qb::Format");
    const HDC own = 7;
    qb::TBitmap bitmap(1, 1);
    const qb::HDC dc = bitmap.Canvas().Handle();
    Check(own == 7 && qb::GetDeviceCaps(dc, qb::LOGPIXELSX) == 96, "the program's HDC beside qb::HDC");

    // The component API's names, at global scope through global_names.h.
    Check(Q_GetBarWidth(bcCodeEAN13, "590123412345", 2, 2.0, csModulo10) == 190, "Q_GetBarWidth of an EAN-13");
    std::string caption, lineCodes;
    double ratio = 2.0;
    MakeLineCodes(bcCode39, "A", 3, ratio, csNone, caption, lineCodes);
    Check(ModuleWidth1 == 3 && ModuleWidth2 == 6 && qb::ModuleWidth4 == 12, "the module widths MakeLineCodes sets");
    Check(std::string(BCData[bcCodeEAN13].Name) == "EAN13", "BCData");

    // An exception raised in the package, caught by its type here.
    try {
        Q_GetBarWidth(bcCodeEAN13, "12AB", 1, 2.0, csNone);
        Check(false, "a letter in an EAN-13 raises");
    } catch (const Exception&) {
        Check(false, "the program's own Exception caught the library's");
    } catch (const qb::Exception& e) {
        Check(e.Message == "12AB : Barcode must be numeric.", "the message of the library's exception");
    }
    try {
        qb::StrToInt("x");
        Check(false, "StrToInt(\"x\") raises");
    } catch (const qb::EConvertError& e) {
        Check(e.Message == "'x' is not a valid integer value", "the runtime library's EConvertError");
    }

    // Classes of the package (TBarCode, TDBBarcode) and of the visual
    // library (TCustomPanel) as one hierarchy.
    qb::RegisterBarCodeClasses();
    const qb::TClassInfo* cls = qb::FindClass("TBarCode");
    Check(cls != nullptr, "TBarCode registered by name");
    if (cls) {
        std::unique_ptr<qb::TComponent> made(cls->Create(nullptr));
        Check(dynamic_cast<TBarCode*>(made.get()) != nullptr, "dynamic_cast to TBarCode");
        Check(dynamic_cast<qb::TCustomPanel*>(made.get()) != nullptr, "dynamic_cast to TCustomPanel");
        Check(dynamic_cast<TDBBarcode*>(made.get()) == nullptr, "a TBarCode is no TDBBarcode");
        Check(typeid(*made) == typeid(TBarCode), "typeid of a TBarCode");
    }
    TDBBarcode dataAware(nullptr);
    qb::TControl& control = dataAware;
    Check(dynamic_cast<TBarCode*>(&control) == &dataAware, "dynamic_cast from TControl to TBarCode");
    return failures == 0 ? 0 : 1;
}
