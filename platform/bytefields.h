#pragma once
// Numbers stored in the byte fields of disc structures.

#include <cstdint>

inline std::uint16_t little16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

inline std::uint32_t little32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8
        | static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

inline std::uint64_t little64(const std::uint8_t* at)
{
    return static_cast<std::uint64_t>(little32(at)) | static_cast<std::uint64_t>(little32(at + 4)) << 32;
}
