// qbarcode: encode, measure, draw and print barcodes from the command line.
#include "common.h"
#include "qbarcode/sysutils.h"

#include <map>

int main(int argc, char** argv)
{
    CLI::App app{"qbarcode: linear barcodes in 23 symbologies"};
    app.require_subcommand(1);
    std::map<CLI::App*, std::function<int()>> actions;
    for (auto add : {AddTypesCommand, AddFontsCommand, AddEncodeCommand, AddMeasureCommand, AddDrawCommand,
                     AddPrintCommand, AddFormCommand, AddLabelsCommand, AddPaletteCommand}) {
        auto action = add(app);
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
