// qbarcode form: render a form file, write one from options, list a class's
// published properties.
#include "common.h"
#include "render.h"

#include "qbarcode/fileio.h"
#include "qbarcode/pdbbarcode.h"
#include "qbarcode/sysutils.h"
#include "qbarcode/ui_render.h"

#include <dlfcn.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

using namespace qb;

namespace {

struct RenderOptions {
    std::string input;
    std::string output;
    bool smoothText = false;
};

struct NewOptions {
    EncodingOptions encoding;
    AppearanceOptions appearance;
    std::string name = "BarCode1";
    int left = 8, top = 8;
    int width = -1, height = -1; // -1: fit the barcode and its quiet zone along the code, 100 across
    int barHeight = 0;
    std::string output;
};

struct PropertiesOptions {
    std::string className;
    bool json = false;
};

std::string ReadInput(const std::string& path)
{
    std::ostringstream bytes;
    if (path == "-") {
        bytes << std::cin.rdbuf();
        return bytes.str();
    }
    std::error_code unknown;
    if (std::filesystem::is_directory(path, unknown))
        throw Exception("Cannot read " + QuotedFileName(path) + ": it is a folder, not a form file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Exception("Cannot read '" + path + "'");
    bytes << in.rdbuf();
    return bytes.str();
}

// Raster captions are crisp unless asked otherwise, as `qbarcode draw` draws them.
void SetFontQuality(TControl& control, TFontQuality quality)
{
    control.Font()->Quality = quality;
    if (auto* win = dynamic_cast<TWinControl*>(&control))
        for (TControl* child : win->Controls())
            SetFontQuality(*child, quality);
}

// A form laid out in Qt Designer: a .ui file, or XML read from standard input.
bool IsUiForm(const std::string& path, const std::string& text)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".ui")
        return true;
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    return path == "-" && start != std::string::npos && text.compare(start, 1, "<") == 0;
}

// The .ui module's entry, opened once from the qbarcode folder beside the
// visual library, never from the library search path.
QbUiRenderEntry UiRenderEntry()
{
    static QbUiRenderEntry entry = nullptr;
    if (entry)
        return entry;
    void* visual = dlopen(QB_VISUAL_LIBRARY, RTLD_LAZY | RTLD_NOLOAD);
    char origin[4096] = {};
    if (!visual || dlinfo(visual, RTLD_DI_ORIGIN, origin) != 0)
        throw Exception("Cannot render .ui files: the visual library cannot find its own folder");
    dlclose(visual);
    const std::string file = (std::filesystem::path(origin) / QB_UI_MODULE).lexically_normal().string();
    if (!std::filesystem::exists(file))
        throw Exception("Cannot render .ui files: the Qt module " + QuotedFileName(file) +
                        " is not installed (package qbarcode-qt)");
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        throw Exception("Cannot load the .ui module " + QuotedFileName(file) + ": " + dlerror());
    entry = reinterpret_cast<QbUiRenderEntry>(dlsym(module, QB_UI_RENDER_ENTRY));
    if (!entry)
        throw Exception("The module " + QuotedFileName(file) + " is not one for this version of the command");
    return entry; // kept loaded: Qt's application object lives in it
}

void RenderUiForm(const RenderOptions& o, ImageFormat format, const std::string& text)
{
    const int which = format == ImageFormat::Png ? QB_UI_PNG : format == ImageFormat::Svg ? QB_UI_SVG : QB_UI_PDF;
    char message[1024] = {};
    const std::string name = o.input == "-" ? "<stdin>" : o.input;
    if (UiRenderEntry()(text.data(), text.size(), name.c_str(), o.output.c_str(), which, o.smoothText, message,
                        sizeof message) != 0)
        throw Exception(message);
}

int RunRender(const RenderOptions& o)
{
    const ImageFormat format = ImageFormatOf(o.output);
    RefuseOverwritingInput("-o", o.output, {{"the form file", o.input}});
    const std::string text = ReadInput(o.input);
    if (IsUiForm(o.input, text)) {
        RenderUiForm(o, format, text);
        return 0;
    }
    // Read as the form designer reads it, so that a data-aware control shows
    // the text stored in the file rather than waiting for a record.
    TComponent designer(nullptr);
    designer.SetDesigning(true);
    TComponent* root = ReadComponentString(text, o.input == "-" ? "<stdin>" : o.input, &designer);
    auto* control = dynamic_cast<TControl*>(root);
    if (!control)
        throw Exception(Format("%s: the root object is a %s, not a form or control", {o.input, root->ClassName()}));
    const int width = control->Width(), height = control->Height();
    if (width < 1 || height < 1)
        throw Exception(Format("%s: the form is %d x %d pixels; nothing to render", {o.input, width, height}));
    if (format == ImageFormat::Png) {
        SetFontQuality(*control, o.smoothText ? fqDefault : fqNonAntialiased);
        TBitmap bitmap(width, height);
        control->PaintTo(bitmap.Canvas(), 0, 0);
        WriteFileAtomically(o.output, bitmap.EncodePNG());
        return 0;
    }
    // The document is written whole or not at all by the graphics layer.
    TVectorDocument doc(format == ImageFormat::Svg ? TVectorFormat::Svg : TVectorFormat::Pdf, o.output, width, height);
    control->PaintTo(doc.Canvas(), 0, 0);
    doc.Close();
    return 0;
}

