#pragma once
// What the disc reader fuzzers share: sectors held in fuzz input, and a walk over a medium that checks
// the drive layer's promises.
//
// The input is a sparse image: records of a 4-byte little-endian sector number and the 2048 bytes of
// that sector; sectors no record names read as zeros up to the highest one named. The seed writer turns
// images into this form by leaving out their zero sectors.

#include "platform/sectorsource.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class Medium;

class SparseSectors final : public SectorSource {
public:
    /// The sectors of a fuzz input; the image ends after the highest sector named, at most maxSectors.
    SparseSectors(const std::uint8_t* data, std::size_t size, std::uint32_t maxSectors = 1 << 16);
    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer) override;
    std::uint64_t sectorCount() const override { return m_count; }

private:
    std::map<std::uint32_t, std::vector<std::uint8_t>> m_sectors;
    std::uint64_t m_count = 0;
};

/// A fuzz input of an image's bytes: every sector that is not all zeros, with its number.
std::string sparseImage(const std::string& image);

/// Walks every folder of the medium as a recording does and asks for a folder by path; the text of
/// the first broken promise (a name without its end, longer than 259 characters, a walk that does not
/// end), empty when there is none.
std::string exerciseMedium(Medium& medium);
