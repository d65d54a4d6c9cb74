// Reads text form files: builds the components, applies each value through its
// property writer in file order, resolves component references once the whole
// file is read, then calls Loaded on every built component in creation order.
// Any failure frees what was built and raises EReadError "file:line: Prop: why".
#include "classes_internal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <unordered_set>

namespace qb {

namespace {

// Longest dotted property path accepted (Font.Name has two parts).
constexpr int kMaxDottedParts = 16;

enum class Tok { End, Ident, String, Number, Symbol };

struct Token {
    Tok kind = Tok::End;
    std::string text; // identifier, number text, decoded string bytes, or the symbol
    int line = 1;
};

struct Value {
    enum Kind { Integer, Float, String, Ident, Set } kind = Integer;
    std::string text;               // number text (without sign), identifier, or string bytes
    bool negative = false;          // a '-' preceded the number or identifier
    std::vector<std::string> items; // set elements
};

// Learns through free notification when a component it built is freed, so
// that the reader never touches (or frees twice) a component another one freed.
class BuiltList : public TComponent {
public:
    BuiltList() : TComponent(nullptr) {}
    ~BuiltList() override
    {
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if (alive.count(*it))
                RemoveFreeNotification(*it);
    }
    void Add(TComponent* c)
    {
        order.push_back(c);
        alive.insert(c);
        FreeNotification(c);
    }
    bool Alive(TComponent* c) const { return alive.count(c) != 0; }
    void Notification(TComponent* component, TOperation operation) override
    {
        if (operation == opRemove)
            alive.erase(component);
        TComponent::Notification(component, operation);
    }
    std::vector<TComponent*> order; // creation order, freed ones included
    std::unordered_set<TComponent*> alive;
};

class FormReader {
public:
    FormReader(const std::string& text, const std::string& file, const TFormHandlers* handlers)
        : text_(text), file_(file), handlers_(handlers)
    {
        // Editors may start a UTF-8 file with a byte order mark.
        if (text_.starts_with("\xEF\xBB\xBF"))
            pos_ = 3;
    }

    TComponent* ReadNew(TComponent* owner)
    {
        try {
            Token kw = Next();
            auto [name, className] = ReadHeader(kw);
            const TClassInfo* cls = FindClass(className);
            if (!cls || !cls->Factory || !cls->InheritsFrom(TComponent::StaticClassInfo()))
                Fail(kw.line, Format("Class %s not found", {className}));
            TComponent* root = Create(*cls, owner, kw.line);
            root_ = root;
            Begin(root, name, kw.line);
            ReadBody(root, 1);
            Finish();
            return root;
        } catch (...) {
            Abandon();
            throw;
        }
    }

    void ReadInto(TComponent* root)
    {
        root_ = root;
        try {
            Token kw = Next();
            auto [name, className] = ReadHeader(kw);
            const TClassInfo* cls = FindClass(className);
            bool fits = cls ? root->InheritsFrom(*cls) : classes::SameText(className, root->ClassName());
            if (!fits)
                Fail(kw.line, Format("%s cannot be read into a %s", {className, root->ClassName()}));
            intoRoot_ = true;
            Begin(root, name, kw.line);
            ReadBody(root, 1);
            Finish();
        } catch (...) {
            Abandon();
            throw;
        }
    }

private:
    // --- errors --------------------------------------------------------------

    [[noreturn]] void Fail(int line, const std::string& message)
    {
        std::string where = file_ + ":" + std::to_string(line) + ": ";
        if (!prop_.empty())
            where += prop_ + ": ";
        throw EReadError(where + message);
    }

    // --- lexer ---------------------------------------------------------------

    const Token& Peek()
    {
        if (!peeked_) {
            ahead_ = Scan();
            peeked_ = true;
        }
        return ahead_;
    }

    Token Next()
    {
        Peek();
        peeked_ = false;
        return std::move(ahead_);
    }

