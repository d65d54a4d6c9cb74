// Writes text form files: each stored property that differs from its default,
// in published order, nested objects for children, two spaces per level.
#include "classes_internal.h"
#include "qbarcode/fileio.h"

#include <charconv>
#include <cmath>

namespace qb {

namespace {

// Deepest chain of sub-objects written (Font.Style..., a guard against cycles).
constexpr int kMaxSubObjectDepth = 16;
// Strings longer than this many bytes are written in pieces joined by '+', one per line.
constexpr std::size_t kStringPiece = 64;

std::string QuoteString(std::string_view s)
{
    if (s.empty())
        return "''";
    std::string out;
    bool quoted = false;
    for (unsigned char c : s) {
        if (c >= 32 && c <= 126) {
            if (!quoted)
                out += '\'';
            quoted = true;
            out += static_cast<char>(c);
            if (c == '\'')
                out += '\'';
        } else {
            if (quoted)
                out += '\'';
            quoted = false;
            out += '#';
            out += std::to_string(c);
        }
    }
    if (quoted)
        out += '\'';
    return out;
}

std::string FloatText(double v)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v < 0 ? "-inf" : "inf";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string out(buf, end);
    if (out.find_first_of(".e") == std::string::npos)
        out += ".0"; // keeps the value visibly a floating-point number
    return out;
}

std::string ColorText(std::int64_t v)
{
    TColor color = static_cast<TColor>(v);
    std::string name;
    if (classes::ColorToIdent(color, name))
        return name;
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "$";
    auto u = static_cast<std::uint32_t>(color);
    for (int shift = 28; shift >= 0; shift -= 4)
        out += hex[(u >> shift) & 15];
    return out;
}

std::string SetText(const TPropInfo& prop, std::uint64_t bits)
{
    std::string out = "[";
    const auto& names = prop.Enum->Values;
    for (std::size_t i = 0; i < names.size() && i < 64; ++i) {
        if (!((bits >> i) & 1u))
            continue;
        if (out.size() > 1)
            out += ", ";
        out += names[i];
    }
    return out + "]";
}

bool EqualsDefault(const TPropValue& value, const TPropValue& def)
{
    if (value.index() != def.index())
        return false;
    if (auto* i = std::get_if<std::int64_t>(&value))
        return *i == std::get<std::int64_t>(def);
    if (auto* d = std::get_if<double>(&value))
        return *d == std::get<double>(def);
    if (auto* s = std::get_if<std::string>(&value))
        return *s == std::get<std::string>(def);
    if (auto* b = std::get_if<bool>(&value))
        return *b == std::get<bool>(def);
    return false;
}

class FormWriter {
public:
    std::string out;

    void WriteObject(const TComponent& c, int level)
    {
        Indent(level);
        out += "object ";
        if (!c.Name().empty())
            out += c.Name() + ": ";
        out += c.ClassName();
        out += '\n';
        WriteProperties(c, "", level + 1, 0);
        std::vector<TComponent*> children;
        c.GetChildren(children);
        for (const TComponent* child : children)
            WriteObject(*child, level + 1);
        Indent(level);
        out += "end\n";
    }

private:
    void Indent(int level) { out.append(static_cast<std::size_t>(level) * 2, ' '); }

    void WriteProperties(const TObject& obj, const std::string& prefix, int level, int depth)
    {
        for (const TPropInfo* prop : GetPropList(obj.ClassInfo())) {
            if (!prop->Stored || !prop->Get)
                continue;
            TPropValue value = prop->Get(obj);
            if (prop->Kind == TTypeKind::tkClass) {
                auto* sub = std::get_if<TPersistent*>(&value);
                if (sub && *sub && depth < kMaxSubObjectDepth)
                    WriteProperties(**sub, prefix + prop->Name + ".", level, depth + 1);
                continue;
            }
            if (prop->HasDefault() && EqualsDefault(value, prop->Default))
                continue;
            bool pieces = prop->Kind == TTypeKind::tkString && std::get<std::string>(value).size() > kStringPiece;
            std::string text;
            if (!pieces && !ValueText(*prop, value, text))
                continue;
            Indent(level);
            out += prefix + prop->Name + " =";
            if (pieces)
                WritePieces(std::get<std::string>(value), level + 1);
            else
                out += " " + text + "\n";
        }
    }

    void WritePieces(std::string_view s, int level)
    {
        for (std::size_t at = 0; at < s.size(); at += kStringPiece) {
            out += '\n';
            Indent(level);
            out += QuoteString(s.substr(at, kStringPiece));
            if (at + kStringPiece < s.size())
                out += " +";
        }
        out += '\n';
    }

    // The value as form text; false when there is nothing to write (nil, unassigned).
    static bool ValueText(const TPropInfo& prop, const TPropValue& value, std::string& text)
    {
        switch (prop.Kind) {
        case TTypeKind::tkInteger:
        case TTypeKind::tkInt64:
            text = std::to_string(std::get<std::int64_t>(value));
            return true;
        case TTypeKind::tkFloat:
            text = FloatText(std::get<double>(value));
            return true;
        case TTypeKind::tkString:
            text = QuoteString(std::get<std::string>(value));
            return true;
        case TTypeKind::tkBoolean:
            text = std::get<bool>(value) ? "True" : "False";
            return true;
        case TTypeKind::tkColor:
            text = ColorText(std::get<std::int64_t>(value));
            return true;
        case TTypeKind::tkEnumeration: {
            auto ordinal = std::get<std::int64_t>(value);
            if (ordinal < 0 || ordinal >= static_cast<std::int64_t>(prop.Enum->Values.size()))
                return false;
            text = prop.Enum->Values[static_cast<std::size_t>(ordinal)];
            return true;
        }
        case TTypeKind::tkSet:
            text = SetText(prop, static_cast<std::uint64_t>(std::get<std::int64_t>(value)));
            return true;
        case TTypeKind::tkComponent: {
            auto* c = std::get_if<TComponent*>(&value);
            if (!c || !*c || (*c)->Name().empty())
                return false;
            text = (*c)->Name();
            return true;
        }
        case TTypeKind::tkMethod: {
            auto* m = std::get_if<TMethodRef>(&value);
            if (!m || !m->Code.has_value() || m->Name.empty())
                return false;
            text = m->Name;
            return true;
        }
        case TTypeKind::tkClass:
            return false;
        }
        return false;
    }
};

} // namespace

std::string WriteComponentString(const TComponent& root)
{
    FormWriter w;
    w.WriteObject(root, 0);
    return w.out;
}

void WriteComponentFile(const std::string& path, const TComponent& root)
{
    // Written whole or not at all; a failure keeps the stream error's type.
    try {
        WriteFileAtomically(path, WriteComponentString(root));
    } catch (const Exception& e) {
        throw EWriteError(e.Message);
    }
}

} // namespace qb
