// qbarcode labels: sheets of labels, one per record of an SQLite table or
// query or of a CSV file. One data-aware barcode control follows the records
// as the dataset scrolls and prints itself into each label of a print job.
#include "common.h"
#include "render.h"

#include "qbarcode/pdbbarcode.h"
#include "qbarcode/printers.h"
#include "qbarcode/sysutils.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <tuple>

#include <unistd.h>

using namespace qb;

namespace {

// A sheet of labels; every length in millimetres.
struct Sheet {
    TPaperSize paper = TPaperSize::A4;
    bool landscape = false;
    int columns = 3, rows = 8;
    double labelWidth = 70, labelHeight = 37;
    double marginLeft = 0, marginTop = 0.5;
    double gapX = 0, gapY = 0;
};

struct NamedSheet {
    const char* name;
    Sheet sheet;
};

// Common label sheets, measured from the paper's top-left corner. Each is
// centred on its paper (the Letter sheets by their inch-based margins).
const NamedSheet kLayouts[] = {
    {"a4-3x8", {TPaperSize::A4, false, 3, 8, 70, 37, 0, 0.5, 0, 0}},
    {"a4-2x7", {TPaperSize::A4, false, 2, 7, 99.1, 38.1, 4.65, 15.15, 2.5, 0}},
    {"a4-4x10", {TPaperSize::A4, false, 4, 10, 48.5, 25.4, 8, 21.5, 0, 0}},
    {"a4-5x13", {TPaperSize::A4, false, 5, 13, 38.1, 21.2, 4.75, 10.7, 2.5, 0}},
    {"letter-3x10", {TPaperSize::Letter, false, 3, 10, 66.675, 25.4, 4.7625, 12.7, 3.175, 0}},
    {"letter-2x10", {TPaperSize::Letter, false, 2, 10, 101.6, 25.4, 4.0, 12.7, 4.7, 0}},
    {"letter-4x20", {TPaperSize::Letter, false, 4, 20, 44.45, 12.7, 7.62, 12.7, 7.62, 0}},
};

struct PaperName {
    const char* name;
    TPaperSize size;
    double widthMm, heightMm;
};

const PaperName kPapers[] = {
    {"a4", TPaperSize::A4, 210, 297},
    {"a5", TPaperSize::A5, 148, 210},
    {"letter", TPaperSize::Letter, 215.9, 279.4},
    {"legal", TPaperSize::Legal, 215.9, 355.6},
};

const PaperName& PaperOf(TPaperSize size)
{
    for (const PaperName& p : kPapers)
        if (p.size == size)
            return p;
    return kPapers[0];
}

struct LabelsOptions {
    // The data.
    std::string db, table, sql, csv, field, captionField, where;
    long long limit = -1;
    // The barcode.
    EncodingOptions encoding;
    AppearanceOptions appearance;
    std::string units = "mm";
    double modul = kDefaultModulMm, height = kDefaultHeightMm;
    // The sheet.
    std::string layout, paper = "a4", dpi = "600";
    bool landscape = false;
    int columns = 0, rows = 0;
    double labelWidth = 0, labelHeight = 0, marginLeft = 0, marginTop = 0, gapX = 0, gapY = 0;
    // The output.
    std::string output, printer, title = "qbarcode labels";
    bool strict = false, listLayouts = false;
};

// The options whose presence matters: given ones replace the layout's values,
// and lengths not given are millimetre defaults to convert for --units in.
struct GivenOptions {
    CLI::Option *paper, *landscape, *columns, *rows, *labelWidth, *labelHeight, *marginLeft, *marginTop, *gapX, *gapY,
        *modul, *height, *output, *printer, *limit;
};

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    // 70.000 -> 70, 66.675 stays, 0.500 -> 0.5
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
    }
    return s;
}

std::string InUnit(double mm, bool inches)
{
    return Fixed(inches ? mm / 25.4 : mm, 3);
}

