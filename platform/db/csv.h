// RFC 4180 reader used by the in-memory dataset's CSV import.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qb {

namespace db {

/// One parsed CSV file: the header's field names and the records under it,
/// each with exactly as many values as the header.
struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> records;
};

/// Parses `text`: comma-separated fields, records ended by CRLF or LF, fields
/// in double quotes may hold commas, line breaks and doubled quotes. A UTF-8
/// byte-order mark is skipped; completely empty lines are skipped. The first
/// record names the fields. A malformed text raises Exception
/// "<source>, line <n>: <what>" where n counts physical lines from 1.
CsvTable ParseCsv(std::string_view text, std::string_view source);

} // namespace db

} // namespace qb
