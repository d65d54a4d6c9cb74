// qbarcode: encode, measure, draw and print barcodes from the command line.
#include "common.h"
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <csignal>
#include <map>
#include <new>
#include <string_view>

using namespace qb;

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

// Interrupted or terminated, the command removes the temporary file of
// what it was writing, then ends by the signal as it would have.
void EndBySignal(int signal)
{
    RemoveTemporaryFiles();
    std::raise(signal); // the default action again: SA_RESETHAND
}

void RemoveTemporaryFilesOnSignals()
{
    struct sigaction action = {};
    action.sa_handler = EndBySignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

int Run(int argc, char** argv)
{
    CLI::App app{"qbarcode: linear barcodes in 23 symbologies"};
    app.require_subcommand(1);
    const std::string_view named = argc > 1 ? argv[1] : "";
    const bool known =
        std::any_of(std::begin(kCommands), std::end(kCommands), [&](const Command& c) { return c.name == named; });
    if (!known && !named.empty() && named.front() != '-') {
        std::string names;
        for (const Command& command : kCommands)
            names += (names.empty() ? "" : ", ") + std::string(command.name);
        throw UsageError("Unknown subcommand '" + std::string(named) + "'; the subcommands are " + names +
                         " ('qbarcode --help' says what each does)");
    }
    std::map<CLI::App*, std::function<int()>> actions;
    for (const Command& command : kCommands) {
        if (known && command.name != named)
            continue;
        auto action = command.add(app);
        actions[app.get_subcommands({}).back()] = action;
    }
    RequireFiniteNumbers(app);
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
    for (auto& [cmd, action] : actions)
        if (cmd->parsed())
            return action();
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    RemoveTemporaryFilesOnSignals();
#ifdef QB_PACKAGE_HOST
    if (argc > 1 && std::string_view(argv[1]) == "palette")
        return RunPackageHost(argv);
#endif
    // Whatever reaches this level ends the command with a message and status
    // 1 (2 for a mistake in the command line), never with an abort.
    try {
        return Run(argc, argv);
    } catch (const UsageError& e) {
        PrintError(e.what());
        return 2;
    } catch (const Exception& e) {
        PrintError(CutEchoedText(e.Message, EncodedText()));
        return 1;
    } catch (const std::bad_alloc&) {
        PrintError("qbarcode: out of memory");
    } catch (const std::exception& e) {
        PrintError(std::string("qbarcode: ") + e.what());
    } catch (...) {
        PrintError("qbarcode: an unexpected error ended the command");
    }
    return 1;
}
