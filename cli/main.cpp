// qbarcode: encode, measure, draw and print barcodes from the command line.
#include "common.h"
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace {

// The subcommands, by the names they are called with. Only the one named on
// the command line is built: scripts call the command once per barcode, and
// building all of them (hundreds of options and validators, the component
// classes the form commands register) would cost more than the barcode.
// Without a known name (help, a typing error), all are built, for the list.
struct Command {
    std::string_view name;
    std::function<int()> (*add)(CLI::App&);
};
constexpr Command kCommands[] = {
    {"types", AddTypesCommand},     {"fonts", AddFontsCommand},   {"encode", AddEncodeCommand},
    {"measure", AddMeasureCommand}, {"draw", AddDrawCommand},     {"print", AddPrintCommand},
    {"form", AddFormCommand},       {"labels", AddLabelsCommand}, {"palette", AddPaletteCommand},
};

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"qbarcode: linear barcodes in 23 symbologies"};
    app.require_subcommand(1);
    const std::string_view named = argc > 1 ? argv[1] : "";
    const bool known =
        std::any_of(std::begin(kCommands), std::end(kCommands), [&](const Command& c) { return c.name == named; });
    std::map<CLI::App*, std::function<int()>> actions;
    for (const Command& command : kCommands) {
        if (known && command.name != named)
            continue;
        auto action = command.add(app);
        actions[app.get_subcommands({}).back()] = action;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }
    try {
        for (auto& [cmd, action] : actions)
            if (cmd->parsed())
                return action();
    } catch (const UsageError& e) {
        PrintError(e.what());
        return 2;
    } catch (const Exception& e) {
        PrintError(e.Message);
        return 1;
    }
    return 2;
}