void ListLayouts(bool inches)
{
    const char* unit = inches ? "in" : "mm";
    std::printf("%-12s %-7s %-7s %-18s %-16s %s\n", "layout", "paper", "labels", "label size", "margins l, t",
                "gaps x, y");
    for (const NamedSheet& l : kLayouts) {
        const Sheet& s = l.sheet;
        const std::string grid = std::to_string(s.columns) + " x " + std::to_string(s.rows);
        const std::string size = InUnit(s.labelWidth, inches) + " x " + InUnit(s.labelHeight, inches) + " " + unit;
        const std::string margins = InUnit(s.marginLeft, inches) + ", " + InUnit(s.marginTop, inches) + " " + unit;
        const std::string gaps = InUnit(s.gapX, inches) + ", " + InUnit(s.gapY, inches) + " " + unit;
        std::printf("%-12s %-7s %-7s %-18s %-16s %s\n", l.name, PaperOf(s.paper).name, grid.c_str(), size.c_str(),
                    margins.c_str(), gaps.c_str());
    }
}

// The sheet the options describe: a layout (or the first one) with any
// option given on the command line replacing its value.
Sheet SheetOf(const LabelsOptions& o, const GivenOptions& given)
{
    Sheet sheet = kLayouts[0].sheet;
    if (!o.layout.empty()) {
        const auto* found = std::ranges::find_if(kLayouts, [&](const NamedSheet& l) { return o.layout == l.name; });
        if (found == std::end(kLayouts))
            throw UsageError("labels: unknown layout '" + o.layout + "' (see 'qbarcode labels --list-layouts')");
        sheet = found->sheet;
    }
    const double toMm = o.units == "in" ? 25.4 : 1.0;
    if (given.paper->count())
        sheet.paper = std::ranges::find_if(kPapers, [&](const PaperName& p) { return o.paper == p.name; })->size;
    if (given.landscape->count())
        sheet.landscape = o.landscape;
    if (given.columns->count())
        sheet.columns = o.columns;
    if (given.rows->count())
        sheet.rows = o.rows;
    for (auto [option, value, target] : {std::tuple{given.labelWidth, o.labelWidth, &sheet.labelWidth},
                                         {given.labelHeight, o.labelHeight, &sheet.labelHeight},
                                         {given.marginLeft, o.marginLeft, &sheet.marginLeft},
                                         {given.marginTop, o.marginTop, &sheet.marginTop},
                                         {given.gapX, o.gapX, &sheet.gapX},
                                         {given.gapY, o.gapY, &sheet.gapY}})
        if (option->count())
            *target = value * toMm;

    if (sheet.columns < 1 || sheet.rows < 1 || sheet.columns > 1000 || sheet.rows > 1000)
        throw UsageError("labels: --columns and --rows must be 1 to 1000");
    if (!(sheet.labelWidth > 0) || !(sheet.labelHeight > 0))
        throw UsageError("labels: the label width and height must be above 0");
    if (!(sheet.marginLeft >= 0) || !(sheet.marginTop >= 0) || !(sheet.gapX >= 0) || !(sheet.gapY >= 0))
        throw UsageError("labels: margins and gaps cannot be negative");
    // The sheet must lie on the paper: labels cut off at its edge would be
    // printed without complaint otherwise.
    const PaperName& paper = PaperOf(sheet.paper);
    const double paperWidth = sheet.landscape ? paper.heightMm : paper.widthMm;
    const double paperHeight = sheet.landscape ? paper.widthMm : paper.heightMm;
    const double across = sheet.marginLeft + sheet.columns * sheet.labelWidth + (sheet.columns - 1) * sheet.gapX;
    const double down = sheet.marginTop + sheet.rows * sheet.labelHeight + (sheet.rows - 1) * sheet.gapY;
    const bool inches = o.units == "in";
    const std::string unit = inches ? " in" : " mm";
    constexpr double kTolerance = 0.01; // mm: the rounding of the published sizes
    if (across > paperWidth + kTolerance || down > paperHeight + kTolerance)
        throw UsageError("labels: the sheet does not fit the paper: it needs " + InUnit(across, inches) + " x " +
                         InUnit(down, inches) + unit + ", the paper is " + InUnit(paperWidth, inches) + " x " +
                         InUnit(paperHeight, inches) + unit);
    return sheet;
}

