#include "engine/Containers.h"

#include <algorithm>
#include <stdexcept>
#include <string>

int TIntegerList::Add(std::int32_t value)
{
    m_items.push_back(value);
    return static_cast<int>(m_items.size()) - 1;
}

std::int32_t TIntegerList::Get(int index) const
{
    if (index < 0 || index >= Count()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return m_items[static_cast<std::size_t>(index)];
}

void TArrayStack::Assign(const std::uint32_t* values, int count)
{
    if (values == nullptr || count <= 0) {
        m_outside.reset();
        m_count = 0;
        return;
    }
    if (count > InlineCount) {
        auto outside = std::make_unique<std::uint32_t[]>(static_cast<std::size_t>(count));
        std::copy(values, values + count, outside.get()); // values may lie in the old array
        m_outside = std::move(outside);
        m_count = count;
        return;
    }
    std::copy(values, values + count, m_inline); // before the array values may lie in goes
    m_outside.reset();
    m_count = count;
}

std::uint32_t TArrayStack::Get(int index) const
{
    if (m_count == 0) {
        return 0;
    }
    if (index < 0) {
        return data()[m_count - 1];
    }
    if (index >= m_count) {
        return 0;
    }
    return data()[index];
}
