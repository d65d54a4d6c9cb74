// Temporary databases for the database layer's suites.
#pragma once

#include "qbarcode/db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

using namespace qb;

namespace dbtest {

/// A directory removed with everything in it when the test ends.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qb_db_XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// A plain connection of its own, for preparing files and checking what is stored.
class Connection {
public:
    explicit Connection(const std::string& path)
    {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK)
            ADD_FAILURE() << sqlite3_errmsg(db_);
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Runs statements; a failure fails the test.
    void Exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << (error ? error : "");
            sqlite3_free(error);
        }
    }
    /// The first column of every row of a query, as text ("NULL" for null), joined by '|'.
    std::string Query(const std::string& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return {};
        }
        std::string out;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(stmt, 0);
            out += (out.empty() ? "" : "|") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(stmt);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

/// The products every suite starts from: three rows, the third without a price.
inline const char* kProductsSql = "CREATE TABLE products (id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE, "
                                  "name TEXT, price REAL);"
                                  "INSERT INTO products VALUES (1, '590123412345', 'Apple', 1.5),"
                                  "(2, '400638133393', 'Pear', 2.25), (3, '978020137962', 'Plum', NULL);";

/// The message of what `f` raises as an Exception, or "(nothing raised)".
template <typename F> std::string MessageOf(F f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "(nothing raised)";
}

} // namespace dbtest
