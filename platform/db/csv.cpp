#include "csv.h"

#include "qbarcode/sysutils.h"

#include <algorithm>
#include <cctype>

namespace qb {

namespace db {
namespace {

class CsvReader {
public:
    CsvReader(std::string_view text, std::string_view source) : text_(text), source_(source)
    {
        if (text_.starts_with("\xEF\xBB\xBF"))
            pos_ = 3;
    }

    // Reads the next record into `fields`; false at the end of the text.
    bool Next(std::vector<std::string>& fields, int& startLine)
    {
        SkipEmptyLines();
        if (pos_ >= text_.size())
            return false;
        startLine = line_;
        fields.clear();
        for (;;) {
            fields.push_back(ReadField(static_cast<int>(fields.size()) + 1));
            if (pos_ >= text_.size())
                return true;
            char c = text_[pos_];
            if (c == ',') {
                ++pos_;
                if (pos_ < text_.size())
                    continue;
                fields.emplace_back(); // a comma at the very end leaves one empty field
                return true;
            }
            ConsumeLineEnd();
            return true;
        }
    }

    [[noreturn]] void Fail(int line, std::string_view what) const
    {
        throw Exception(Format("%s, line %d: %s", {source_, static_cast<long long>(line), what}));
    }

private:
    bool AtLineEnd() const { return pos_ < text_.size() && (text_[pos_] == '\n' || text_[pos_] == '\r'); }

    void ConsumeLineEnd()
    {
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
            ++pos_;
        ++pos_;
        ++line_;
    }

    void SkipEmptyLines()
    {
        while (AtLineEnd())
            ConsumeLineEnd();
    }

    std::string ReadField(int column)
    {
        if (pos_ < text_.size() && text_[pos_] == '"')
            return ReadQuoted(column);
        std::string value;
        while (pos_ < text_.size() && text_[pos_] != ',' && !AtLineEnd()) {
            if (text_[pos_] == '"')
                Fail(line_, Format("stray quote in field %d", {static_cast<long long>(column)}));
            value += text_[pos_++];
        }
        return value;
    }

    std::string ReadQuoted(int column)
    {
        const int openedAt = line_;
        ++pos_;
        std::string value;
        for (;;) {
            if (pos_ >= text_.size())
                Fail(openedAt, Format("unterminated quoted field %d", {static_cast<long long>(column)}));
            char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    value += '"';
                    ++pos_;
                    continue;
                }
                if (pos_ < text_.size() && text_[pos_] != ',' && !AtLineEnd())
                    Fail(line_, Format("text after the closing quote of field %d", {static_cast<long long>(column)}));
                return value;
            }
            if (c == '\n')
                ++line_;
            else if (c == '\r' && (pos_ >= text_.size() || text_[pos_] != '\n'))
                ++line_;
            value += c;
        }
    }

    std::string_view text_;
    std::string_view source_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b,
                              [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

CsvTable ParseCsv(std::string_view text, std::string_view source)
{
    CsvReader reader(text, source);
    CsvTable table;
    int line = 1;
    if (!reader.Next(table.header, line))
        reader.Fail(1, "no header row");
    for (std::size_t i = 0; i < table.header.size(); ++i) {
        const std::string& name = table.header[i];
        if (name.empty())
            reader.Fail(line, Format("empty field name in column %d", {static_cast<long long>(i + 1)}));
        for (std::size_t j = 0; j < i; ++j)
            if (SameNameIgnoringCase(table.header[j], name))
                reader.Fail(line, Format("duplicate field name '%s'", {name}));
    }
    std::vector<std::string> fields;
    while (reader.Next(fields, line)) {
        if (fields.size() != table.header.size())
            reader.Fail(line,
                        Format("%d fields where the header has %d",
                               {static_cast<long long>(fields.size()), static_cast<long long>(table.header.size())}));
        table.records.push_back(std::move(fields));
        fields = {};
    }
    return table;
}

} // namespace db

} // namespace qb
