#pragma once
// Two small containers: a list of integers and an owned array of 32-bit offsets.

#include <cstdint>
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

/// An owned array of 32-bit values: a copy of a cursor's Chain.
class TArrayStack {
public:
    ~TArrayStack() { Clear(); }
    /// Sets the length to count and copies count values.
    void Assign(const std::uint32_t* values, int count);
    int Count() const { return static_cast<int>(m_values.size()); }
    /// The value at index; an index below 0 means the last one; 0 when empty or out of range.
    std::uint32_t Get(int index) const;
    void Clear() { m_values.clear(); }
    const std::vector<std::uint32_t>& Values() const { return m_values; }

private:
    std::vector<std::uint32_t> m_values;
};