    static bool IdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
    static bool Digit(char c) { return c >= '0' && c <= '9'; }
    static bool HexDigit(char c) { return Digit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

    Token Scan()
    {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\n')
                ++line_;
            else if (c != ' ' && c != '\t' && c != '\r')
                break;
            ++pos_;
        }
        Token t;
        t.line = line_;
        if (pos_ >= text_.size())
            return t;
        char c = text_[pos_];
        std::size_t start = pos_;
        if (IdentStart(c)) {
            while (pos_ < text_.size() && (IdentStart(text_[pos_]) || Digit(text_[pos_]) || text_[pos_] == '.'))
                ++pos_;
            t.kind = Tok::Ident;
        } else if (Digit(c)) {
            ScanDecimal();
            t.kind = Tok::Number;
        } else if (c == '$') {
            ++pos_;
            while (pos_ < text_.size() && HexDigit(text_[pos_]))
                ++pos_;
            if (pos_ == start + 1)
                Fail(line_, "Hexadecimal digits expected");
            t.kind = Tok::Number;
        } else if (c == '\'' || c == '#') {
            t.kind = Tok::String;
            t.text = ScanString();
            return t;
        } else if (std::string_view("=:[],+-").find(c) != std::string_view::npos) {
            ++pos_;
            t.kind = Tok::Symbol;
        } else {
            Fail(line_, Format("Invalid character #%d", {static_cast<long long>(static_cast<unsigned char>(c))}));
        }
        t.text = text_.substr(start, pos_ - start);
        return t;
    }

    void ScanDecimal()
    {
        auto digits = [&] {
            while (pos_ < text_.size() && Digit(text_[pos_]))
                ++pos_;
        };
        digits();
        if (pos_ + 1 < text_.size() && text_[pos_] == '.' && Digit(text_[pos_ + 1])) {
            ++pos_;
            digits();
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            std::size_t mark = pos_++;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-'))
                ++pos_;
            if (pos_ < text_.size() && Digit(text_[pos_]))
                digits();
            else
                pos_ = mark;
        }
    }

    // One run of quoted parts and #codes with nothing between them.
    std::string ScanString()
    {
        std::string out;
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\'') {
                ++pos_;
                for (;;) {
                    if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r')
                        Fail(line_, "Unterminated string");
                    char q = text_[pos_++];
                    if (q != '\'') {
                        out += q;
                    } else if (pos_ < text_.size() && text_[pos_] == '\'') {
                        out += '\'';
                        ++pos_;
                    } else {
                        break;
                    }
                }
            } else if (c == '#') {
                ++pos_;
                int code = 0;
                std::size_t first = pos_;
                while (pos_ < text_.size() && Digit(text_[pos_]) && pos_ - first < 4)
                    code = code * 10 + (text_[pos_++] - '0');
                if (pos_ == first || code > 255 || (pos_ < text_.size() && Digit(text_[pos_])))
                    Fail(line_, "Invalid character code");
                out += static_cast<char>(code);
            } else {
                break;
            }
        }
        return out;
    }

    bool IsKeyword(const Token& t, std::string_view word)
    {
        return t.kind == Tok::Ident && classes::SameText(t.text, word);
    }

    bool IsSymbol(const Token& t, char c) { return t.kind == Tok::Symbol && t.text[0] == c; }

    std::string Describe(const Token& t)
    {
        switch (t.kind) {
        case Tok::End:
            return "end of file";
        case Tok::String:
            return "string";
        default:
            return "'" + t.text + "'";
        }
    }

    // --- structure -------------------------------------------------------------

