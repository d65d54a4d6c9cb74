// Loading packages over dlopen, the once-per-process unit life cycle, and
// reading a package's resources.
#include "qbarcode/packages.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace qb {

struct TLoadedPackage {
    void* handle = nullptr;
    std::string path;
    const TPackageInfoTable* table = nullptr;
    int loads = 0;
};

namespace {

// Unit start-ups and shut-downs may run while a start-up loads another
// package, so the lock is recursive.
std::recursive_mutex& Lock()
{
    static std::recursive_mutex m;
    return m;
}

std::map<std::string, int, std::less<>>& UnitUsers()
{
    static std::map<std::string, int, std::less<>> m;
    return m;
}

std::vector<TUnitEvent>& EventLog()
{
    static std::vector<TUnitEvent> log;
    return log;
}

std::vector<std::unique_ptr<TLoadedPackage>>& Packages()
{
    static std::vector<std::unique_ptr<TLoadedPackage>> list;
    return list;
}

void StopUnit(const TUnitInfo& unit)
{
    auto it = UnitUsers().find(unit.Name);
    if (it == UnitUsers().end() || --it->second > 0)
        return;
    UnitUsers().erase(it);
    if (unit.Shutdown)
        unit.Shutdown();
}

template <class T> T Entry(void* handle, const char* name)
{
    return reinterpret_cast<T>(dlsym(handle, name));
}

TLoadedPackage& Checked(HMODULE module)
{
    std::lock_guard lock(Lock());
    for (auto& p : Packages())
        if (p.get() == module)
            return *p;
    throw EPackageError("Invalid package handle");
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
        return up(x) == up(y);
    });
}

// The first contained unit of table that a loaded package also holds, with
// that package's name.
std::pair<std::string, std::string> SharedUnit(const TPackageInfoTable& table)
{
    for (const auto& loaded : Packages())
        for (int i = 0; i < table.UnitCount; ++i) {
            if (!table.Units[i].Contained)
                continue;
            for (int j = 0; j < loaded->table->UnitCount; ++j) {
                const TUnitInfo& other = loaded->table->Units[j];
                if (other.Contained && std::strcmp(other.Name, table.Units[i].Name) == 0)
                    return {table.Units[i].Name, loaded->table->Name};
            }
        }
    return {};
}

} // namespace

// ---------------------------------------------------------------------------
// Unit life cycle

void InitializePackage(const TPackageInfoTable& table)
{
    std::lock_guard lock(Lock());
    int done = 0;
    try {
        for (; done < table.UnitCount; ++done) {
            const TUnitInfo& unit = table.Units[done];
            int& users = UnitUsers()[unit.Name];
            if (++users == 1 && unit.Startup) {
                try {
                    unit.Startup();
                } catch (...) {
                    UnitUsers().erase(unit.Name);
                    throw;
                }
            }
        }
    } catch (...) {
        while (done-- > 0)
            StopUnit(table.Units[done]);
        throw;
    }
}

void FinalizePackage(const TPackageInfoTable& table)
{
    std::lock_guard lock(Lock());
    for (int i = table.UnitCount; i-- > 0;)
        StopUnit(table.Units[i]);
}

namespace {

// Whether a class's information lives in the shared library holding address;
// nothing does when no library holds it.
std::function<bool(const TClassInfo&)> InModule(const void* address)
{
    Dl_info self{};
    if (!dladdr(address, &self))
        return [](const TClassInfo&) { return false; };
    return [base = self.dli_fbase](const TClassInfo& cls) {
        Dl_info info{};
        return dladdr(&cls, &info) && info.dli_fbase == base;
    };
}

} // namespace

void ForgetModuleClasses(const void* address)
{
    UnRegisterModuleClasses(InModule(address));
}

void ForgetModulePropLists(const void* address)
{
    ForgetPropLists(InModule(address));
}

void NoteUnitEvent(std::string_view unit, bool startup)
{
    std::lock_guard lock(Lock());
    EventLog().push_back({std::string(unit), startup});
}

std::vector<TUnitEvent> UnitEvents()
{
    std::lock_guard lock(Lock());
    return EventLog();
}

void ClearUnitEvents()
{
    std::lock_guard lock(Lock());
    EventLog().clear();
}

bool UnitStarted(std::string_view unit)
{
    std::lock_guard lock(Lock());
    return UnitUsers().find(unit) != UnitUsers().end();
}

// ---------------------------------------------------------------------------
// Loading

