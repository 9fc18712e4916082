#pragma once
// CloneCD images: the control file (.ccd) holds the disc's table of contents as [Entry n] sections of
// the raw TOC (point 1..99 a track, point 0xA2 a session's lead-out), the image (.img beside it) every
// sector from the first on as raw 2352 bytes. The sub-channel file (.sub) is not needed.

#include "platform/trackimage.h"

#include <memory>
#include <string>
#include <string_view>

/// Lays out a CloneCD disc from its control file's text over an image file of imageBytes bytes; false
/// with a problem.
bool parseCloneCd(std::string_view text, const std::string& imagePath, std::uint64_t imageBytes, TrackLayout& layout,
    std::string& problem);

/// The image of a control file: its name with ".img" (any letter case) beside it; empty when missing.
std::string cloneCdImageOf(const std::string& controlPath);
/// The control file of an image: its name with ".ccd" (any letter case) beside it; empty when missing.
std::string cloneCdControlOf(const std::string& imagePath);

/// Opens the CloneCD image whose control file is at path; null with a problem.
std::shared_ptr<TrackSource> openCloneCd(const std::string& controlPath, std::string& problem);