    // "object Name: TClass" or "object TClass", kw being the first token.
    std::pair<std::string, std::string> ReadHeader(const Token& kw)
    {
        if (!IsKeyword(kw, "object"))
            Fail(kw.line, "'object' expected but " + Describe(kw) + " found");
        Token first = Next();
        if (first.kind != Tok::Ident)
            Fail(first.line, "Identifier expected but " + Describe(first) + " found");
        if (!IsSymbol(Peek(), ':'))
            return {"", first.text};
        Next();
        Token cls = Next();
        if (cls.kind != Tok::Ident)
            Fail(cls.line, "Class name expected but " + Describe(cls) + " found");
        return {first.text, cls.text};
    }

    TComponent* Create(const TClassInfo& cls, TComponent* owner, int line)
    {
        if (built_.order.size() >= static_cast<std::size_t>(MaxFormComponents))
            Fail(line, "Too many components");
        TComponent* c = nullptr;
        try {
            c = cls.Create(owner);
        } catch (const std::exception& e) {
            Fail(line, e.what());
        }
        built_.Add(c);
        return c;
    }

    void Begin(TComponent* c, const std::string& name, int line)
    {
        c->SetLoading(true);
        try {
            c->SetName(name);
        } catch (const std::exception& e) {
            Fail(line, e.what());
        }
    }

    void ReadBody(TComponent* c, int depth)
    {
        for (;;) {
            const Token& t = Peek();
            if (IsKeyword(t, "end")) {
                Next();
                return;
            }
            if (IsKeyword(t, "object")) {
                ReadChild(c, depth + 1);
            } else if (t.kind == Tok::Ident) {
                ReadProperty(*c);
            } else if (t.kind == Tok::End) {
                Fail(t.line, "'end' expected but end of file found");
            } else {
                Fail(t.line, "Property name expected but " + Describe(t) + " found");
            }
        }
    }

    void ReadChild(TComponent* parent, int depth)
    {
        Token kw = Next();
        if (depth > MaxFormNesting)
            Fail(kw.line, "Objects nested too deeply");
        auto [name, className] = ReadHeader(kw);
        const TClassInfo* cls = FindClass(className);
        if (!cls || !cls->Factory || !cls->InheritsFrom(TComponent::StaticClassInfo()))
            Fail(kw.line, Format("Class %s not found", {className}));
        TComponent* owner = parent->GetChildOwner();
        TComponent* c = Create(*cls, owner ? owner : root_, kw.line);
        Begin(c, name, kw.line);
        try {
            c->SetParentComponent(parent);
        } catch (const std::exception& e) {
            Fail(kw.line, e.what());
        }
        ReadBody(c, depth);
    }

    // --- properties -------------------------------------------------------------

    void ReadProperty(TComponent& c)
    {
        Token name = Next();
        prop_ = name.text;
        Token eq = Next();
        if (!IsSymbol(eq, '='))
            Fail(eq.line, "'=' expected but " + Describe(eq) + " found");
        Value v = ReadValue();
        component_ = &c;
        auto [target, prop] = Resolve(c, name.text, name.line);
        Apply(*target, *prop, v, name.line);
        prop_.clear();
    }

    Value ReadValue()
    {
        Token t = Next();
        Value v;
        if (IsSymbol(t, '-')) {
            v.negative = true;
            t = Next();
            if (t.kind != Tok::Number && t.kind != Tok::Ident)
                Fail(t.line, "Number expected but " + Describe(t) + " found");
        }
        switch (t.kind) {
        case Tok::Number:
            v.kind =
                t.text.find_first_of(".eE") == std::string::npos || t.text[0] == '$' ? Value::Integer : Value::Float;
            v.text = t.text;
            return v;
        case Tok::Ident:
            v.kind = Value::Ident;
            v.text = t.text;
            return v;
        case Tok::String:
            v.kind = Value::String;
            v.text = t.text;
            while (IsSymbol(Peek(), '+')) {
                Next();
                Token more = Next();
                if (more.kind != Tok::String)
                    Fail(more.line, "String expected but " + Describe(more) + " found");
                v.text += more.text;
            }
            return v;
        case Tok::Symbol:
            if (t.text[0] == '[')
                return ReadSet();
            break;
        case Tok::End:
            break;
        }
        Fail(t.line, "Invalid property value: " + Describe(t));
    }