// Progress on a terminal: records done, records per second and time left,
// redrawn at most ten times a second on one line of standard error.
class Progress {
public:
    explicit Progress(int total) : total_(total), enabled_(::isatty(2) == 1) {}

    void Update(int done)
    {
        // Rows others add to a table while it is read come on top of those counted.
        total_ = std::max(total_, done);
        if (!enabled_ || (done % 64 != 0 && done != total_))
            return;
        const auto now = Clock::now();
        if (now - lastDraw_ < std::chrono::milliseconds(100) && done != total_)
            return;
        lastDraw_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const int left = rate > 0 ? static_cast<int>((total_ - done) / rate + 0.5) : 0;
        constexpr int kWidth = 30;
        const int filled = total_ > 0 ? static_cast<int>(static_cast<long long>(kWidth) * done / total_) : kWidth;
        char line[160];
        std::snprintf(line, sizeof line, "\r[%s%s] %d/%d records, %.0f/s, %d:%02d left",
                      std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(), done, total_, rate,
                      left / 60, left % 60);
        std::fputs(line, stderr);
        shown_ = true;
    }

    // Clears the bar, so that a message starts on a clean line.
    void Clear()
    {
        if (!shown_)
            return;
        std::fprintf(stderr, "\r%*s\r", 79, "");
        shown_ = false;
        lastDraw_ = {};
    }

private:
    using Clock = std::chrono::steady_clock;
    int total_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastDraw_{};
};

// A length in printer pixels, converted as the printing routines convert
// (in extended precision, rounded half to even), so that what is measured
// here is what the control prints.
std::int32_t ToPixels(double value, TUnits units, int dpi)
{
    const long double pixels =
        units == utInch ? static_cast<long double>(dpi) * value : static_cast<long double>(dpi) * value / 25.4L;
    const std::int64_t rounded = Round(pixels);
    if (rounded < INT32_MIN || rounded > INT32_MAX)
        throw Exception("Printer coordinate out of range.");
    return static_cast<std::int32_t>(rounded);
}

// Runs one step of the walk through the records; returns the message of the
// exception it raised, which belongs to the record now current.
template <typename Step> std::optional<std::string> RecordError(Step step)
{
    try {
        step();
        return std::nullopt;
    } catch (const Exception& e) {
        return e.Message;
    }
}

// The records, fed to the job's data source: a CSV file read whole, or an
// SQLite table or query read forwards in windows of rows, so that memory does
// not grow with the table. The dataset opens with the controls held back.
class Records {
public:
    Records(const LabelsOptions& o, TDataSource& source) : o_(o), source_(source) {}

    /// Opens the records; raises with SQLite's (or the CSV reader's) message.
    void Open();
    /// The records, on the first one.
    TDataSet& Data() { return *data_; }
    /// Every record to print, for the progress bar.
    int Total() const { return total_; }
    /// True once `done` records are printed: --limit reached (a database applies it itself).
    bool LimitReached(int done) const { return o_.limit >= 0 && done >= o_.limit; }

private:
    const LabelsOptions& o_;
    TDataSource& source_;
    std::unique_ptr<TDataSet> data_;
    int total_ = 0;
};

