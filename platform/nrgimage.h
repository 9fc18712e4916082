#pragma once
// Nero images (.nrg), read by us: the sectors first, then chunks describing them, found through the
// footer ("NER5" and a 64-bit offset, or "NERO" and a 32-bit one). Disc-at-once images describe their
// tracks in a DAOX (DAOI) chunk: sector size, mode and the file offsets of index 0, index 1 and the
// track's end, the pregap of track 1 stored before sector 0. Track-at-once images list theirs in ETN2
// (ETNF) chunks, each track after a 150-sector gap the file leaves out, and one SINF chunk a session.
// libcdio's driver reads the sectors of both kinds at wrong offsets, so it is not used.

#include "platform/trackimage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

/// Lays out a Nero image from the last bytes of its file (tail: up to its whole chunk area and footer)
/// for a file of fileBytes bytes at imagePath; false with a problem.
bool parseNrg(std::string_view tail, std::uint64_t fileBytes, const std::string& imagePath, TrackLayout& layout,
    std::string& problem);

/// Opens the Nero image at path; null with a problem.
std::shared_ptr<TrackSource> openNrgImage(const std::string& path, std::string& problem);
