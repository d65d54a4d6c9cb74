// Writes the Qt side of the controls' published properties: for QbBarCode,
// one Q_PROPERTY per property a Qt programmer sets (with the property's own
// name), the enumerations those properties take as Q_ENUMs with the
// control's enumerator names and ordinals, and the accessors, which read and
// write through the control's own property rows, so its defaults and rules
// apply; for QbDBBarcode, the declarations of the data-aware control's own
// properties in Qt's terms.
//
// moc needs the declarations when compiling, so this program runs first in
// the build, links the controls and reads their property metadata: nothing
// about a property is written twice.
//
// Usage: make_properties HEADER SOURCE
#include "qbarcode/fileio.h"
#include "qbarcode/pdbbarcode.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace qb;

namespace {

// Published properties whose meaning QWidget already carries under a name
// of its own: the widget keeps those, and the control follows them where it
// paints by them (the size, the font's colour through the palette).
const std::map<std::string_view, std::string_view> kQtOwned = {
    {"Name", "objectName"},
    {"Left", "geometry"},
    {"Top", "geometry"},
    {"Width", "geometry"},
    {"Height", "geometry"},
    {"Visible", "visible"},
    {"Enabled", "enabled"},
    {"Cursor", "cursor"},
    {"Hint", "toolTip"},
    {"ShowHint", "toolTip"},
    {"ParentShowHint", "toolTip"},
    {"Align", "the layout"},
    {"Anchors", "the layout"},
    {"Constraints", "minimumSize and maximumSize"},
    {"BiDiMode", "layoutDirection"},
    {"ParentBiDiMode", "layoutDirection"},
    {"ParentFont", "font (inherited unless set)"},
    {"ParentColor", "palette"},
    {"PopupMenu", "contextMenuPolicy"},
    {"TabOrder", "the tab order"},
    {"TabStop", "focusPolicy"},
    {"DragCursor", "drag and drop"},
    {"DragKind", "drag and drop"},
    {"DragMode", "drag and drop"},
    {"DockSite", "QDockWidget"},
    {"UseDockManager", "QDockWidget"},
    {"HelpContext", "whatsThis"},
    {"HelpKeyword", "whatsThis"},
    {"HelpType", "whatsThis"},
};

// Component references in Qt's terms: a data source is the mapper that
// moves the widget through the records of a model.
const std::map<std::string_view, std::string_view> kQtComponents = {{"TDataSource", "QDataWidgetMapper*"}};

// Writers the control declares virtual (a descendant overrides them).
const std::set<std::string_view> kVirtualWriters = {"BarCode"};
// The property a data-aware widget offers item views and mappers as its value.
constexpr std::string_view kUserProperty = "BarCode";

enum class Shape { Integer, Int64, Float, String, Boolean, Color, Enum, Font, Pointer };

struct QtProperty {
    const TPropInfo* info;
    Shape shape;
    std::string type; // the C++ type in the class
    bool own;         // declared by the class itself (its changes fire OnChange)
};

bool Exposed(const TPropInfo& p, Shape& shape, std::string& type)
{
    if (kQtOwned.count(p.Name))
        return false;
    switch (p.Kind) {
    case TTypeKind::tkInteger:
        return shape = Shape::Integer, type = "int", true;
    case TTypeKind::tkInt64:
        return shape = Shape::Int64, type = "qint64", true;
    case TTypeKind::tkFloat:
        return shape = Shape::Float, type = "double", true;
    case TTypeKind::tkString:
        return shape = Shape::String, type = "QString", true;
    case TTypeKind::tkBoolean:
        return shape = Shape::Boolean, type = "bool", true;
    case TTypeKind::tkColor:
        return shape = Shape::Color, type = "QColor", true;
    case TTypeKind::tkEnumeration:
        return shape = Shape::Enum, type = p.TypeName, true;
    case TTypeKind::tkClass:
        if (p.TypeName != "TFont")
            break;
        return shape = Shape::Font, type = "QFont", true;
    case TTypeKind::tkComponent:
        if (auto qt = kQtComponents.find(p.TypeName); qt != kQtComponents.end())
            return shape = Shape::Pointer, type = qt->second, true;
        break;
    case TTypeKind::tkMethod: // events: Qt's signals and event handlers
        return false;
    default:
        break;
    }
    std::fprintf(stderr, "make_properties: %s (%s) has no Qt counterpart; map or exclude it\n", p.Name.c_str(),
                 p.TypeName.c_str());
    std::exit(1);
}

// The properties of cls that base does not have; `notifies`: the class's own
// ones repaint and fire OnChange when they change.
std::vector<QtProperty> Collect(const TClassInfo& cls, const TClassInfo* base, bool notifies)
{
    std::set<std::string> inherited;
    if (base)
        for (const TPropInfo* p : GetPropList(*base))
            inherited.insert(p->Name);
    std::set<std::string> own;
    for (const TPropInfo& row : cls.OwnProperties())
        if (!row.Republish)
            own.insert(row.Name);
    std::vector<QtProperty> out;
    for (const TPropInfo* p : GetPropList(cls)) {
        Shape shape;
        std::string type;
        if (!inherited.count(p->Name) && Exposed(*p, shape, type))
            out.push_back({p, shape, type, notifies && own.count(p->Name) > 0});
    }
    return out;
}

std::string Capitalized(const std::string& name)
{
    std::string s = name;
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z')
        s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

bool ByValue(Shape s)
{
    return s != Shape::String && s != Shape::Color && s != Shape::Font;
}

std::string Parameter(const QtProperty& q)
{
    return ByValue(q.shape) ? q.type + " value" : "const " + q.type + "& value";
}

// One macro line: text, padding, and the continuation.
struct Macro {
    std::string text;
    void Line(const std::string& line) { text += "    " + line + " \\\n"; }
};

std::string DeclareProperty(const QtProperty& q, bool user)
{
    const std::string& n = q.info->Name;
    std::string d = "Q_PROPERTY(" + q.type + " " + n + " READ " + n + " WRITE set" + Capitalized(n);
    if (q.info->HasDefault() || q.shape == Shape::Font)
        d += " RESET reset" + n;
    if (q.own)
        d += " NOTIFY changed";
    if (q.shape == Shape::Pointer || q.shape == Shape::Font)
        d += " DESIGNABLE false"; // no editor for it (a pointer), or edited as QWidget's font
    if (user)
        d += " USER true";
    return d + ")";
}

void DeclareAccessors(Macro& m, const QtProperty& q, bool override_)
{
    const std::string& n = q.info->Name;
    m.Line("/** The control's " + n + " property. */");
    m.Line(q.type + " " + n + "() const;");
    if (q.shape != Shape::Font) { // written through QWidget::setFont
        const bool isVirtual = kVirtualWriters.count(n) > 0;
        m.Line(std::string(isVirtual && !override_ ? "virtual " : "") + "void set" + Capitalized(n) + "(" +
               Parameter(q) + ")" + (override_ ? " override" : "") + ";");
    }
    if (q.info->HasDefault() || q.shape == Shape::Font)
        m.Line("void reset" + n + "();");
}

// Reads the value of a property row in the shape the widget hands out.
std::string Reader(const QtProperty& q)
{
    const std::string prop = "ControlProperty(\"" + q.info->Name + "\")";
    switch (q.shape) {
    case Shape::Integer:
        return "return static_cast<int>(ReadInteger(" + prop + "));";
    case Shape::Int64:
        return "return ReadInteger(" + prop + ");";
    case Shape::Enum:
        return "return static_cast<" + q.type + ">(ReadInteger(" + prop + "));";
    case Shape::Float:
        return "return ReadFloat(" + prop + ");";
    case Shape::String:
        return "return ReadString(" + prop + ");";
    case Shape::Boolean:
        return "return ReadBoolean(" + prop + ");";
    case Shape::Color:
        return "return ReadColor(" + prop + ");";
    case Shape::Font:
        return "return font();";
    case Shape::Pointer:
        break;
    }
    return "";
}

std::string Writer(const QtProperty& q)
{
    const std::string prop = "ControlProperty(\"" + q.info->Name + "\")";
    switch (q.shape) {
    case Shape::Integer:
    case Shape::Int64:
    case Shape::Enum:
        return "WriteInteger(" + prop + ", static_cast<qint64>(value));";
    case Shape::Float:
        return "WriteValue(" + prop + ", value);";
    case Shape::String:
        return "WriteString(" + prop + ", value);";
    case Shape::Boolean:
        return "WriteValue(" + prop + ", value);";
    case Shape::Color:
        return "WriteColor(" + prop + ", value);";
    default:
        return "";
    }
}

// Leaves a file that already holds the text alone, so what includes it is
// not built again.
void WriteIfChanged(const std::string& path, const std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream old;
    old << in.rdbuf();
    if (!in || old.str() != text)
        WriteFileAtomically(path, text);
}

void Generate(const std::string& headerPath, const std::string& sourcePath)
{
    const std::vector<QtProperty> barcode = Collect(TBarCode::StaticClassInfo(), nullptr, true);
    const std::vector<QtProperty> dbBarcode =
        Collect(TDBBarcode::StaticClassInfo(), &TBarCode::StaticClassInfo(), false);

    std::string h = "// Generated by make_properties from the controls' published properties: do not edit.\n"
                    "#pragma once\n\n";
    // The Qt-owned properties, as a note for the reader of the header.
    h += "// Published properties that QWidget carries instead:";
    for (const auto& [name, qt] : kQtOwned)
        h += "\n//   " + std::string(name) + ": " + std::string(qt);
    h += "\n\n";

    // Enumerations, each once, with the control's names and ordinals.
    Macro enums;
    enums.Line("public:");
    std::set<std::string> declared;
    for (const QtProperty& q : barcode) {
        if (q.shape != Shape::Enum || !declared.insert(q.type).second)
            continue;
        std::string line = "enum " + q.type + " : int {";
        const auto& values = q.info->Enum->Values;
        for (std::size_t i = 0; i < values.size(); ++i)
            line += (i ? ", " : " ") + values[i] + " = " + std::to_string(i);
        enums.Line("/** The control's " + q.type + " values. */");
        enums.Line(line + " };");
        enums.Line("Q_ENUM(" + q.type + ")");
    }
    h += "/// Declares the enumerations of QbBarCode's properties (put in the class body).\n";
    h += "#define QB_QBARCODE_ENUMS \\\n" + enums.text + "\n";

    Macro props;
    for (const QtProperty& q : barcode)
        props.Line(DeclareProperty(q, false));
    props.Line("public:");
    for (const QtProperty& q : barcode)
        DeclareAccessors(props, q, false);
    h += "/// Declares QbBarCode's properties and their accessors (put in the class body).\n";
    h += "#define QB_QBARCODE_PROPERTIES \\\n" + props.text + "\n";

    Macro db;
    for (const QtProperty& q : barcode)
        if (q.info->Name == kUserProperty)
            db.Line(DeclareProperty(q, true));
    for (const QtProperty& q : dbBarcode)
        db.Line(DeclareProperty(q, false));
    db.Line("public:");
    for (const QtProperty& q : barcode)
        if (q.info->Name == kUserProperty)
            DeclareAccessors(db, q, true);
    for (const QtProperty& q : dbBarcode)
        DeclareAccessors(db, q, false);
    h += "/// Declares QbDBBarcode's own properties and their accessors (put in the class body).\n";
    h += "#define QB_QDBBARCODE_PROPERTIES \\\n" + db.text + "\n";

    // QbBarCode's accessors, through the control's property rows.
    std::string s = "// Generated by make_properties from the controls' published properties: do not edit.\n"
                    "#include \"qbarcode/qbbarcode.h\"\n\nnamespace qb {\n\n";
    for (const QtProperty& q : barcode) {
        const std::string& n = q.info->Name;
        const std::string type = q.shape == Shape::Enum ? "QbBarCode::" + q.type : q.type;
        s += type + " QbBarCode::" + n + "() const\n{\n    " + Reader(q) + "\n}\n";
        if (q.shape != Shape::Font)
            s += "void QbBarCode::set" + Capitalized(n) + "(" + Parameter(q) + ")\n{\n    " + Writer(q) + "\n}\n";
        if (q.shape == Shape::Font)
            s += "void QbBarCode::reset" + n + "()\n{\n    setFont(DefaultFont());\n}\n";
        else if (q.info->HasDefault())
            s += "void QbBarCode::reset" + n + "()\n{\n    ResetValue(ControlProperty(\"" + n + "\"));\n}\n";
    }
    s += "\n} // namespace qb\n";
    WriteIfChanged(headerPath, h);
    WriteIfChanged(sourcePath, s);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_properties HEADER SOURCE\n");
        return 2;
    }
    try {
        Generate(argv[1], argv[2]);
    } catch (const Exception& e) {
        std::fprintf(stderr, "make_properties: %s\n", e.Message.c_str());
        return 1;
    }
    return 0;
}
