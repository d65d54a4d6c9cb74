// Label sheets: `qbarcode labels` run in-process over an SQLite table of
// EAN-13 codes with names, into a PDF in the memory file system. Items are
// labels.
#include "common.h"

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

using namespace qb;

namespace {

constexpr int kRecords = 2400; // 100 pages of 3 x 8 labels

std::filesystem::path BenchDir()
{
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    auto dir = base / ("qb-bench-labels-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

void MakeProducts(const std::string& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const std::string sql = "CREATE TABLE products (id INTEGER PRIMARY KEY, code TEXT, name TEXT);"
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                            std::to_string(kRecords) +
                            ") INSERT INTO products (code, name) SELECT printf('4%011d', (i * 7919) % 100000000 + i), "
                            "'Product number ' || i FROM n;";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void BM_LabelsToPdf(benchmark::State& state)
{
    const auto dir = BenchDir();
    const std::string db = (dir / "products.db").string(), pdf = (dir / "labels.pdf").string();
    MakeProducts(db);
    std::vector<std::string> args = {"qbarcode",   "labels",          "--db", db,       "--table",
                                     "products",   "--field",         "code", "--type", "ean13",
                                     "--checksum", "--caption-field", "name", "-o",     pdf};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    // The summary line of every run stays out of the report.
    const int savedErr = ::dup(2), null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    for (auto _ : state) {
        CLI::App app;
        auto run = AddLabelsCommand(app);
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (run() != 0)
            state.SkipWithError("labels failed");
    }
    ::dup2(savedErr, 2);
    ::close(savedErr), ::close(null);
    state.SetItemsProcessed(state.iterations() * kRecords);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LabelsToPdf)->Unit(benchmark::kMillisecond);

} // namespace
