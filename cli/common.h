// Pieces shared by the subcommands of the qbarcode command.
#pragma once

#include "qbarcode/printers.h"
#include "qbarcode/qbarcode.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

using namespace qb;

/// Raised for a mistake in the command line itself (exit status 2).
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The sizes a barcode gets when none are given: in pixels for the
/// subcommands that draw or measure images, in millimetres for those that
/// print (converted with --units in).
constexpr int kDefaultModulPixels = 2, kDefaultHeightPixels = 60;
constexpr double kDefaultModulMm = 0.33, kDefaultHeightMm = 15;

/// A text as the command hands it to the library.
struct TextToEncode {
    std::string text;   ///< the text, as given
    TCheckSum checksum; ///< the check-sum choice for it
    /// What the symbol carries: for EAN and UPC the whole number with its
    /// check digit, otherwise the text.
    std::string encoded;
};

/// The command's own rules for a text of symbology `type`: an empty or blank
/// text is refused ("no text to encode"). For a number of EAN-8, EAN-13,
/// UPC-A, UPC-E0 or UPC-E1: one longer than the symbology's is refused; one
/// shorter gets its check digit added, as `checksum` csModulo10 adds it; a
/// full-length one without `checksum` must end in its check digit ("<text>:
/// check digit should be 7"). Anything else goes to the library as it is.
TextToEncode ApplyTextRules(TBarType type, const std::string& text, TCheckSum checksum);

/// Whether --checksum changes the symbol of `type` (false for the
/// symbologies without an optional check character).
bool ChecksumIsOptional(TBarType type);

/// The encoding arguments every subcommand shares.
struct EncodingOptions {
    std::string typeName;
    std::string text;
    std::string textFile;
    bool checksum = false;
    bool verbatim = false;
    long long modul = kDefaultModulPixels;
    double ratio = 2.0;
    CLI::Option* textOption = nullptr;

    /// Adds --type, --text, --text-file, --checksum, --verbatim, --ratio and,
    /// unless modulHelp is empty, --modul (1 pixel or more).
    void Add(CLI::App& app, const std::string& modulHelp);
    /// Adds --verbatim alone.
    void AddVerbatim(CLI::App& app);

    /// The symbology named by --type; raises UsageError for an unknown name.
    /// Warns once on standard error when --checksum has no effect on it.
    TBarType Type() const;
    /// The text to encode: --text, or the bytes of --text-file.
    std::string Text() const;
    TCheckSum CheckSum() const { return checksum ? csModulo10 : csNone; }
    /// `text` with the command's rules applied (ApplyTextRules), or exactly
    /// as given with --verbatim.
    TextToEncode Prepare(TBarType type, const std::string& text) const;
    /// --modul as the library's 32-bit integer; UsageError when it does not fit.
    std::int32_t Modul() const;

private:
    mutable bool warned_ = false;
};

/// A check for sizes in pixels: 1 or more.
const CLI::Validator& AtLeastOnePixel();

/// Adds a check to every floating-point option of `app` and its
/// subcommands that refuses NaN and infinite values, naming the option.
void RequireFiniteNumbers(CLI::App& app);

/// Raises UsageError naming `option` when `value`, in `units`, is less than
/// one printer pixel at `dpi` pixels per inch.
void RequirePrinterPixel(const std::string& option, double value, TUnits units, int dpi);

/// The format of a print job's file by its extension: .pdf or .ps (any
/// case); raises UsageError naming -o for any other name.
TPrintFormat PrintFormatOf(const std::string& file);

/// Runs one print job on `printer`: writes `file` (in the format
/// PrintFormatOf names; PDF when no file is named) and sends it to `queue` when one is named, with
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
