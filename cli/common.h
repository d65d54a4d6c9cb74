// Pieces shared by the subcommands of the qbarcode command.
#pragma once

#include "qbarcode/qbarcode.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

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

/// Writes a file atomically: content goes to a temporary file beside the
/// target, which replaces the target only when writing succeeded.
void WriteFileAtomically(const std::string& path, const std::function<void(const std::string& tmpPath)>& write);

/// Creates an empty temporary file beside `path` and returns its name;
/// raises, naming `path`, when the folder cannot take it.
std::string CreateTemporaryFor(const std::string& path);

/// Writes `bytes` to a file atomically, in one write.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

/// A subcommand: registers its options and returns the action to run.
using Subcommand = std::function<std::function<int()>(CLI::App& app)>;

std::function<int()> AddTypesCommand(CLI::App& app);
std::function<int()> AddEncodeCommand(CLI::App& app);
std::function<int()> AddDrawCommand(CLI::App& app);
std::function<int()> AddPrintCommand(CLI::App& app);
std::function<int()> AddMeasureCommand(CLI::App& app);
std::function<int()> AddFormCommand(CLI::App& app);
std::function<int()> AddPaletteCommand(CLI::App& app);
