// qbarcode palette: loads component packages as a host does, installs them,
// lists what they hold and their palette, and unloads them.
#include "common.h"
#include "qbarcode/fileio.h"
#include "qbarcode/graphics.h"
#include "qbarcode/packages.h"

#include <cstdio>
#include <filesystem>
#include <memory>

using namespace qb;

namespace {

struct PaletteOptions {
    std::vector<std::string> packages;
    bool json = false;
    std::string bitmapDir;
};

std::string JsonList(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return s;
}

struct PackageListing {
    std::string name, description;
    std::vector<std::string> requires_, units;
    std::vector<std::pair<std::string, std::vector<std::string>>> pages;
};

PackageListing List(HMODULE module)
{
    const TPackageInfoTable& table = GetPackageInfo(module);
    PackageListing listing{table.Name, GetPackageDescription(module), {}, {}, {}};
    for (int i = 0; i < table.RequireCount; ++i)
        listing.requires_.emplace_back(table.Requires[i]);
    for (int i = 0; i < table.UnitCount; ++i)
        listing.units.emplace_back(table.Units[i].Name);
    for (const TPalettePage& page : GetPackagePalette(module)) {
        std::vector<std::string> classes;
        for (const TClassInfo* cls : page.Classes)
            if (PackageHolds(module, cls))
                classes.emplace_back(cls->Name);
        if (!classes.empty())
            listing.pages.emplace_back(page.Name, std::move(classes));
    }
    return listing;
}

void Print(const PackageListing& p, bool json)
{
    if (json) {
        std::string palette;
        for (const auto& [page, classes] : p.pages)
            palette += (palette.empty() ? "" : ", ") + JsonString(page) + ": " + JsonList(classes);
        std::printf("{\"package\": %s, \"description\": %s, \"requires\": %s, \"units\": %s, \"palette\": {%s}}\n",
                    JsonString(p.name).c_str(), JsonString(p.description).c_str(), JsonList(p.requires_).c_str(),
                    JsonList(p.units).c_str(), palette.c_str());
        return;
    }
    auto join = [](const std::vector<std::string>& items) {
        std::string out;
        for (const std::string& s : items)
            out += (out.empty() ? "" : ", ") + s;
        return out;
    };
    std::printf("package:     %s\ndescription: %s\nrequires:    %s\nunits:       %s\n", p.name.c_str(),
                p.description.c_str(), join(p.requires_).c_str(), join(p.units).c_str());
    for (const auto& [page, classes] : p.pages)
        std::printf("palette:     %s: %s\n", page.c_str(), join(classes).c_str());
}

std::string BitmapPath(const std::string& dir, const std::string& cls)
{
    return (std::filesystem::path(dir) / (Upper(cls) + ".png")).string();
}

// No bitmap may be written over a package given: checked for every bitmap
// before the first is written.
void RefuseOverwritingPackages(const std::vector<PackageListing>& listings, const PaletteOptions& opts)
{
    std::vector<InputFile> packages;
    for (const std::string& path : opts.packages)
        packages.push_back({"the package", path});
    for (const PackageListing& listing : listings)
        for (const auto& [page, classes] : listing.pages)
            for (const std::string& cls : classes)
                RefuseOverwritingInput("--bitmaps", BitmapPath(opts.bitmapDir, cls), packages);
}

// Writes the palette bitmap of each listed class as <CLASS>.png into dir.
void WriteBitmaps(HMODULE module, const PackageListing& listing, const std::string& dir)
{
    std::error_code error, unknown;
    std::filesystem::create_directories(dir, error);
    const std::filesystem::file_status status = std::filesystem::status(dir, unknown);
    if (!std::filesystem::is_directory(status))
        throw Exception(
            "Cannot write the palette bitmaps into " + QuotedFileName(dir) + ": " +
            (std::filesystem::exists(status) ? std::string("it is a file, not a folder") : error.message()));
    for (const auto& [page, classes] : listing.pages)
        for (const std::string& cls : classes) {
            const std::string name = Upper(cls);
            TResourceBytes res = FindResource(module, name, "BITMAP");
            if (!res.Data)
                throw Exception("Package " + listing.name + " has no palette bitmap " + name);
            TDibImage dib = ReadDib(res.Data, res.Size);
            TBitmap bitmap(dib.Width, dib.Height);
            for (int y = 0; y < dib.Height; ++y)
                for (int x = 0; x < dib.Width; ++x) {
                    const std::uint32_t rgb = dib.Pixels[static_cast<std::size_t>(y) * dib.Width + x];
                    bitmap.Canvas().Brush().SetColor(
                        static_cast<TColor>((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF)));
                    bitmap.Canvas().FillRect({x, y, x + 1, y + 1});
                }
            bitmap.SaveToFile(BitmapPath(dir, cls));
        }
}

int Run(const PaletteOptions& opts)
{
    std::vector<HMODULE> loaded;
    struct Unloader {
        std::vector<HMODULE>& modules;
        ~Unloader()
        {
            for (auto it = modules.rbegin(); it != modules.rend(); ++it) {
                try {
                    UnloadPackage(*it);
                } catch (const Exception& e) {
                    std::fprintf(stderr, "%s\n", e.Message.c_str());
                } catch (...) {
                    std::fputs("qbarcode: a package could not be unloaded\n", stderr);
                }
            }
        }
    } unloader{loaded};
    int status = 0;
    // A package that cannot be loaded is reported and the others go on.
    for (const std::string& path : opts.packages) {
        try {
            // A bare name is a file in the working folder, as for any other
            // command; the loader would search the library path for it.
            std::error_code missing;
            const bool bare = path.find('/') == std::string::npos && std::filesystem::exists(path, missing);
            loaded.push_back(LoadPackage(bare ? "./" + path : path));
            InstallPackage(loaded.back());
        } catch (const EPackageError& e) {
            std::fprintf(stderr, "%s\n", e.Message.c_str());
            status = 1;
        }
    }
    std::vector<PackageListing> listings;
    for (HMODULE module : loaded)
        listings.push_back(List(module));
    if (!opts.bitmapDir.empty())
        RefuseOverwritingPackages(listings, opts);
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        Print(listings[i], opts.json);
        if (!opts.bitmapDir.empty())
            WriteBitmaps(loaded[i], listings[i], opts.bitmapDir);
    }
    return status;
}

} // namespace

std::function<int()> AddPaletteCommand(CLI::App& app)
{
    auto* cmd = app.add_subcommand("palette", "Load component packages as a host does and list their palette");
    auto opts = std::make_shared<PaletteOptions>();
    cmd->add_option("packages", opts->packages, "Package files, e.g. libKavrel.so")->required();
    cmd->add_flag("--json", opts->json, "Print one JSON object per package");
    cmd->add_option("--bitmaps", opts->bitmapDir, "Write the palette bitmaps as <CLASS>.png into this folder");
    return [opts] { return Run(*opts); };
}
