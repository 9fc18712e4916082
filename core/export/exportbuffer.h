#pragma once
// The output buffer of an export: appends as std::string does, without its per-call overhead, and a
// window to write a whole row through a pointer. Rows are written here by the million.

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

class ExportBuffer {
public:
    ExportBuffer()
        : m_data(std::make_unique<char[]>(s_initialCapacity))
        , m_capacity(s_initialCapacity)
    {
    }

    void append(const char* bytes, std::size_t count)
    {
        if (count > m_capacity - m_size) {
            grow(count);
        }
        std::memcpy(m_data.get() + m_size, bytes, count);
        m_size += count;
    }
    void append(std::string_view text) { append(text.data(), text.size()); }
    void push_back(char c)
    {
        if (m_size == m_capacity) {
            grow(1);
        }
        m_data[m_size++] = c;
    }
    ExportBuffer& operator+=(char c)
    {
        push_back(c);
        return *this;
    }
    ExportBuffer& operator+=(std::string_view text)
    {
        append(text);
        return *this;
    }

    /// Room for count more bytes: write through the pointer, then commit() the end of what was written.
    char* reserve(std::size_t count)
    {
        if (count > m_capacity - m_size) {
            grow(count);
        }
        return m_data.get() + m_size;
    }
    void commit(const char* end) { m_size = static_cast<std::size_t>(end - m_data.get()); }

    const char* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    /// Cuts the buffer back to size bytes (never longer).
    void resize(std::size_t size) { m_size = size < m_size ? size : m_size; }
    void clear() { m_size = 0; }

private:
    static constexpr std::size_t s_initialCapacity = 2u << 20;

    void grow(std::size_t count)
    {
        std::size_t capacity = m_capacity * 2;
        while (capacity - m_size < count) {
            capacity *= 2;
        }
        auto data = std::make_unique<char[]>(capacity);
        std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity;
    std::size_t m_size = 0;
};