TOrientation OrientationOf(double angle)
{
    if (angle == 0)
        return toLeftRight;
    if (angle == 180)
        return toRightLeft;
    if (angle == 270)
        return toTopBottom;
    if (angle == 90)
        return toBottomTop;
    throw UsageError("--angle: a form's barcode turns by 0, 90, 180 or 270 degrees");
}

int RunNew(const NewOptions& o)
{
    RefuseOverwritingInput("-o", o.output, {{"--text-file", o.encoding.textFile}});
    BarcodeStyle style;
    o.appearance.Apply(style);
    const TOrientation orientation = OrientationOf(style.angle);
    const Symbology symbology = o.encoding.Type();
    // A control's BarType holds one of the 23 symbologies and its TextShow
    // one of four captions; none stands for these.
    if (symbology.IsExtra())
        throw UsageError(std::string("form new: a TBarCode cannot hold ") + symbology.Name() +
                         " (its BarType is one of the 23 of 'qbarcode types'); draw it with 'qbarcode draw'");
    if (style.retail || style.marks)
        throw UsageError("form new: a TBarCode has no retail caption (its TextShow is none, code, type or both)");
    const TBarType type = symbology.type;
    const TextToEncode prepared = o.encoding.Prepare(symbology, o.encoding.Text());

    TForm form(nullptr);
    form.SetName("Form1");
    auto* bc = new TBarCode(&form);
    bc->SetName(o.name);
    bc->SetParent(&form);
    bc->SetBarType(type);
    bc->SetBarCode(prepared.text);
    bc->SetModul(o.encoding.Modul());
    if (bc->Modul() != o.encoding.Modul())
        throw UsageError("--modul: the control takes 1 to 49 pixels");
    bc->SetRatio(o.encoding.ratio);
    bc->SetCheckSum(prepared.checksum);
    bc->SetOrientation(orientation);
    bc->SetTextShow(style.show);
    bc->SetTextPosition(style.position);
    bc->SetColorBar(style.barColor);
    bc->SetColorSpc(style.spaceColor);
    bc->SetTextColor(style.captionColor);
    TFont font;
    MakeFont(style, font);
    font.Quality = fqDefault;
    bc->SetFont(&font);

    const bool horizontal = orientation == toLeftRight || orientation == toRightLeft;
    const long long quiet = 2LL * BarTypeQuietZone(type) * bc->Modul();
    const long long fit = bc->GetBarWidth() + quiet + 2; // the raised bevel of one pixel each side
    const long long width = o.width >= 0 ? o.width : horizontal ? fit : 100;
    const long long height = o.height >= 0 ? o.height : horizontal ? 100 : fit;
    if (width > MaxControlSize || height > MaxControlSize)
        throw Exception(Format("Control size %d x %d out of range.", {width, height}));
    bc->SetBounds(o.left, o.top, static_cast<int>(width), static_cast<int>(height));
    bc->SetBarHeight(o.barHeight);
    if (bc->BarHeight() != o.barHeight)
        throw UsageError(
            Format("--bar-height: %d does not fit the control (0 to %d)", {o.barHeight, bc->GetBarHeight()}));
    const long long formWidth = 2LL * std::max(o.left, 0) + width;
    const long long formHeight = 2LL * std::max(o.top, 0) + height;
    if (formWidth > MaxControlSize || formHeight > MaxControlSize)
        throw Exception(Format("Form size %d x %d out of range.", {formWidth, formHeight}));
    form.SetBounds(0, 0, static_cast<int>(formWidth), static_cast<int>(formHeight));

    const std::string out = WriteComponentString(form);
    if (o.output == "-")
        std::fwrite(out.data(), 1, out.size(), stdout);
    else
        WriteFileAtomically(o.output, out);
    return 0;
}

