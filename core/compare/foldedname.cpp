#include "core/compare/foldedname.h"

#include "engine/ktb_io.h"

#include <cstring>

std::string_view foldedName(std::string_view name)
{
    thread_local std::string folded;
    ktbFoldName(name, folded);
    return folded;
}

std::uint64_t hashBytes(std::string_view bytes)
{
    // Eight bytes at a time, each word mixed in by one multiplication.
    constexpr std::uint64_t factor = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = bytes.size() * factor;
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, 8);
        hash = (hash ^ word) * factor;
        hash ^= hash >> 29;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
    hash = (hash ^ tail) * factor;
    return hash ^ (hash >> 32);
}

std::uint64_t foldedNameHash(std::string_view name) { return hashBytes(foldedName(name)); }

bool sameFoldedName(std::string_view a, std::string_view b)
{
    std::string first;
    std::string second;
    ktbFoldName(a, first);
    ktbFoldName(b, second);
    return first == second;
}
