// The document module, opened from the folder of the library this code is
// in (never from the working folder or the library search path), once.
#include "qbarcode/fileio.h"
#include "qbarcode/sysutils.h"
#include "vector/document_backend.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace qb {

namespace gfx {
namespace {

// Where the module lies relative to the library that loads it.
constexpr const char* kModulePath = QB_DOCUMENT_MODULE;

// The file of the mapping that holds `address`, from the process's own map:
// always an absolute path.
std::string MappedFile(const void* address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long long start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &start, &end) != 2 || at < start || at >= end)
            continue;
        const std::size_t slash = line.find('/');
        return slash == std::string::npos ? std::string() : line.substr(slash);
    }
    return {};
}

std::string ModuleFile()
{
    const void* self = reinterpret_cast<const void*>(&ModuleFile);
    Dl_info info{};
    std::filesystem::path library;
    if (dladdr(self, &info) && info.dli_fname)
        library = info.dli_fname;
    // A library found through a relative search path has a relative name;
    // the working folder may have changed since, so ask the map instead.
    if (!library.is_absolute())
        library = MappedFile(self);
    if (!library.is_absolute())
        throw Exception("Cannot load the PDF, PostScript and EPS output: the visual library cannot find its own file");
    return (library.parent_path() / kModulePath).lexically_normal().string();
}

} // namespace

const DocumentBackend& Documents()
{
    static std::mutex mutex;
    static const DocumentBackend* backend = nullptr;
    std::lock_guard lock(mutex);
    if (backend)
        return *backend;
    const std::string file = ModuleFile();
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        throw Exception("Cannot load the PDF, PostScript and EPS output module " + QuotedFileName(file) + ": " +
                        dlerror());
    using Entry = const DocumentBackend* (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(module, QB_DOCUMENT_BACKEND_ENTRY));
    if (!entry) {
        dlclose(module);
        throw Exception("The output module " + QuotedFileName(file) + " is not one for this version of the library");
    }
    // Kept loaded for the life of the process: the surfaces it made may be in use.
    backend = entry();
    return *backend;
}

} // namespace gfx

} // namespace qb
