#include "rowstore.h"

#include <cstring>

namespace qb {

namespace db {
namespace {

// Row encoding: a varint value count, then per value a tag byte and its bytes
// (8 raw bytes for integers and reals, a varint length and the bytes for text).
enum Tag : unsigned char { kNull, kInteger, kFloat, kText };

void PutVarint(std::string& out, std::size_t v)
{
    while (v >= 0x80) {
        out += static_cast<char>(v | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

std::size_t GetVarint(const std::string& in, std::size_t& pos)
{
    std::size_t v = 0;
    for (int shift = 0;; shift += 7) {
        auto byte = static_cast<unsigned char>(in[pos++]);
        v |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return v;
    }
}

template <typename T> void PutRaw(std::string& out, T v)
{
    char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    out.append(bytes, sizeof v);
}

template <typename T> T GetRaw(const std::string& in, std::size_t& pos)
{
    T v;
    std::memcpy(&v, in.data() + pos, sizeof v);
    pos += sizeof v;
    return v;
}

} // namespace

void RowStore::Clear()
{
    arena_.clear();
    arena_.shrink_to_fit();
    offsets_.clear();
    offsets_.shrink_to_fit();
    garbage_ = 0;
}

std::size_t RowStore::Encode(const Row& row)
{
    std::size_t offset = arena_.size();
    PutVarint(arena_, row.size());
    for (const TFieldValue& value : row) {
        if (const auto* i = std::get_if<long long>(&value)) {
            arena_ += static_cast<char>(kInteger);
            PutRaw(arena_, *i);
        } else if (const auto* d = std::get_if<double>(&value)) {
            arena_ += static_cast<char>(kFloat);
            PutRaw(arena_, *d);
        } else if (const auto* s = std::get_if<std::string>(&value)) {
            arena_ += static_cast<char>(kText);
            PutVarint(arena_, s->size());
            arena_ += *s;
        } else {
            arena_ += static_cast<char>(kNull);
        }
    }
    return offset;
}

void RowStore::Get(std::size_t index, Row& out) const
{
    std::size_t pos = offsets_.at(index);
    out.resize(GetVarint(arena_, pos));
    for (TFieldValue& value : out) {
        switch (static_cast<unsigned char>(arena_[pos++])) {
        case kInteger:
            value = GetRaw<long long>(arena_, pos);
            break;
        case kFloat:
            value = GetRaw<double>(arena_, pos);
            break;
        case kText: {
            std::size_t length = GetVarint(arena_, pos);
            if (auto* s = std::get_if<std::string>(&value))
                s->assign(arena_, pos, length); // keeps the buffer's capacity while scrolling
            else
                value = arena_.substr(pos, length);
            pos += length;
            break;
        }
        default:
            value = std::monostate{};
        }
    }
}

std::size_t RowStore::EncodedSize(std::size_t offset) const
{
    std::size_t pos = offset;
    std::size_t count = GetVarint(arena_, pos);
    for (std::size_t i = 0; i < count; ++i) {
        switch (static_cast<unsigned char>(arena_[pos++])) {
        case kInteger:
        case kFloat:
            pos += 8;
            break;
        case kText:
            pos += GetVarint(arena_, pos);
            break;
        default:
            break;
        }
    }
    return pos - offset;
}

void RowStore::Insert(std::size_t index, const Row& row)
{
    std::size_t offset = Encode(row);
    offsets_.insert(offsets_.begin() + static_cast<std::ptrdiff_t>(index), offset);
}

void RowStore::Replace(std::size_t index, const Row& row)
{
    garbage_ += EncodedSize(offsets_.at(index));
    offsets_[index] = Encode(row);
    CompactIfWasteful();
}

void RowStore::Erase(std::size_t index)
{
    garbage_ += EncodedSize(offsets_.at(index));
    offsets_.erase(offsets_.begin() + static_cast<std::ptrdiff_t>(index));
    CompactIfWasteful();
}

// Rewritten rows leave their old bytes behind; once they are most of the
// arena, the live rows are copied into a fresh one.
void RowStore::CompactIfWasteful()
{
    if (garbage_ < 65536 || garbage_ * 2 < arena_.size())
        return;
    std::string fresh;
    fresh.reserve(arena_.size() - garbage_);
    for (std::size_t& offset : offsets_) {
        std::size_t size = EncodedSize(offset);
        std::size_t moved = fresh.size();
        fresh.append(arena_, offset, size);
        offset = moved;
    }
    arena_ = std::move(fresh);
    garbage_ = 0;
}

} // namespace db

} // namespace qb