HMODULE LoadPackage(const std::string& path)
{
    std::lock_guard lock(Lock());
    // RTLD_LOCAL keeps the package's symbols out of the global scope, so a
    // second package of the same units binds to its own code, never to ours.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        throw EPackageError("Cannot load package " + path + ": " + (why ? why : "unknown error"));
    }
    for (auto& p : Packages())
        if (p->handle == handle) {
            dlclose(handle); // the package's own count stays at one per TLoadedPackage
            ++p->loads;
            return p.get();
        }
    auto getTable = Entry<TGetPackageInfoTable>(handle, "GetPackageInfoTable");
    auto initialize = Entry<TPackageProc>(handle, "Initialize");
    const TPackageInfoTable* table = getTable ? getTable() : nullptr;
    if (!table || !initialize || !Entry<TPackageProc>(handle, "Finalize")) {
        dlclose(handle);
        throw EPackageError(path + " is not a package: it does not export Initialize, Finalize and "
                                   "GetPackageInfoTable");
    }
    // No code of the package has run yet, apart from the constructors of its
    // own internal constants, which touch nothing outside it: refusing it
    // here leaves the process as it was.
    if (auto [unit, owner] = SharedUnit(*table); !unit.empty()) {
        std::string name = table->Name;
        dlclose(handle);
        throw EPackageError("Cannot load package " + name + ": it contains unit " + unit +
                            ", which is also in package " + owner + ", already loaded");
    }
    try {
        initialize();
    } catch (...) {
        dlclose(handle);
        throw;
    }
    auto package = std::make_unique<TLoadedPackage>();
    package->handle = handle;
    package->path = path;
    package->table = table;
    package->loads = 1;
    Packages().push_back(std::move(package));
    return Packages().back().get();
}

void UnloadPackage(HMODULE module)
{
    std::lock_guard lock(Lock());
    TLoadedPackage& package = Checked(module);
    if (--package.loads > 0)
        return;
    std::unique_ptr<TLoadedPackage> owned;
    auto& list = Packages();
    auto it = std::find_if(list.begin(), list.end(), [&](auto& p) { return p.get() == module; });
    owned = std::move(*it);
    list.erase(it);
    // Closed even when Finalize raises: the package is gone for its host either way.
    // The package's classes are forgotten even when its Finalize does not.
    struct Closer {
        void* handle;
        const void* table;
        ~Closer()
        {
            ForgetModuleClasses(table);
            dlclose(handle);
        }
    } closer{owned->handle, owned->table};
    Entry<TPackageProc>(owned->handle, "Finalize")();
}

std::vector<HMODULE> LoadedPackages()
{
    std::lock_guard lock(Lock());
    std::vector<HMODULE> out;
    for (auto& p : Packages())
        out.push_back(p.get());
    return out;
}

const TPackageInfoTable& GetPackageInfo(HMODULE module)
{
    return *Checked(module).table;
}

std::string GetPackagePath(HMODULE module)
{
    return Checked(module).path;
}

void* GetProcAddress(HMODULE module, const std::string& name)
{
    return dlsym(Checked(module).handle, name.c_str());
}

bool PackageHolds(HMODULE module, const void* address)
{
    Dl_info package{}, other{};
    return dladdr(&GetPackageInfo(module), &package) && dladdr(address, &other) && package.dli_fbase == other.dli_fbase;
}

std::vector<std::string> ContainedUnits(HMODULE module)
{
    const TPackageInfoTable& table = GetPackageInfo(module);
    std::vector<std::string> out;
    for (int i = 0; i < table.UnitCount; ++i)
        if (table.Units[i].Contained)
            out.emplace_back(table.Units[i].Name);
    return out;
}

void InstallPackage(HMODULE module)
{
    TLoadedPackage& package = Checked(module);
    for (const std::string& unit : ContainedUnits(module))
        if (auto reg = Entry<TRegisterProc>(package.handle, (unit + "_Register").c_str()))
            reg();
}

extern "C" const std::vector<TPalettePage>* Classes_Palette();

const std::vector<TPalettePage>& GetPackagePalette(HMODULE module)
{
    // A host built with its own copy of the framework has its own palette; the
    // one the package registers into is that of the runtime library it requires.
    if (auto palette = Entry<decltype(&Classes_Palette)>(Checked(module).handle, "Classes_Palette"))
        return *palette();
    return GetPalette();
}

// ---------------------------------------------------------------------------
// Resources