    Value ReadSet()
    {
        Value v;
        v.kind = Value::Set;
        if (IsSymbol(Peek(), ']')) {
            Next();
            return v;
        }
        for (;;) {
            Token item = Next();
            if (item.kind != Tok::Ident)
                Fail(item.line, "Identifier expected but " + Describe(item) + " found");
            v.items.push_back(item.text);
            Token sep = Next();
            if (IsSymbol(sep, ']'))
                return v;
            if (!IsSymbol(sep, ','))
                Fail(sep.line, "',' or ']' expected but " + Describe(sep) + " found");
        }
    }

    // The object and property a (dotted) name designates.
    std::pair<TObject*, const TPropInfo*> Resolve(TComponent& c, const std::string& path, int line)
    {
        TObject* obj = &c;
        std::size_t start = 0;
        for (int part = 1;; ++part) {
            std::size_t dot = path.find('.', start);
            std::string name = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
            if (name.empty() || part > kMaxDottedParts)
                Fail(line, "Invalid property name");
            const TPropInfo* prop = GetPropInfo(obj->ClassInfo(), name);
            if (!prop)
                Fail(line, Format("%s has no property %s", {obj->ClassName(), name}));
            if (dot == std::string::npos)
                return {obj, prop};
            TPersistent* sub = nullptr;
            if (prop->Kind == TTypeKind::tkClass && prop->Get) {
                TPropValue got = prop->Get(*obj);
                if (auto* p = std::get_if<TPersistent*>(&got))
                    sub = *p;
            }
            if (!sub)
                Fail(line, Format("%s is not an object property", {name}));
            obj = sub;
            start = dot + 1;
        }
    }

    // Integer text (decimal, or $hex as an unsigned bit pattern of `bits` bits) to int64.
    std::int64_t ParseInteger(const Value& v, int bits, int line)
    {
        std::string shown = (v.negative ? "-" : "") + v.text;
        auto bad = [&]() -> std::int64_t { Fail(line, Format("%s is out of range", {shown})); };
        if (v.text[0] == '$') {
            std::uint64_t u = 0;
            auto [p, ec] = std::from_chars(v.text.data() + 1, v.text.data() + v.text.size(), u, 16);
            if (ec != std::errc() || v.negative || (bits < 64 && u >> bits))
                return bad();
            if (bits == 32)
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
            return static_cast<std::int64_t>(u);
        }
        std::uint64_t u = 0;
        auto [p, ec] = std::from_chars(v.text.data(), v.text.data() + v.text.size(), u, 10);
        if (ec != std::errc())
            return bad();
        std::uint64_t limit = (std::uint64_t{1} << (bits - 1)) - (v.negative ? 0 : 1);
        if (u > limit)
            return bad();
        return v.negative ? static_cast<std::int64_t>(0 - u) : static_cast<std::int64_t>(u);
    }

    double ParseFloat(const Value& v, int line)
    {
        double d = 0;
        if (v.kind == Value::Ident) {
            if (classes::SameText(v.text, "nan") && !v.negative)
                return std::numeric_limits<double>::quiet_NaN();
            if (classes::SameText(v.text, "inf"))
                d = std::numeric_limits<double>::infinity();
            else
                Fail(line, "Floating point value expected");
        } else if (v.kind == Value::Integer || v.kind == Value::Float) {
            if (v.text[0] == '$')
                Fail(line, "Floating point value expected");
            auto [p, ec] = std::from_chars(v.text.data(), v.text.data() + v.text.size(), d);
            if (ec != std::errc())
                Fail(line, Format("%s is not a valid floating point value", {v.text}));
        } else {
            Fail(line, "Floating point value expected");
        }
        return v.negative ? -d : d;
    }

