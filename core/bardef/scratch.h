// A working buffer of a length known at run time: on the stack for the usual
// lengths, on the heap beyond, so that encoding a typical text allocates
// nothing of its own. Its elements start unset (they are plain data).
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>

namespace qb {

template <typename T, std::size_t N> class Scratch {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    explicit Scratch(std::size_t n)
    {
        if (n > N) {
            heap_ = std::make_unique_for_overwrite<T[]>(n);
            data_ = heap_.get();
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* data() { return data_; }

private:
    alignas(T) unsigned char local_[N * sizeof(T)];
    std::unique_ptr<T[]> heap_;
    T* data_ = reinterpret_cast<T*>(local_);
};

} // namespace qb
