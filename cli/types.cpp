// qbarcode types and fonts: the symbology table and the installed font families.
#include "common.h"

#include <cstdio>

using namespace qb;

std::function<int()> AddTypesCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("types", "List the symbologies");
    return [cmd] {
        (void)cmd;
        std::printf("%-3s %-24s %-20s %-14s %s\n", "#", "enumerator", "name", "alias", "numeric");
        for (int i = 0; i < BarTypeCount; ++i) {
            const auto t = static_cast<TBarType>(i);
            std::printf("%-3d %-24s %-20s %-14s %s\n", i, BarTypeEnumName(t), BCData[i].Name, BarTypeAlias(t),
                        BCData[i].Numeric ? "yes" : "no");
        }
        return 0;
    };
}

std::function<int()> AddFontsCommand(CLI::App& app)
{
    app.add_subcommand("fonts", "List the installed font families, as --font takes them");
    return [] {
        for (const std::string& family : InstalledFontFamilies())
            std::printf("%s\n", family.c_str());
        return 0;
    };
}