    int EnumIndex(const TEnumInfo& info, const std::string& name)
    {
        int i = info.IndexOf(name);
        if (i >= 0)
            return i;
        for (std::size_t k = 0; k < info.Values.size(); ++k)
            if (classes::SameText(info.Values[k], name))
                return static_cast<int>(k);
        return -1;
    }

    [[noreturn]] void NotA(const std::string& text, const std::string& type, int line)
    {
        Fail(line, Format("'%s' is not a %s value", {text, type}));
    }

    void Apply(TObject& obj, const TPropInfo& prop, const Value& v, int line)
    {
        bool number = v.kind == Value::Integer;
        bool ident = v.kind == Value::Ident && !v.negative;
        TPropValue value;
        switch (prop.Kind) {
        case TTypeKind::tkInteger:
        case TTypeKind::tkInt64:
            if (!number)
                Fail(line, "Integer value expected");
            value = ParseInteger(v, prop.Kind == TTypeKind::tkInteger ? 32 : 64, line);
            break;
        case TTypeKind::tkColor: {
            TColor color = 0;
            if (ident && classes::IdentToColor(v.text, color))
                value = std::int64_t{color};
            else if (number)
                value = ParseInteger(v, 32, line);
            else
                NotA(v.text, "TColor", line);
            break;
        }
        case TTypeKind::tkFloat:
            value = ParseFloat(v, line);
            break;
        case TTypeKind::tkString:
            if (v.kind != Value::String)
                Fail(line, "String value expected");
            value = v.text;
            break;
        case TTypeKind::tkBoolean:
            if (ident && classes::SameText(v.text, "True"))
                value = true;
            else if (ident && classes::SameText(v.text, "False"))
                value = false;
            else
                NotA(v.text, "Boolean", line);
            break;
        case TTypeKind::tkEnumeration: {
            int i = ident ? EnumIndex(*prop.Enum, v.text) : -1;
            if (i < 0)
                NotA(v.text, prop.TypeName, line);
            value = std::int64_t{i};
            break;
        }
        case TTypeKind::tkSet: {
            if (v.kind != Value::Set)
                Fail(line, "Set value expected");
            std::uint64_t bits = 0;
            for (const std::string& item : v.items) {
                int i = EnumIndex(*prop.Enum, item);
                if (i < 0 || i >= 64)
                    NotA(item, prop.Enum->Name, line);
                bits |= std::uint64_t{1} << i;
            }
            value = static_cast<std::int64_t>(bits);
            break;
        }
        case TTypeKind::tkComponent:
            if (!ident)
                Fail(line, "Component name expected");
            if (classes::SameText(v.text, "nil")) {
                value = static_cast<TComponent*>(nullptr);
                break;
            }
            fixups_.push_back({component_, &obj, &prop, v.text, line, prop_});
            return;
        case TTypeKind::tkMethod:
            if (!ident)
                Fail(line, "Event handler name expected");
            if (classes::SameText(v.text, "nil")) {
                value = TMethodRef{};
            } else {
                const std::any* code = handlers_ ? handlers_->Find(v.text) : nullptr;
                if (!code)
                    Fail(line, Format("Event handler %s not found", {v.text}));
                value = TMethodRef{v.text, *code};
            }
            break;
        case TTypeKind::tkClass:
            Fail(line, "An object property cannot take a value");
        }
        SetValue(obj, prop, value, line);
    }

    void SetValue(TObject& obj, const TPropInfo& prop, const TPropValue& value, int line)
    {
        try {
            SetPropValue(obj, prop, value);
        } catch (const EReadError&) {
            throw;
        } catch (const std::exception& e) {
            Fail(line, e.what());
        }
    }

    // --- completion --------------------------------------------------------------