void Records::Open()
{
    if (!o_.csv.empty()) {
        auto csv = std::make_unique<TMemDataSet>(nullptr);
        source_.SetDataSet(csv.get());
        csv->DisableControls();
        csv->LoadFromCsvFile(o_.csv);
        total_ =
            o_.limit < 0 ? csv->RecordCount() : static_cast<int>(std::min<long long>(o_.limit, csv->RecordCount()));
        data_ = std::move(csv);
        return;
    }
    auto db = std::make_unique<TSQLiteDataSet>(nullptr);
    db->SetDatabaseName(o_.db);
    if (o_.table.empty()) {
        db->SetSQL(o_.sql);
    } else {
        // Only the fields the labels need, so that the database reports an
        // unknown one.
        db->SetTableName(o_.table);
        db->SetColumns({o_.field, o_.captionField.empty() ? o_.field : o_.captionField});
        db->SetWhere(o_.where);
    }
    db->SetRecordLimit(o_.limit);
    db->SetForwardOnly(true);
    source_.SetDataSet(db.get());
    db->DisableControls();
    db->Open();
    total_ = static_cast<int>(std::min<long long>(db->TotalRecordCount(), INT_MAX));
    data_ = std::move(db);
}

// The label job: the control, the dataset it follows and the page grid.
class LabelJob {
public:
    LabelJob(const LabelsOptions& o, const Sheet& sheet) : o_(o), sheet_(sheet), bar_(nullptr), source_(nullptr)
    {
        units_ = o.units == "in" ? utInch : utMillimeter;
        BarcodeStyle style;
        o.appearance.Apply(style);
        style_ = style;
        type_ = o.encoding.Type();
        MakeFont(style, font_);
        ConfigureControl();
    }

    // Prints a label for every record the symbology takes.
    void Run(Records& records, TPrinter& printer);

    /// The data source the control follows.
    TDataSource& Source() { return source_; }
    int Labels() const { return labels_; }
    int Pages() const { return labels_ == 0 ? 0 : (labels_ - 1) / PerPage() + 1; }
    int Skipped() const { return skipped_; }

private:
    int PerPage() const { return sheet_.columns * sheet_.rows; }
    void ConfigureControl();
    void PrepareData(TDataSet& data);
    TextToEncode RecordText() const;
    void PrintLabel(TPrinter& printer);
    void PrintLabel(TPrinter& printer, const std::string& text);
    double PixelsToUnit(int pixels, int dpi) const
    {
        return units_ == utInch ? static_cast<double>(pixels) / dpi : pixels * 25.4 / dpi;
    }
    std::string Size(int width, int height, TPrinter& printer) const
    {
        const std::string unit = units_ == utInch ? " in" : " mm";
        return Fixed(PixelsToUnit(width, printer.XResolution()), 1) + " x " +
               Fixed(PixelsToUnit(height, printer.YResolution()), 1) + unit;
    }

    const LabelsOptions& o_;
    Sheet sheet_;
    TUnits units_;
    BarcodeStyle style_;
    TBarType type_;
    TFont font_;
    TDBBarcode bar_;
    TDataSource source_;
    TField* caption_ = nullptr;
    int labels_ = 0, skipped_ = 0;
};

void LabelJob::ConfigureControl()
{
    // The control keeps every setting of the barcode; the module width and
    // bar height in the unit go to its Print method with each label.
    bar_.SetBarType(type_);
    bar_.SetCheckSum(o_.encoding.CheckSum());
    bar_.SetRatio(o_.encoding.ratio);
    bar_.SetTextShow(style_.show);
    bar_.SetTextPosition(style_.position);
    bar_.SetColorBar(style_.barColor);
    bar_.SetColorSpc(style_.spaceColor);
    bar_.SetTextColor(style_.captionColor);
    bar_.Font()->Assign(font_);
    bar_.SetDataSource(&source_);
    bar_.SetDataField(o_.field);
}

void LabelJob::PrepareData(TDataSet& data)
{
    // Unknown fields are reported here, before any record is looked at.
    data.FieldByName(o_.field);
    caption_ = o_.captionField.empty() ? nullptr : data.FieldByName(o_.captionField);
}

