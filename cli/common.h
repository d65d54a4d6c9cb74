// Pieces shared by the subcommands of the qbarcode command.
#pragma once

#include "qbarcode/printers.h"
#include "qbarcode/qbarcode.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

/// Raised for a mistake in the command line itself (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The encoding arguments every subcommand shares.
struct EncodingOptions {
    std::string typeName;
    std::string text;
    std::string textFile;
    bool checksum = false;
    long long modul = 1;
    double ratio = 2.0;
    CLI::Option* textOption = nullptr;

    /// Adds --type, --text, --text-file, --checksum, --ratio and, unless
    /// modulHelp is empty, --modul.
    void Add(CLI::App& app, const std::string& modulHelp);

    /// The symbology named by --type; raises UsageError for an unknown name.
    TBarType Type() const;
    /// The text to encode: --text, or the bytes of --text-file.
    std::string Text() const;
    TCheckSum CheckSum() const { return checksum ? csModulo10 : csNone; }
    /// --modul as the library's 32-bit integer; UsageError when it does not fit.
    std::int32_t Modul() const;
};

/// Runs one print job on `printer`: writes `file` (PostScript for a name
/// ending in ".ps", else PDF) and sends it to `queue` when one is named, with
/// `title`. `print` draws between BeginDoc and EndDoc; anything it raises
/// aborts the job, so no file is left.
void RunPrintJob(TPrinter& printer, const std::string& file, const std::string& queue, const std::string& title,
                 const std::function<void()>& print);

/// A byte string as a JSON string literal: quotes, backslashes and control
/// characters escaped, bytes above 126 written as \u00XX.
std::string JsonString(const std::string& s);

/// Writes a message and a newline to standard error, every byte as it is (a
/// text read from a file may hold NUL bytes).
void PrintError(std::string_view message);

/// The text EncodingOptions::Text last read, for CutEchoedText.
const std::string& EncodedText();

/// A message that quotes `text` (as given, or trimmed as the library trims
/// it) with a text of over 80 bytes cut to its first 80 and "…"; any other
/// message as it is. The library's messages quote the whole text, which
/// may be megabytes.
std::string CutEchoedText(std::string message, std::string_view text);

/// A file the command reads, and how messages name it ("--db", "the form file").
struct InputFile {
    std::string_view name;
    std::string path;
};

/// Raises UsageError when `output` (named `option` in the message) is one of
/// `inputs`: the same file by device and inode, or, when neither exists
/// yet, the same path once symbolic links are followed. Writing it would
/// replace what the command reads. Empty names, "-" and devices are let be.
void RefuseOverwritingInput(std::string_view option, const std::string& output, const std::vector<InputFile>& inputs);

/// "1 label", "2 labels".
std::string Counted(long long n, std::string_view noun);

/// A printer resolution in pixels per inch along x and y.
struct PrinterResolution {
    int x = 600, y = 600;
};

/// Reads "600" or "600x1200" (x by y, each 1 to 9600); raises UsageError otherwise.
PrinterResolution ParsePrinterResolution(const std::string& text);

/// A subcommand: registers its options and returns the action to run.
using Subcommand = std::function<std::function<int()>(CLI::App& app)>;

std::function<int()> AddTypesCommand(CLI::App& app);
std::function<int()> AddFontsCommand(CLI::App& app);
std::function<int()> AddEncodeCommand(CLI::App& app);
std::function<int()> AddDrawCommand(CLI::App& app);
std::function<int()> AddPrintCommand(CLI::App& app);
std::function<int()> AddMeasureCommand(CLI::App& app);
std::function<int()> AddFormCommand(CLI::App& app);
std::function<int()> AddLabelsCommand(CLI::App& app);
std::function<int()> AddPaletteCommand(CLI::App& app);
