#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

namespace db {

// Raw storage behind PageArray. Small buffers come from malloc; from kMappedBytes on they are
// mapped from the kernel directly, so that growing moves page tables instead of copying the
// cells (no second copy at the peak), pages never written cost nothing, and freeing hands the
// pages back at once, whichever thread allocated them.
namespace pages {
constexpr size_t kMappedBytes = size_t(64) << 10;
// The capacity in bytes actually held for a request of bytes.
size_t roundUp(size_t bytes);
// Moves usedBytes of p (holding oldBytes) into a buffer of newBytes (both rounded); throws
// std::bad_alloc when the memory is not there.
void* resize(void* p, size_t oldBytes, size_t newBytes, size_t usedBytes);
void release(void* p, size_t bytes);
} // namespace pages

// A growable array of plain values (cells of a column, offsets, row numbers) on pages::.
template <class T> class PageArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;

    PageArray() = default;
    ~PageArray() { pages::release(m_data, m_cap * sizeof(T)); }
    PageArray(const PageArray& other) { append(other.data(), other.size()); }
    PageArray& operator=(const PageArray& other) {
        if (this != &other) {
            clear();
            append(other.data(), other.size());
        }
        return *this;
    }
    PageArray(PageArray&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
          m_cap(std::exchange(other.m_cap, 0)) {}
    PageArray& operator=(PageArray&& other) noexcept {
        if (this != &other) {
            pages::release(m_data, m_cap * sizeof(T));
            m_data = std::exchange(other.m_data, nullptr);
            m_size = std::exchange(other.m_size, 0);
            m_cap = std::exchange(other.m_cap, 0);
        }
        return *this;
    }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    size_t capacity() const { return m_cap; }
    // What the array keeps resident: mapped pages past the last value are never touched.
    size_t memoryBytes() const {
        return m_cap * sizeof(T) < pages::kMappedBytes ? m_cap * sizeof(T)
                                                       : pages::roundUp(m_size * sizeof(T));
    }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T& back() { return m_data[m_size - 1]; }
    const T& back() const { return m_data[m_size - 1]; }

    void reserve(size_t n) {
        if (n > m_cap) setCapacity(n);
    }
    void push_back(T v) {
        if (m_size == m_cap) grow(m_size + 1);
        m_data[m_size++] = v;
    }
    void append(const T* from, size_t n) {
        if (n == 0) return;
        if (m_size + n > m_cap) grow(m_size + n);
        std::memcpy(m_data + m_size, from, n * sizeof(T));
        m_size += n;
    }
    // New values are zero.
    void resize(size_t n) {
        const size_t old = m_size;
        resizeForOverwrite(n);
        if (n > old) std::memset(m_data + old, 0, (n - old) * sizeof(T));
    }
    // New values are left as they are, for a caller that writes them next.
    void resizeForOverwrite(size_t n) {
        if (n > m_cap) grow(n);
        m_size = n;
    }
    void clear() { m_size = 0; }
    void erase(T* at) {
        std::memmove(at, at + 1, size_t(end() - at - 1) * sizeof(T));
        --m_size;
    }
    void assign(const T* first, const T* last) {
        clear();
        append(first, size_t(last - first));
    }
    void swap(PageArray& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_cap, other.m_cap);
    }
    void shrink_to_fit() {
        if (m_cap != m_size) setCapacity(m_size);
    }

    // Text in a byte arena.
    void append(std::string_view s) requires std::is_same_v<T, char> { append(s.data(), s.size()); }
    PageArray& operator+=(char c) requires std::is_same_v<T, char> {
        push_back(c);
        return *this;
    }

private:
    void grow(size_t need) {
        // Doubling reserves only address space once mapped; below that, malloc's own steps.
        setCapacity(need > 2 * m_cap ? need : 2 * m_cap);
    }
    void setCapacity(size_t n) {
        const size_t bytes = n == 0 ? 0 : pages::roundUp(n * sizeof(T));
        m_data =
            static_cast<T*>(pages::resize(m_data, m_cap * sizeof(T), bytes, m_size * sizeof(T)));
        m_cap = bytes / sizeof(T);
    }

    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_cap = 0;
};

} // namespace db