void LabelJob::Run(Records& records, TPrinter& printer)
{
    TCanvas& canvas = printer.Canvas();
    canvas.Font().Assign(font_);
    canvas.Brush().SetStyle(bsClear);
    Progress progress(records.Total());
    // The dataset opened with the controls held back: the control sees its
    // first record only once its field may reach it.
    TDataSet& data = records.Data();
    PrepareData(data);
    std::optional<std::string> error = RecordError([&] { data.EnableControls(); });
    for (int done = 0; !data.IsEmpty() && !records.LimitReached(done);) {
        if (!error)
            error = RecordError([&] { PrintLabel(printer); });
        if (error) {
            const std::string message = "record " + std::to_string(data.RecNo()) + ": " +
                                        CutEchoedText(*error, data.FieldByName(o_.field)->AsString());
            if (o_.strict)
                throw Exception(message);
            progress.Clear();
            PrintError(message);
            ++skipped_;
        }
        progress.Update(++done);
        // A move raises for the record it reaches (the control refused its
        // text) or, staying where it was, for the records that could not be
        // read: those end the job.
        const int at = data.RecNo();
        error = RecordError([&] { data.Next(); });
        if (data.RecNo() == at) {
            if (error)
                throw Exception(*error);
            break;
        }
    }
    progress.Clear();
}

// The control's text with the command's rules applied; a record without a
// text to encode raises its reason.
TextToEncode LabelJob::RecordText() const
{
    const std::string& text = bar_.BarCode();
    if (o_.encoding.verbatim)
        return {text, o_.encoding.CheckSum(), text};
    const TField* field = bar_.Field();
    if (field && field->IsNull())
        throw Exception("NULL");
    if (field && field->DataType() == ftBlob)
        throw Exception("not text (BLOB)");
    if (text.empty())
        throw Exception("empty");
    if (Trim(text).empty())
        throw Exception("blank");
    return o_.encoding.Prepare(type_, text);
}

void LabelJob::PrintLabel(TPrinter& printer)
{
    // The check-sum choice is this record's own; the control meets the next
    // record with the job's, so that a choice made for one text never
    // reaches another.
    const TextToEncode prepared = RecordText();
    const TCheckSum jobs = o_.encoding.CheckSum();
    bar_.SetCheckSum(prepared.checksum);
    try {
        PrintLabel(printer, prepared.text);
    } catch (...) {
        bar_.SetCheckSum(jobs);
        throw;
    }
    bar_.SetCheckSum(jobs);
}

void LabelJob::PrintLabel(TPrinter& printer, const std::string& text)
{
    const int dpiX = printer.XResolution(), dpiY = printer.YResolution();
    const std::int32_t modul = ToPixels(o_.modul, units_, dpiX);
    const std::int32_t height = ToPixels(o_.height, units_, dpiY);
    // What the control will print, measured first: a text the symbology
    // refuses raises here, before anything reaches the page.
    const TRect drawing = DrawingBounds(printer.Canvas(), type_, text, modul, bar_.Ratio(), bar_.CheckSum(), 0, 0,
                                        height, bar_.Font(), bar_.TextShow(), bar_.TextPosition(), style_.angle);

    const int slot = labels_ % PerPage();
    const int column = slot % sheet_.columns, row = slot / sheet_.columns;
    const double leftMm = sheet_.marginLeft + column * (sheet_.labelWidth + sheet_.gapX);
    const double topMm = sheet_.marginTop + row * (sheet_.labelHeight + sheet_.gapY);
    const int cellX = ToPixels(leftMm, utMillimeter, dpiX), cellY = ToPixels(topMm, utMillimeter, dpiY);
    const int cellW = ToPixels(leftMm + sheet_.labelWidth, utMillimeter, dpiX) - cellX;
    const int cellH = ToPixels(topMm + sheet_.labelHeight, utMillimeter, dpiY) - cellY;

    TCanvas& canvas = printer.Canvas();
    std::string caption = caption_ ? caption_->DisplayText() : std::string();
    const int captionGap = caption_ ? ToPixels(1.0, utMillimeter, dpiY) : 0;
    const int captionH = caption_ ? canvas.TextHeight("Ag") : 0;
    const int blockW = drawing.Width(), blockH = drawing.Height() + captionGap + captionH;
    if (blockW > cellW || blockH > cellH)
        throw Exception("the barcode (" + Size(blockW, blockH, printer) + ") does not fit the label (" +
                        Size(cellW, cellH, printer) + ")");

    if (labels_ > 0 && slot == 0)
        printer.NewPage();
    const int x = cellX + (cellW - blockW) / 2 - drawing.Left;
    const int top = cellY + (cellH - blockH) / 2;
    bar_.Print(units_, PixelsToUnit(x, dpiX), PixelsToUnit(top - drawing.Top, dpiY), o_.height, o_.modul, style_.angle);
    ++labels_;
    if (!caption_ || caption.empty())
        return;
    // A name too long for the label is shortened to fit it.
    int width = canvas.TextWidth(caption);
    if (width > cellW) {
        while (!caption.empty() && canvas.TextWidth(caption + "...") > cellW) {
            caption.pop_back();
            while (!caption.empty() && (static_cast<unsigned char>(caption.back()) & 0xC0) == 0x80)
                caption.pop_back(); // a whole UTF-8 character at a time
        }
        caption += "...";
        width = canvas.TextWidth(caption);
    }
    canvas.TextOut(cellX + (cellW - width) / 2, top + drawing.Height() + captionGap, caption);
}

