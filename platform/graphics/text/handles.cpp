// Handle tables for fonts and device contexts.
#include "text/handles.h"
#include "text/font_cache.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace qb {

namespace gfx {
namespace {

// A handle encodes a table tag, a slot index and the slot's generation, so a
// handle whose object was deleted (even if the slot was reused since) or a
// made-up value is recognised and refused, never dereferenced.
template <class T> class HandleTable {
public:
    explicit HandleTable(std::uint64_t tag) : tag_(tag) {}

    std::uint64_t Add(std::shared_ptr<T> object)
    {
        std::lock_guard lock(mutex_);
        std::uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.emplace_back();
        }
        Slot& slot = slots_[index];
        slot.generation = (slot.generation + 1) & kGenerationMask;
        slot.object = std::move(object);
        return tag_ << 60 | std::uint64_t(slot.generation) << 32 | (std::uint64_t(index) + 1);
    }

    std::shared_ptr<T> Find(std::uint64_t handle)
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Locate(handle);
        return slot ? slot->object : nullptr;
    }

    /// Removes the object; returns it (null if the handle was not valid).
    std::shared_ptr<T> Remove(std::uint64_t handle)
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Locate(handle);
        if (!slot)
            return nullptr;
        free_.push_back(static_cast<std::uint32_t>(slot - slots_.data()));
        return std::move(slot->object);
    }

private:
    static constexpr std::uint32_t kGenerationMask = 0x0FFFFFFF;
    struct Slot {
        std::uint32_t generation = 0;
        std::shared_ptr<T> object;
    };

    Slot* Locate(std::uint64_t handle)
    {
        if (handle >> 60 != tag_)
            return nullptr;
        std::uint64_t index = (handle & 0xFFFFFFFF) - 1;
        std::uint32_t generation = (handle >> 32) & kGenerationMask;
        if (index >= slots_.size())
            return nullptr;
        Slot& slot = slots_[index];
        return slot.object && slot.generation == generation ? &slot : nullptr;
    }

    const std::uint64_t tag_;
    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
};

static_assert(sizeof(void*) == 8, "handles carry 64 bits");

// The tables live until the process ends (never destroyed), so objects in
// other static storage, such as the global printer's canvas, can release
// their handles at exit in any order.
HandleTable<GdiFont>& Fonts()
{
    static auto* table = new HandleTable<GdiFont>(0x5);
    return *table;
}

HandleTable<DeviceContext>& DeviceContexts()
{
    static auto* table = new HandleTable<DeviceContext>(0xD);
    return *table;
}

std::uint64_t Raw(const void* handle)
{
    return reinterpret_cast<std::uintptr_t>(handle);
}

} // namespace

const std::shared_ptr<FontResource>& GdiFont::Resource()
{
    if (!resource_)
        resource_ = ResolveFont(lf);
    return resource_;
}

HGDIOBJ RegisterFont(std::shared_ptr<GdiFont> font)
{
    return reinterpret_cast<HGDIOBJ>(Fonts().Add(std::move(font)));
}

std::shared_ptr<GdiFont> FindFont(HGDIOBJ handle)
{
    return Fonts().Find(Raw(handle));
}

bool UnregisterFont(HGDIOBJ handle)
{
    return Fonts().Remove(Raw(handle)) != nullptr;
}

HDC RegisterDeviceContext(std::shared_ptr<DeviceContext> dc)
{
    return reinterpret_cast<HDC>(DeviceContexts().Add(std::move(dc)));
}

std::shared_ptr<DeviceContext> FindDeviceContext(HDC handle)
{
    return DeviceContexts().Find(Raw(handle));
}

void UnregisterDeviceContext(HDC handle)
{
    DeviceContexts().Remove(Raw(handle));
}

const std::shared_ptr<GdiFont>& FontAccess::Object(const TFont& font)
{
    font.Handle();
    return font.object_;
}

} // namespace gfx

} // namespace qb
