#include "qbarcode/db.h"

#include "csv.h"
#include "rowstore.h"

#include <fstream>
#include <sstream>

#include <sys/stat.h>

namespace qb {

QB_IMPLEMENT_COMPONENT(TMemDataSet, TDataSet)
QB_NO_PROPERTIES(TMemDataSet)

TMemDataSet::TMemDataSet(TComponent* owner) : TDataSet(owner) {}

TMemDataSet::~TMemDataSet()
{
    Close();
}

void TMemDataSet::AddFieldDef(const std::string& name, TFieldType type, bool readOnly)
{
    CheckInactive();
    // Stored rows hold one value per field: a new field would not line up with them.
    if (Rows().Size() > 0)
        throw EDatabaseError(NamedMessage("Cannot add a field to a dataset holding rows"));
    defs_.push_back({name, type, readOnly});
}

void TMemDataSet::ClearDefinitions()
{
    CheckInactive();
    defs_.clear();
    Rows().Clear();
}

void TMemDataSet::AppendRecord(const std::vector<TFieldValue>& values)
{
    CheckBrowseMode();
    if (values.size() != defs_.size())
        throw EDatabaseError(NamedMessage(Format(
            "%d values for %d fields", {static_cast<long long>(values.size()), static_cast<long long>(defs_.size())})));
    Rows().Append(values);
    Last();
}

void TMemDataSet::LoadFromCsv(const std::string& text, const std::string& source)
{
    db::CsvTable table = db::ParseCsv(text, source);
    Close();
    defs_.clear();
    for (const std::string& name : table.header)
        defs_.push_back({name, ftString, false});
    db::RowStore& rows = Rows();
    rows.Clear();
    db::Row row;
    for (auto& record : table.records) {
        row.assign(std::make_move_iterator(record.begin()), std::make_move_iterator(record.end()));
        rows.Append(row);
        record = {}; // the parsed text is let go as the compact rows grow
    }
    Open();
}

void TMemDataSet::LoadFromCsvFile(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw EDatabaseError(Format("Cannot open file '%s': it is a folder", {path}));
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EDatabaseError(Format("Cannot open file '%s'", {path}));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw EDatabaseError(Format("Cannot read file '%s'", {path}));
    LoadFromCsv(text.str(), path);
}

std::vector<TDataSet::FieldDef> TMemDataSet::InternalOpen()
{
    if (defs_.empty())
        throw EDatabaseError(NamedMessage("No fields defined"));
    return defs_;
}

void TMemDataSet::InternalPost(bool, const std::vector<TFieldValue>&, std::vector<TFieldValue>&) {}

void TMemDataSet::InternalDelete(const std::vector<TFieldValue>&) {}

} // namespace qb
