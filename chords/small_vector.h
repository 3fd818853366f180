// A vector whose first N elements live inside it: a line's few chords, edits and note names
// stay on the stack, a long line's move to the heap. Only for plain data (trivially copyable,
// trivially destructible), and elements are not initialised: a slot is only read once written.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <span>
#include <type_traits>

namespace melvane::chords {

template <typename T, std::size_t N>
class SmallVector {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    static_assert(N > 0);

  public:
    SmallVector() = default;
    SmallVector(const SmallVector&) = delete;
    SmallVector& operator=(const SmallVector&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

    // Keeps the memory, so a vector reused from line to line allocates once.
    void clear() { size_ = 0; }

    void push_back(const T& value) {
        const T copy = value;  // `value` may live in the memory that Slot() gives up
        Slot() = copy;
        ++size_;
    }

    void append(std::span<const T> values) {
        Reserve(size_ + values.size());
        if (!values.empty()) {
            std::memcpy(data_ + size_, values.data(), values.size() * sizeof(T));
        }
        size_ += values.size();
    }

    // The slot after the last element, to be filled in place; it becomes an element only when
    // Grow() follows.
    T& Slot() {
        Reserve(size_ + 1);
        return data_[size_];
    }
    void Grow() { ++size_; }

  private:
    void Reserve(std::size_t wanted) {
        if (wanted <= capacity_) {
            return;
        }
        std::size_t capacity = capacity_ * 2;
        if (capacity < wanted) {
            capacity = wanted;
        }
        auto grown = std::make_unique_for_overwrite<T[]>(capacity);
        std::memcpy(grown.get(), data_, size_ * sizeof(T));
        heap_ = std::move(grown);
        data_ = heap_.get();
        capacity_ = capacity;
    }

    T inline_[N];  // only the first size_ are set while data_ points here
    std::unique_ptr<T[]> heap_;
    T* data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = N;
};

}  // namespace melvane::chords