void CheckDataOptions(const LabelsOptions& o)
{
    const int sources = !o.db.empty() + !o.csv.empty();
    if (sources != 1)
        throw UsageError("labels: give --db FILE (with --table or --sql) or --csv FILE");
    if (!o.db.empty() && o.table.empty() == o.sql.empty())
        throw UsageError("labels: with --db give --table NAME or --sql QUERY");
    if (!o.csv.empty() && (!o.table.empty() || !o.sql.empty()))
        throw UsageError("labels: --table and --sql read a database, not a CSV file");
    if (!o.where.empty() && o.table.empty())
        throw UsageError("labels: --where goes with --table (put the condition in your --sql query)");
    if (o.field.empty())
        throw UsageError("labels: --field NAME is required");
    if (o.encoding.typeName.empty())
        throw UsageError("labels: --type is required");
}

void RunLabels(const LabelsOptions& o, const GivenOptions& given, const std::string& file)
{
    const Sheet sheet = SheetOf(o, given);
    TPrinter& printer = *Printer();
    const PrinterResolution dpi = ParsePrinterResolution(o.dpi);
    const TUnits units = o.units == "in" ? utInch : utMillimeter;
    RequirePrinterPixel("--modul", o.modul, units, dpi.x);
    RequirePrinterPixel("--height", o.height, units, dpi.y);
    printer.SetResolution(dpi.x, dpi.y);
    printer.SetPaperSize(sheet.paper);
    printer.SetOrientation(sheet.landscape ? poLandscape : poPortrait);

    LabelJob job(o, sheet);
    Records records(o, job.Source());
    records.Open();
    RunPrintJob(printer, file, o.printer, o.title, [&] {
        job.Run(records, printer);
        PrintError(Counted(job.Labels(), "label") + " on " + Counted(job.Pages(), "page") + ", " +
                   Counted(job.Skipped(), "record") + " skipped");
        if (job.Labels() == 0)
            throw Exception("Nothing to print: no record gave a label");
    });
}

} // namespace

