#include "engine/Containers.h"

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
        m_values.clear();
        return;
    }
    m_values.assign(values, values + count);
}

std::uint32_t TArrayStack::Get(int index) const
{
    if (m_values.empty()) {
        return 0;
    }
    if (index < 0) {
        return m_values.back();
    }
    if (index >= Count()) {
        return 0;
    }
    return m_values[static_cast<std::size_t>(index)];
}