    TComponent* FindByName(const std::string& name)
    {
        if (classes::SameText(root_->Name(), name))
            return root_;
        std::vector<TComponent*> queue{root_};
        for (std::size_t i = 0; i < queue.size(); ++i) {
            TComponent* c = queue[i];
            if (TComponent* found = c->FindComponent(name))
                return found;
            for (int k = 0; k < c->ComponentCount(); ++k)
                queue.push_back(c->Components(k));
        }
        return nullptr;
    }

    void Finish()
    {
        Token t = Next();
        if (t.kind != Tok::End)
            Fail(t.line, "End of file expected but " + Describe(t) + " found");
        for (const Fixup& f : fixups_) {
            if (!Alive(f.component))
                continue;
            prop_ = f.prop;
            TComponent* target = FindByName(f.name);
            if (!target)
                Fail(f.line, Format("Component %s not found", {f.name}));
            SetValue(*f.target, *f.info, target, f.line);
        }
        prop_.clear();
        for (TComponent* c : Loading())
            c->ClearReading();
        for (TComponent* c : Loading()) {
            if (!Alive(c))
                continue; // freed by another component's Loaded
            try {
                c->Loaded();
            } catch (const std::exception& e) {
                throw EReadError(file_ + ": " + c->Name() + ": " + e.what());
            }
        }
        for (TComponent* c : Loading())
            c->SetLoading(false);
    }

    // The components being loaded, in creation order (a root read into first).
    std::vector<TComponent*> Loading()
    {
        std::vector<TComponent*> list;
        if (intoRoot_)
            list.push_back(root_);
        for (TComponent* c : built_.order)
            if (built_.Alive(c))
                list.push_back(c);
        return list;
    }

    bool Alive(TComponent* c) { return (intoRoot_ && c == root_) || built_.Alive(c); }

    // Frees every component built and clears the loading state of a root read into.
    // Only the outermost ones are freed here (newest first); their owners free the rest.
    void Abandon()
    {
        std::vector<TComponent*> outermost;
        for (TComponent* c : built_.order)
            if (built_.Alive(c) && !built_.Alive(c->Owner()))
                outermost.push_back(c);
        for (auto it = outermost.rbegin(); it != outermost.rend(); ++it)
            if (built_.Alive(*it))
                delete *it;
        if (intoRoot_)
            root_->SetLoading(false);
    }

    struct Fixup {
        TComponent* component; // the component whose (sub-)object takes the reference
        TObject* target;
        const TPropInfo* info;
        std::string name;
        int line;
        std::string prop;
    };

    const std::string& text_;
    const std::string& file_;
    const TFormHandlers* handlers_;
    std::size_t pos_ = 0;
    int line_ = 1;
    Token ahead_;
    bool peeked_ = false;
    std::string prop_;
    TComponent* root_ = nullptr;
    bool intoRoot_ = false;
    BuiltList built_;
    TComponent* component_ = nullptr; // the component whose properties are being read
    std::vector<Fixup> fixups_;
};

std::string LoadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw EReadError(Format("Cannot open file \"%s\"", {path}));
    std::ostringstream s;
    s << f.rdbuf();
    if (f.bad())
        throw EReadError(Format("Cannot read file \"%s\"", {path}));
    return s.str();
}

} // namespace

TComponent* ReadComponentString(const std::string& text, const std::string& fileName, TComponent* owner,
                                const TFormHandlers* handlers)
{
    if (!handlers && owner)
        handlers = &owner->Handlers();
    FormReader reader(text, fileName, handlers);
    return reader.ReadNew(owner);
}

TComponent* ReadComponentFile(const std::string& path, TComponent* owner, const TFormHandlers* handlers)
{
    return ReadComponentString(LoadFile(path), path, owner, handlers);
}

void ReadComponentInto(TComponent* root, const std::string& text, const std::string& fileName)
{
    FormReader reader(text, fileName, &root->Handlers());
    reader.ReadInto(root);
}

void ReadComponentFileInto(TComponent* root, const std::string& path)
{
    ReadComponentInto(root, LoadFile(path), path);
}

} // namespace qb