std::function<int()> AddLabelsCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("labels", "Print a sheet of labels, one per record of a table, query or CSV file");
    auto o = std::make_shared<LabelsOptions>();
    auto given = std::make_shared<GivenOptions>();
    // The data.
    cmd->add_option("--db", o->db, "SQLite database file");
    cmd->add_option("--table", o->table, "Table (or view) to read, with --db");
    cmd->add_option("--sql", o->sql, "A query to read instead of a table, with --db");
    cmd->add_option("--csv", o->csv, "CSV file whose header row names the fields");
    cmd->add_option("--field", o->field, "Field holding the text to encode");
    cmd->add_option("--caption-field", o->captionField, "Field printed as a line of text under the barcode");
    cmd->add_option("--where", o->where, "Your own SQL condition on the records, e.g. \"price > 2\"");
    given->limit = cmd->add_option("--limit", o->limit, "Print at most N records")
                       ->check(CLI::Validator(
                           [](const std::string& n) {
                               return n.starts_with('-') ? "a number of records is 0 or more" : std::string();
                           },
                           "N >= 0"));
    // The barcode, as draw and print take it.
    cmd->add_option("--type,-t", o->encoding.typeName, "Symbology: enumerator, name or alias (see 'qbarcode types')");
    cmd->add_flag("--checksum", o->encoding.checksum, "Add the symbology's check character");
    o->encoding.AddVerbatim(*cmd);
    cmd->add_option("--ratio,-r", o->encoding.ratio, "Wide-to-narrow ratio (clamped per symbology)")
        ->capture_default_str();
    cmd->add_option("--units", o->units, "Unit of every length: mm or in")
        ->check(CLI::IsMember({"mm", "in"}))
        ->capture_default_str();
    given->modul = cmd->add_option("--modul,-m", o->modul, "Narrow module width in the unit")->capture_default_str();
    given->height = cmd->add_option("--height", o->height, "Bar height in the unit")->capture_default_str();
    o->appearance.Add(*cmd);
    // The sheet.
    cmd->add_option("--layout", o->layout, "A label sheet by name (see --list-layouts; default a4-3x8)");
    cmd->add_flag("--list-layouts", o->listLayouts, "List the label sheets with their sizes");
    given->paper = cmd->add_option("--paper", o->paper, "a4, a5, letter or legal")
                       ->check(CLI::IsMember({"a4", "a5", "letter", "legal"}));
    given->landscape = cmd->add_flag("--landscape", o->landscape, "Turn the paper");
    given->columns = cmd->add_option("--columns", o->columns, "Labels across");
    given->rows = cmd->add_option("--rows", o->rows, "Labels down");
    given->labelWidth = cmd->add_option("--label-width", o->labelWidth, "Label width");
    given->labelHeight = cmd->add_option("--label-height", o->labelHeight, "Label height");
    given->marginLeft = cmd->add_option("--margin-left", o->marginLeft, "Paper edge to the first column");
    given->marginTop = cmd->add_option("--margin-top", o->marginTop, "Paper edge to the first row");
    given->gapX = cmd->add_option("--gap-x", o->gapX, "Space between columns");
    given->gapY = cmd->add_option("--gap-y", o->gapY, "Space between rows");
    cmd->add_option("--dpi", o->dpi, "Printer resolution: 600, or 600x1200 for x by y")->capture_default_str();
    // The output.
    given->output = cmd->add_option("-o,--output", o->output, "Output file: .pdf or .ps (PostScript)");
    given->printer = cmd->add_option("--printer", o->printer, "Send the job to this print queue (lp)");
    cmd->add_option("--title", o->title, "Job title")->capture_default_str();
    cmd->add_flag("--strict", o->strict, "Stop at the first record the symbology refuses");

    return [o, given] {
        if (o->listLayouts) {
            ListLayouts(o->units == "in");
            return 0;
        }
        // The defaults are millimetres; with --units in, the same lengths in inches.
        if (o->units == "in") {
            if (given->modul->count() == 0)
                o->modul /= 25.4;
            if (given->height->count() == 0)
                o->height /= 25.4;
        }
        CheckDataOptions(*o);
        RefuseOverwritingInput("-o", o->output, {{"--db", o->db}, {"--csv", o->csv}});
        o->encoding.Type(); // an unknown symbology is a usage error, found before any file is made
        if (given->output->count() == 0 && given->printer->count() == 0)
            throw UsageError("labels: give -o FILE, --printer NAME, or both");
        if (given->output->count())
            PrintFormatOf(o->output);
        // The printer writes the file whole or not at all.
        RunLabels(*o, *given, o->output);
        return 0;
    };
}
