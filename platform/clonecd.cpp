#include "platform/clonecd.h"

#include "platform/virtualdrives.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

constexpr std::uint32_t s_rawSector = 2352;
constexpr int s_leadOutPoint = 0xA2;

struct TocEntry {
    long Session = 1;
    long Point = -1;
    long Adr = 1;
    long Control = 0;
    long Lba = 0;
    bool HasLba = false;
    long Minutes = -1;
    long Seconds = -1;
    long Frames = -1;
};

// "0x1a", "26" or "-150" (a leading zero is no octal number); false when it is no number.
bool parseValue(const std::string& text, long& value)
{
    if (text.empty() || text.size() > 12) {
        return false;
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    return *end == '\0';
}

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The key=value pairs of every section, by section name in upper case.
std::map<std::string, std::map<std::string, std::string>> readSections(std::string_view text)
{
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::map<std::string, std::string>* current = nullptr;
    for (const std::string& raw : splitListLines(text)) {
        const std::string line = trimmed(raw);
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            current = &sections[upperAscii(trimmed(line.substr(1, line.size() - 2)))];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current != nullptr && equals != std::string::npos) {
            (*current)[upperAscii(trimmed(line.substr(0, equals)))] = trimmed(line.substr(equals + 1));
        }
    }
    return sections;
}

bool readEntry(const std::map<std::string, std::string>& keys, TocEntry& entry)
{
    const auto value = [&](const char* key, long& out) {
        const auto found = keys.find(key);
        return found != keys.end() && parseValue(found->second, out);
    };
    if (!value("POINT", entry.Point)) {
        return false;
    }
    value("SESSION", entry.Session);
    value("ADR", entry.Adr);
    value("CONTROL", entry.Control);
    entry.HasLba = value("PLBA", entry.Lba);
    value("PMIN", entry.Minutes);
    value("PSEC", entry.Seconds);
    value("PFRAME", entry.Frames);
    if (!entry.HasLba && entry.Minutes >= 0 && entry.Seconds >= 0 && entry.Frames >= 0) {
        entry.Lba = (entry.Minutes * 60 + entry.Seconds) * 75 + entry.Frames - 150;
        entry.HasLba = true;
    }
    return entry.HasLba;
}

std::string withExtension(const std::string& path, const char* extension)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::string stem
        = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
    const std::size_t cut = stem.rfind('/');
    return findImagePart(folderOf(path), (cut == std::string::npos ? stem : stem.substr(cut + 1)) + extension);
}

} // namespace

bool parseCloneCd(std::string_view text, const std::string& imagePath, std::uint64_t imageBytes, TrackLayout& layout,
    std::string& problem)
{
    layout = TrackLayout();
    const auto sections = readSections(text);
    const auto disc = sections.find("DISC");
    if (sections.find("CLONECD") == sections.end() || disc == sections.end()) {
        problem = "it is no CloneCD control file";
        return false;
    }
    const auto scrambled = disc->second.find("DATATRACKSSCRAMBLED");
    if (scrambled != disc->second.end() && scrambled->second != "0") {
        problem = "its data tracks are stored scrambled";
        return false;
    }
    struct Track {
        int Number;
        long Session;
        bool Audio;
        long Start;
    };
    std::vector<Track> tracks;
    std::map<long, long> leadOuts; // by session
    for (const auto& [name, keys] : sections) {
        TocEntry entry;
        if (name.rfind("ENTRY ", 0) != 0 || !readEntry(keys, entry) || entry.Adr != 1) {
            continue;
        }
        if (entry.Point >= 1 && entry.Point <= 99) {
            tracks.push_back({ static_cast<int>(entry.Point), entry.Session, (entry.Control & 4) == 0, entry.Lba });
        } else if (entry.Point == s_leadOutPoint) {
            leadOuts[entry.Session] = entry.Lba;
        }
    }
    if (tracks.empty() || leadOuts.empty()) {
        problem = "its table of contents has no tracks or no lead-out";
        return false;
    }
    std::sort(tracks.begin(), tracks.end(), [](const Track& a, const Track& b) { return a.Number < b.Number; });
    layout.Files.push_back(imagePath);
    const std::uint64_t imageSectors = imageBytes / s_rawSector;
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        const Track& track = tracks[index];
        const auto leadOut = leadOuts.find(track.Session);
        const bool sessionGoesOn = index + 1 < tracks.size() && tracks[index + 1].Session == track.Session;
        const long end = sessionGoesOn ? tracks[index + 1].Start : leadOut != leadOuts.end() ? leadOut->second : -1;
        if (track.Start < 0 || end <= track.Start || end > static_cast<long>(UINT32_MAX)) {
            problem = "track " + std::to_string(track.Number) + " has no place on the disc";
            return false;
        }
        if (static_cast<std::uint64_t>(track.Start) >= imageSectors) {
            problem = "the image is too short for track " + std::to_string(track.Number);
            return false;
        }
        const auto start = static_cast<std::uint32_t>(track.Start);
        const auto count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(end) - start, imageSectors - start));
        layout.Extents.push_back({ start, count, 0, static_cast<std::uint64_t>(start) * s_rawSector, s_rawSector,
            track.Audio ? SectorData::Audio : SectorData::RawByHeader });
        layout.Toc.Tracks.push_back({ track.Number, track.Audio, start });
    }
    const long lastSession = tracks.back().Session;
    layout.Toc.LeadOut = static_cast<std::uint32_t>(leadOuts[lastSession]); // the last track ends there
    for (const Track& track : tracks) {
        if (track.Session == lastSession) {
            layout.Toc.LastSession = static_cast<std::uint32_t>(track.Start);
            break;
        }
    }
    return checkTrackLayout(layout, problem);
}

std::string cloneCdImageOf(const std::string& controlPath) { return withExtension(controlPath, ".img"); }

std::string cloneCdControlOf(const std::string& imagePath) { return withExtension(imagePath, ".ccd"); }

std::shared_ptr<TrackSource> openCloneCd(const std::string& controlPath, std::string& problem)
{
    std::string text;
    if (!readSheetFile(controlPath, text)) {
        problem = "the control file cannot be read";
        return nullptr;
    }
    const std::string image = cloneCdImageOf(controlPath);
    std::uint64_t bytes = 0;
    if (image.empty() || !regularFileSize(image, bytes)) {
        problem = "its image (.img) is missing";
        return nullptr;
    }
    TrackLayout layout;
    if (!parseCloneCd(text, image, bytes, layout, problem)) {
        return nullptr;
    }
    return openTrackLayout(std::move(layout), problem);
}
