// Class information, published-property lists, the class registry, the
// palette and the colour name converters.
#include "classes_internal.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace qb {

namespace classes {

bool SameText(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

namespace {

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

struct ColorIdents {
    std::function<bool(TColor, std::string&)> toIdent;
    std::function<bool(std::string_view, TColor&)> fromIdent;
};

ColorIdents& Colors()
{
    static ColorIdents c;
    return c;
}

} // namespace

bool ColorToIdent(TColor color, std::string& name)
{
    auto& f = Colors().toIdent;
    return f && f(color, name);
}

bool IdentToColor(std::string_view name, TColor& color)
{
    auto& f = Colors().fromIdent;
    return f && f(name, color);
}

} // namespace classes

using classes::Lower;

void RegisterColorIdents(std::function<bool(TColor, std::string&)> colorToIdent,
                         std::function<bool(std::string_view, TColor&)> identToColor)
{
    classes::Colors() = {std::move(colorToIdent), std::move(identToColor)};
}

// ---------------------------------------------------------------------------

int TEnumInfo::IndexOf(std::string_view name) const
{
    for (std::size_t i = 0; i < Values.size(); ++i)
        if (Values[i] == name)
            return static_cast<int>(i);
    return -1;
}

TPropInfo TPropInfo::Unpublished() const
{
    TPropInfo p = *this;
    p.Published = false;
    return p;
}

TPropInfo TPropInfo::NotStored() const
{
    TPropInfo p = *this;
    p.Stored = false;
    return p;
}

bool TClassInfo::InheritsFrom(const TClassInfo& cls) const
{
    for (const TClassInfo* c = this; c; c = c->Parent)
        if (c == &cls)
            return true;
    return false;
}

TComponent* TClassInfo::Create(TComponent* owner) const
{
    if (!Factory)
        throw Exception(Format("Cannot create an instance of %s", {Name}));
    return Factory(owner);
}

// ---------------------------------------------------------------------------
// Property lists, computed once per class.

namespace {

struct PropCache {
    std::vector<TPropInfo> own;         // the class's table as declared
    std::deque<TPropInfo> republished;  // copies of inherited entries with a new default
    std::vector<const TPropInfo*> list; // the published list, inherited first
};

std::recursive_mutex& CacheMutex()
{
    static std::recursive_mutex m;
    return m;
}

std::map<const TClassInfo*, std::unique_ptr<PropCache>>& Caches()
{
    static std::map<const TClassInfo*, std::unique_ptr<PropCache>> m;
    return m;
}

PropCache& CacheOf(const TClassInfo& cls);

// The entry of an ancestor of cls (published or only declared) named name.
const TPropInfo* FindDeclared(const TClassInfo& cls, std::string_view name)
{
    for (const TClassInfo* c = cls.Parent; c; c = c->Parent)
        for (const TPropInfo& p : CacheOf(*c).own)
            if (!p.Republish && p.Name == name)
                return &p;
    return nullptr;
}

void Publish(std::vector<const TPropInfo*>& list, const TPropInfo* prop)
{
    auto same = std::find_if(list.begin(), list.end(), [&](const TPropInfo* p) { return p->Name == prop->Name; });
    if (same != list.end())
        *same = prop;
    else
        list.push_back(prop);
}

PropCache& CacheOf(const TClassInfo& cls)
{
    std::lock_guard lock(CacheMutex());
    auto& caches = Caches();
    if (auto it = caches.find(&cls); it != caches.end())
        return *it->second;
    auto cache = std::make_unique<PropCache>();
    cache->own = cls.OwnProperties ? cls.OwnProperties() : std::vector<TPropInfo>{};
    PropCache& c = *cache;
    caches[&cls] = std::move(cache);
    try {
        if (cls.Parent)
            c.list = CacheOf(*cls.Parent).list;
        for (const TPropInfo& p : c.own) {
            if (!p.Republish) {
                if (p.Published)
                    Publish(c.list, &p);
                continue;
            }
            const TPropInfo* base = FindDeclared(cls, p.Name);
            if (!base)
                throw Exception(Format("%s publishes %s, which no ancestor declares", {cls.Name, p.Name}));
            if (p.HasDefault()) {
                TPropInfo copy = *base;
                copy.Default = p.Default;
                copy.Published = true;
                c.republished.push_back(std::move(copy));
                base = &c.republished.back();
            }
            Publish(c.list, base);
        }
    } catch (...) {
        caches.erase(&cls);
        throw;
    }
    return c;
}

} // namespace

const std::vector<const TPropInfo*>& GetPropList(const TClassInfo& cls)
{
    return CacheOf(cls).list;
}

const TPropInfo* GetPropInfo(const TClassInfo& cls, std::string_view name)
{
    for (const TPropInfo* p : GetPropList(cls))
        if (classes::SameText(p->Name, name))
            return p;
    return nullptr;
}

TPropValue GetPropValue(const TObject& obj, const TPropInfo& prop)
{
    if (!prop.Get)
        throw Exception(Format("Property %s cannot be read", {prop.Name}));
    return prop.Get(obj);
}

void SetPropValue(TObject& obj, const TPropInfo& prop, const TPropValue& value)
{
    if (!prop.Set)
        throw Exception(Format("Property %s is read-only", {prop.Name}));
    // The rows convert; the range of an enumeration or set is its TEnumInfo's.
    if (prop.Enum && prop.Kind == TTypeKind::tkEnumeration) {
        detail::CheckRange(detail::AsInt(value), 0, static_cast<std::int64_t>(prop.Enum->Values.size()) - 1);
    } else if (prop.Enum && prop.Kind == TTypeKind::tkSet && prop.Enum->Values.size() < 64) {
        const auto mask = (std::uint64_t{1} << prop.Enum->Values.size()) - 1;
        prop.Set(obj, static_cast<std::int64_t>(static_cast<std::uint64_t>(detail::AsInt(value)) & mask));
        return;
    }
    prop.Set(obj, value);
}

// ---------------------------------------------------------------------------
// Table row helpers.

namespace detail {

TPropInfo MakeProp(const char* name, TTypeKind kind, std::string typeName, const TEnumInfo* enumInfo,
                   const TClassInfo* cls, TPropValue def, TPropGetter get, TPropSetter set)
{
    TPropInfo p;
    p.Name = name;
    p.Kind = kind;
    p.TypeName = std::move(typeName);
    p.Enum = enumInfo;
    p.Class = cls;
    p.Default = std::move(def);
    p.Get = get;
    p.Set = set;
    return p;
}

TPropInfo MakeRepublish(const char* name, TPropValue def, bool overrideDefault)
{
    TPropInfo p;
    p.Name = name;
    p.Republish = true;
    if (overrideDefault)
        p.Default = std::move(def);
    return p;
}

namespace {
[[noreturn]] void WrongType()
{
    throw Exception("Invalid property value type");
}

template <class T> const T& As(const TPropValue& v)
{
    if (const T* p = std::get_if<T>(&v))
        return *p;
    WrongType();
}
} // namespace

std::int64_t AsInt(const TPropValue& v)
{
    return As<std::int64_t>(v);
}
double AsFloat(const TPropValue& v)
{
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    return As<double>(v);
}
const std::string& AsString(const TPropValue& v)
{
    return As<std::string>(v);
}
bool AsBool(const TPropValue& v)
{
    return As<bool>(v);
}
TComponent* AsComponent(const TPropValue& v)
{
    if (std::holds_alternative<std::monostate>(v))
        return nullptr;
    return As<TComponent*>(v);
}
const TMethodRef& AsMethod(const TPropValue& v)
{
    static const TMethodRef none;
    if (std::holds_alternative<std::monostate>(v))
        return none;
    return As<TMethodRef>(v);
}

std::int64_t CheckRange(std::int64_t v, std::int64_t lo, std::int64_t hi)
{
    if (v < lo || v > hi)
        throw Exception(Format("%d is not within the valid range of %d..%d",
                               {static_cast<long long>(v), static_cast<long long>(lo), static_cast<long long>(hi)}));
    return v;
}

} // namespace detail

// ---------------------------------------------------------------------------
// The class registry and the palette.

namespace {

std::map<std::string, const TClassInfo*>& Registry()
{
    static std::map<std::string, const TClassInfo*> m;
    return m;
}

struct Palette {
    std::vector<TPalettePage> pages;
    int calls = 0;
};

Palette& ThePalette()
{
    static Palette p;
    return p;
}

} // namespace

void RegisterClass(const TClassInfo& cls)
{
    auto& reg = Registry();
    auto [it, inserted] = reg.emplace(Lower(cls.Name), &cls);
    if (!inserted && it->second != &cls)
        throw Exception(Format("Class %s already registered.", {cls.Name}));
}

void UnRegisterClass(const TClassInfo& cls)
{
    auto& reg = Registry();
    if (auto it = reg.find(Lower(cls.Name)); it != reg.end() && it->second == &cls)
        reg.erase(it);
    for (TPalettePage& page : ThePalette().pages)
        std::erase(page.Classes, &cls);
    // The class's code may be unloaded next: forget every list computed from it.
    std::lock_guard lock(CacheMutex());
    std::erase_if(Caches(), [&](const auto& entry) { return entry.first->InheritsFrom(cls); });
}

void UnRegisterModuleClasses(const std::function<bool(const TClassInfo&)>& inModule)
{
    std::vector<const TClassInfo*> doomed;
    for (const auto& [name, cls] : Registry())
        if (inModule(*cls))
            doomed.push_back(cls);
    for (const TClassInfo* cls : doomed)
        UnRegisterClass(*cls);
    // Lists of classes that were never registered point into the module too.
    ForgetPropLists(inModule);
}

void ForgetPropLists(const std::function<bool(const TClassInfo&)>& inModule)
{
    std::lock_guard lock(CacheMutex());
    std::erase_if(Caches(), [&](const auto& entry) {
        for (const TClassInfo* c = entry.first; c; c = c->Parent)
            if (inModule(*c))
                return true;
        return false;
    });
}

const TClassInfo* FindClass(std::string_view name)
{
    auto& reg = Registry();
    auto it = reg.find(Lower(name));
    return it == reg.end() ? nullptr : it->second;
}

void RegisterComponents(const std::string& page, std::initializer_list<const TClassInfo*> classes)
{
    Palette& pal = ThePalette();
    ++pal.calls;
    auto it = std::find_if(pal.pages.begin(), pal.pages.end(), [&](const TPalettePage& p) { return p.Name == page; });
    if (it == pal.pages.end()) {
        pal.pages.push_back({page, {}});
        it = pal.pages.end() - 1;
    }
    for (const TClassInfo* cls : classes) {
        if (!cls)
            continue;
        RegisterClass(*cls);
        if (std::find(it->Classes.begin(), it->Classes.end(), cls) == it->Classes.end())
            it->Classes.push_back(cls);
    }
}

const std::vector<TPalettePage>& GetPalette()
{
    return ThePalette().pages;
}
int RegisterComponentsCallCount()
{
    return ThePalette().calls;
}

void ClearPalette()
{
    ThePalette().pages.clear();
    ThePalette().calls = 0;
}

} // namespace qb