TResourceBytes FindResource(HMODULE module, std::string_view name, std::string_view type)
{
    auto getResources = Entry<TGetPackageResources>(Checked(module).handle, "GetPackageResources");
    const TResourceTable* table = getResources ? getResources() : nullptr;
    if (!table)
        return {};
    for (int i = 0; i < table->Count; ++i) {
        const TResourceInfo& r = table->Items[i];
        if (EqualNoCase(r.Name, name) && EqualNoCase(r.Type, type))
            return {r.Data, r.Size};
    }
    return {};
}

std::string GetPackageDescription(HMODULE module)
{
    TResourceBytes r = FindResource(module, "DESCRIPTION", "RCDATA");
    return r.Data ? std::string(reinterpret_cast<const char*>(r.Data), r.Size) : std::string();
}

TVersionInfo GetPackageVersion(HMODULE module)
{
    TResourceBytes r = FindResource(module, "1", "VERSION");
    if (!r.Data)
        throw EPackageError(GetPackagePath(module) + " has no version block");
    return ParseVersionBlock(r.Data, r.Size);
}

TVersionInfo ParseVersionBlock(const unsigned char* data, std::size_t size)
{
    static constexpr char kSignature[] = "QBVERSION"; // with its NUL: 10 bytes
    constexpr std::size_t fixed = sizeof kSignature + 8;
    if (size < fixed || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        throw EPackageError("Invalid version block");
    auto number = [&](int i) { return data[sizeof kSignature + 2 * i] | data[sizeof kSignature + 2 * i + 1] << 8; };
    TVersionInfo v;
    v.Major = number(0);
    v.Minor = number(1);
    v.Release = number(2);
    v.Build = number(3);
    std::string_view rest(reinterpret_cast<const char*>(data) + fixed, size - fixed);
    while (!rest.empty()) {
        std::size_t end = rest.find('\0');
        if (end == std::string_view::npos)
            throw EPackageError("Invalid version block");
        std::string_view item = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        std::size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            throw EPackageError("Invalid version block");
        std::string_view key = item.substr(0, eq), value = item.substr(eq + 1);
        if (key == "ProductName")
            v.ProductName = value;
        else if (key == "FileDescription")
            v.FileDescription = value;
        else if (key == "LegalCopyright")
            v.LegalCopyright = value;
    }
    return v;
}

TDibImage ReadDib(const unsigned char* data, std::size_t size)
{
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16 |
               std::uint32_t(data[at + 3]) << 24;
    };
    auto u16 = [&](std::size_t at) { return unsigned(data[at]) | unsigned(data[at + 1]) << 8; };
    if (!data || size < 40 || u32(0) < 40 || u32(0) > size)
        throw EPackageError("Invalid bitmap: no bitmap header");
    const auto width = static_cast<std::int32_t>(u32(4));
    const auto height = static_cast<std::int32_t>(u32(8));
    const unsigned planes = u16(12), bits = u16(14);
    const std::uint32_t compression = u32(16), used = u32(32);
    if (planes != 1 || bits != 8 || compression != 0)
        throw EPackageError("Invalid bitmap: only uncompressed 8-bit bitmaps are read");
    if (width <= 0 || width > 4096 || height == 0 || height < -4096 || height > 4096)
        throw EPackageError("Invalid bitmap: bad size");
    const std::size_t colours = used == 0 ? 256 : used;
    const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
    const std::size_t stride = (static_cast<std::size_t>(width) + 3) / 4 * 4;
    const std::size_t table = u32(0), pixels = table + colours * 4;
    if (colours > 256 || pixels + stride * rows > size)
        throw EPackageError("Invalid bitmap: the data is shorter than its header says");
    TDibImage image;
    image.Width = width;
    image.Height = static_cast<int>(rows);
    image.BitCount = static_cast<int>(bits);
    image.Pixels.reserve(static_cast<std::size_t>(width) * rows);
    for (std::size_t y = 0; y < rows; ++y) {
        // Rows are stored bottom-up unless the height is negative.
        const std::size_t stored = height > 0 ? rows - 1 - y : y;
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            const std::size_t index = data[pixels + stored * stride + x];
            if (index >= colours)
                throw EPackageError("Invalid bitmap: a pixel names a colour the table lacks");
            const std::size_t entry = table + index * 4; // blue, green, red, unused
            image.Pixels.push_back(std::uint32_t(data[entry + 2]) << 16 | std::uint32_t(data[entry + 1]) << 8 |
                                   data[entry]);
        }
    }
    return image;
}

} // namespace qb