// A default as a form file writes the value.
std::string DefaultText(const TPropInfo& p)
{
    if (p.Kind == TTypeKind::tkMethod || p.Kind == TTypeKind::tkComponent)
        return "nil";
    if (!p.HasDefault())
        return "none";
    if (const auto* b = std::get_if<bool>(&p.Default))
        return *b ? "True" : "False";
    if (const auto* d = std::get_if<double>(&p.Default)) {
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, end);
    }
    if (const auto* s = std::get_if<std::string>(&p.Default))
        return "'" + *s + "'";
    const auto* i = std::get_if<std::int64_t>(&p.Default);
    if (!i)
        return "none";
    switch (p.Kind) {
    case TTypeKind::tkEnumeration:
        if (p.Enum && *i >= 0 && *i < static_cast<std::int64_t>(p.Enum->Values.size()))
            return p.Enum->Values[static_cast<std::size_t>(*i)];
        break;
    case TTypeKind::tkSet: {
        std::string out = "[";
        for (std::size_t bit = 0; p.Enum && bit < p.Enum->Values.size(); ++bit)
            if ((static_cast<std::uint64_t>(*i) >> bit) & 1u)
                out += (out.size() > 1 ? ", " : "") + p.Enum->Values[bit];
        return out + "]";
    }
    case TTypeKind::tkColor: {
        const std::string name = ColorToString(static_cast<TColor>(*i));
        if (name.rfind("cl", 0) == 0)
            return name;
        break;
    }
    default:
        break;
    }
    return std::to_string(*i);
}

int RunProperties(const PropertiesOptions& o)
{
    const TClassInfo* cls = FindClass(o.className);
    if (!cls)
        throw Exception(Format("Class %s not found", {o.className}));
    const auto& props = GetPropList(*cls);
    std::string out;
    if (o.json) {
        out = "[";
        for (std::size_t i = 0; i < props.size(); ++i) {
            const TPropInfo& p = *props[i];
            out += i ? ",\n " : "";
            out += "{\"name\": " + JsonString(p.Name) + ", \"type\": " + JsonString(p.TypeName) + ", \"default\": ";
            out += p.HasDefault() || p.Kind == TTypeKind::tkMethod || p.Kind == TTypeKind::tkComponent
                       ? JsonString(DefaultText(p))
                       : "null";
            out += "}";
        }
        out += "]\n";
    } else {
        for (const TPropInfo* p : props)
            out += p->Name + " " + p->TypeName + " " + DefaultText(*p) + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace

std::function<int()> AddFormCommand(CLI::App& app)
{
    RegisterDBBarcodeClasses();
    auto* cmd = app.add_subcommand("form", "Render a form file, write one, or list a class's properties");
    cmd->require_subcommand(1);

    auto r = std::make_shared<RenderOptions>();
    auto* render =
        cmd->add_subcommand("render", "Paint a form file or a Qt Designer .ui file into a PNG, SVG or PDF file");
    render->add_option("file", r->input, "Form file or .ui file (- for standard input)")->required();
    render->add_option("-o,--output", r->output, "Output file (.png, .svg, .pdf)")->required();
    render->add_flag("--smooth-text", r->smoothText, "Anti-aliased captions on PNG images (default: crisp)");

    auto n = std::make_shared<NewOptions>();
    auto* create = cmd->add_subcommand("new", "Write a form file holding one form with one TBarCode");
    create->add_option("--name", n->name, "The control's name")->capture_default_str();
    create->add_option("--left", n->left, "The control's left edge on the form")->capture_default_str();
    create->add_option("--top", n->top, "The control's top edge on the form")->capture_default_str();
    create->add_option("--width", n->width, "The control's width (default: the barcode with its quiet zone)");
    create->add_option("--height", n->height, "The control's height (default: 100, or the barcode's length)");
    n->encoding.modul = 1; // the control's own default
    n->encoding.Add(*create, "Narrow module width in pixels (1 to 49)");
    create->add_option("--bar-height", n->barHeight, "Bar height in pixels (0: fill the control)")
        ->capture_default_str();
    n->appearance.Add(*create);
    create->add_option("-o,--output", n->output, "Form file to write (- for standard output)")->required();

    auto p = std::make_shared<PropertiesOptions>();
    auto* props = cmd->add_subcommand("properties", "List a class's published properties: name, type, default");
    props->add_option("class", p->className, "A registered class, e.g. TBarCode")->required();
    props->add_flag("--json", p->json, "One JSON array");

    return [=] {
        if (render->parsed())
            return RunRender(*r);
        if (create->parsed())
            return RunNew(*n);
        return RunProperties(*p);
    };
}
