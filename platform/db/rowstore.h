// Compact storage of a dataset's rows: every row is encoded into one shared
// byte arena, so a hundred thousand rows cost their bytes plus one offset each
// instead of a vector of variants per row.
#pragma once

#include "qbarcode/db.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qb {

namespace db {

using Row = std::vector<TFieldValue>;

class RowStore {
public:
    std::size_t Size() const { return offsets_.size(); }
    void Clear();
    /// Decodes row `index` into `out` (resized to the row's value count).
    void Get(std::size_t index, Row& out) const;
    void Insert(std::size_t index, const Row& row);
    void Append(const Row& row) { Insert(offsets_.size(), row); }
    void Replace(std::size_t index, const Row& row);
    void Erase(std::size_t index);
    /// Bytes held, for the memory tests.
    std::size_t Capacity() const { return arena_.capacity() + offsets_.capacity() * sizeof(std::size_t); }

private:
    std::size_t Encode(const Row& row);
    std::size_t EncodedSize(std::size_t offset) const;
    void CompactIfWasteful();

    std::string arena_;
    std::vector<std::size_t> offsets_;
    std::size_t garbage_ = 0;
};

} // namespace db

} // namespace qb
