#pragma once
// Two small containers: a list of integers and an owned array of 32-bit offsets.

#include <cstdint>
#include <memory>
#include <vector>

/// A list of 32-bit signed integers.
class TIntegerList {
public:
    /// Appends value and answers its index.
    int Add(std::int32_t value);
    /// The value at index; throws std::out_of_range outside the list.
    std::int32_t Get(int index) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear() { m_items.clear(); }

private:
    std::vector<std::int32_t> m_items;
};

/// An owned array of 32-bit values: a copy of a cursor's Chain. A chain of a few levels, the usual
/// one, is held inside the object: a search keeps one for each of its many results.
class TArrayStack {
public:
    TArrayStack() = default;
    TArrayStack(const TArrayStack&) = delete;
    TArrayStack& operator=(const TArrayStack&) = delete;
    /// Sets the length to count and copies count values.
    void Assign(const std::uint32_t* values, int count);
    int Count() const { return m_count; }
    /// The value at index; an index below 0 means the last one; 0 when empty or out of range.
    std::uint32_t Get(int index) const;
    void Clear() { Assign(nullptr, 0); }
    /// A copy of the values.
    std::vector<std::uint32_t> Values() const { return { data(), data() + m_count }; }

private:
    static constexpr int InlineCount = 8;
    const std::uint32_t* data() const { return m_count <= InlineCount ? m_inline : m_outside.get(); }

    std::uint32_t m_inline[InlineCount] = {};
    std::unique_ptr<std::uint32_t[]> m_outside;
    int m_count = 0;
};
