// A package of one unit of its own over the runtime library: it shares the
// framework units with Kavrel and Kavrin, so a test can see them started once.
// Its Register procedure puts a class on the palette and leaves forgetting it
// to the loader.
#include "qbarcode/packages.h"

#include <iterator>

using namespace qb;

namespace {
std::vector<TPropInfo> WidgetProperties()
{
    TPropInfo size;
    size.Name = "Size";
    size.TypeName = "Integer";
    size.Default = std::int64_t{0};
    size.Get = [](const TObject&) -> TPropValue { return std::int64_t{0}; };
    size.Set = [](TObject&, const TPropValue&) {};
    return {size};
}
const TClassInfo kWidget{"TWidget", &TComponent::StaticClassInfo(), WidgetProperties, nullptr};
} // namespace

extern "C" {
void Widgets_Startup()
{
    NoteUnitEvent("Widgets", true);
}
void Widgets_Shutdown()
{
    NoteUnitEvent("Widgets", false);
}
void Widgets_Register()
{
    RegisterComponents("Tests", {&kWidget});
}
}

namespace {
const char* const kRequires[] = {"qbrtl"};
const TUnitInfo kUnits[] = {
    {"SysUtils", SysUtils_Startup, SysUtils_Shutdown, 0},
    {"Classes", Classes_Startup, Classes_Shutdown, 0},
    {"Widgets", Widgets_Startup, Widgets_Shutdown, 1},
};
const TPackageInfoTable kTable = {"QbTest", 0, 1, kRequires, static_cast<int>(std::size(kUnits)), kUnits};
} // namespace

extern "C" const TPackageInfoTable* GetPackageInfoTable()
{
    return &kTable;
}
extern "C" void Initialize()
{
    InitializePackage(kTable);
}
extern "C" void Finalize()
{
    FinalizePackage(kTable);
}
