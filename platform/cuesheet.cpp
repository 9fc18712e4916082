#include "platform/cuesheet.h"

#include "platform/bytefields.h"
#include "platform/virtualdrives.h"

#include <array>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Files a sheet may name: one a track at most.
constexpr std::size_t s_maxFiles = 99;

struct TrackMode {
    const char* Name;
    std::uint32_t SectorBytes;
    SectorData Data;
};

constexpr std::array<TrackMode, 9> s_trackModes { {
    { "AUDIO", 2352, SectorData::Audio },
    { "CDG", 2448, SectorData::Audio },
    { "MODE1/2048", 2048, SectorData::Plain },
    { "MODE1/2352", 2352, SectorData::RawMode1 },
    { "MODE2/2048", 2048, SectorData::Plain },
    { "MODE2/2336", 2336, SectorData::Mode2Subheader },
    { "MODE2/2352", 2352, SectorData::RawMode2 },
    { "CDI/2336", 2336, SectorData::Mode2Subheader },
    { "CDI/2352", 2352, SectorData::RawMode2 },
} };

bool parseNumber(const std::string& text, int low, int high, int& number)
{
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    number = std::stoi(text);
    return number >= low && number <= high;
}

std::string joinWords(const std::vector<std::string>& words, std::size_t first, std::size_t end)
{
    std::string joined;
    for (std::size_t index = first; index < end; ++index) {
        joined += (index == first ? "" : " ") + words[index];
    }
    return joined;
}

// Reads one line of a sheet into it; false with the problem (without the line number).
class CueParser {
public:
    explicit CueParser(CueSheet& sheet)
        : m_sheet(sheet)
    {
    }

    bool line(const std::vector<std::string>& words, std::string& problem)
    {
        const std::string command = upperAscii(words[0]);
        if (command == "FILE") {
            return file(words, problem);
        }
        if (command == "TRACK") {
            return track(words, problem);
        }
        if (command == "INDEX") {
            return index(words, problem);
        }
        if (command == "PREGAP") {
            std::uint32_t frames = 0;
            if (m_sheet.Tracks.empty() || words.size() != 2 || !parseFrameTime(words[1], frames)) {
                problem = "PREGAP needs a track and a time mm:ss:ff";
                return false;
            }
        }
        return true; // REM, and the commands that tell nothing about where sectors lie
    }

private:
    bool file(const std::vector<std::string>& words, std::string& problem)
    {
        if (words.size() < 3 || words[1].empty()) {
            problem = "FILE needs a name and a type";
            return false;
        }
        const std::string type = upperAscii(words.back());
        if (type != "BINARY" && type != "WAVE") {
            problem = "FILE type " + words.back() + " cannot be read: BINARY or WAVE is needed";
            return false;
        }
        if (m_sheet.Files.size() == s_maxFiles) {
            problem = "more than 99 files";
            return false;
        }
        m_sheet.Files.push_back({ joinWords(words, 1, words.size() - 1), type == "WAVE" });
        m_lastFrames = 0;
        return true;
    }

    bool track(const std::vector<std::string>& words, std::string& problem)
    {
        int number = 0;
        if (m_sheet.Files.empty()) {
            problem = "TRACK before the first FILE";
            return false;
        }
        if (words.size() != 3 || !parseNumber(words[1], 1, 99, number)
            || (!m_sheet.Tracks.empty() && number <= m_sheet.Tracks.back().Number)) {
            problem = "TRACK needs a number from 1 to 99 above the track before";
            return false;
        }
        const std::string mode = upperAscii(words[2]);
        for (const TrackMode& known : s_trackModes) {
            if (mode == known.Name) {
                m_sheet.Tracks.push_back({ number, known.SectorBytes, known.Data, {} });
                return true;
            }
        }
        problem = "track mode " + words[2] + " cannot be read";
        return false;
    }

    bool index(const std::vector<std::string>& words, std::string& problem)
    {
        int number = 0;
        std::uint32_t frames = 0;
        if (m_sheet.Tracks.empty() || words.size() != 3 || !parseNumber(words[1], 0, 99, number)
            || !parseFrameTime(words[2], frames)) {
            problem = "INDEX needs a track, a number from 0 to 99 and a time mm:ss:ff";
            return false;
        }
        std::vector<CueSheet::Index>& indexes = m_sheet.Tracks.back().Indexes;
        if (!indexes.empty() && number <= indexes.back().Number) {
            problem = "INDEX numbers of a track must rise";
            return false;
        }
        if (frames < m_lastFrames) {
            problem = "INDEX lies before the index before it in the same file";
            return false;
        }
        m_lastFrames = frames;
        indexes.push_back({ number, frames, m_sheet.Files.size() - 1 });
        return true;
    }

    CueSheet& m_sheet;
    std::uint32_t m_lastFrames = 0;
};

const CueSheet::Index* firstIndexOne(const CueSheet::Track& track)
{
    for (const CueSheet::Index& index : track.Indexes) {
        if (index.Number == 1) {
            return &index;
        }
    }
    return nullptr;
}

} // namespace

bool parseCueSheet(std::string_view text, CueSheet& sheet, std::string& problem)
{
    sheet = CueSheet();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    CueParser parser(sheet);
    const std::vector<std::string> lines = splitListLines(text);
    for (std::size_t number = 0; number < lines.size(); ++number) {
        const std::vector<std::string> words = sheetWords(lines[number]);
        std::string why;
        if (!words.empty() && !parser.line(words, why)) {
            problem = "line " + std::to_string(number + 1) + ": " + why;
            return false;
        }
    }
    if (sheet.Tracks.empty()) {
        problem = "the sheet names no track";
        return false;
    }
    for (const CueSheet::Track& track : sheet.Tracks) {
        if (firstIndexOne(track) == nullptr) {
            problem = "track " + std::to_string(track.Number) + " has no INDEX 01";
            return false;
        }
    }
    return true;
}

bool layOutCueSheet(
    const CueSheet& sheet, const std::vector<CueFileData>& files, TrackLayout& layout, std::string& problem)
{
    layout = TrackLayout();
    if (files.size() != sheet.Files.size() || sheet.Tracks.empty()) {
        problem = "the sheet and its files do not match";
        return false;
    }
    const auto tooShort = [&](std::size_t file, const CueSheet::Track& track) {
        problem = sheet.Files[file].Name + " is too short for track " + std::to_string(track.Number);
        return false;
    };
    std::vector<std::uint64_t> fileStarts;
    std::uint64_t lsn = 0;
    std::size_t covering = 0; // the track whose sectors the file holds at the current position
    for (std::size_t file = 0; file < files.size(); ++file) {
        layout.Files.push_back(files[file].Path);
        fileStarts.push_back(lsn);
        std::uint64_t byte = 0;
        std::uint64_t frame = 0;
        const auto store = [&](std::uint64_t count) {
            const CueSheet::Track& track = sheet.Tracks[covering];
            if (count == 0) {
                return true;
            }
            if (sheet.Files[file].Wave && track.Data != SectorData::Audio) {
                problem
                    = "data track " + std::to_string(track.Number) + " lies in the WAVE file " + sheet.Files[file].Name;
                return false;
            }
            if (lsn + frame + count > UINT32_MAX) {
                problem = "the sheet describes more than any disc holds";
                return false;
            }
            layout.Extents.push_back({ static_cast<std::uint32_t>(lsn + frame), static_cast<std::uint32_t>(count), file,
                files[file].Offset + byte, track.SectorBytes, track.Data });
            byte += count * track.SectorBytes;
            frame += count;
            return true;
        };
        for (std::size_t track = 0; track < sheet.Tracks.size(); ++track) {
            const CueSheet::Index& first = sheet.Tracks[track].Indexes.front();
            if (first.File != file) {
                continue;
            }
            if (first.Frames < frame) {
                problem = "track " + std::to_string(sheet.Tracks[track].Number) + " starts inside the track before";
                return false;
            }
            const std::uint64_t count = first.Frames - frame;
            if (byte + count * sheet.Tracks[covering].SectorBytes > files[file].Bytes) {
                return tooShort(file, sheet.Tracks[track]);
            }
            if (!store(count)) {
                return false;
            }
            covering = track;
        }
        if (!store((files[file].Bytes - byte) / sheet.Tracks[covering].SectorBytes)) {
            return false;
        }
        lsn += frame;
    }
    for (const CueSheet::Track& track : sheet.Tracks) {
        const CueSheet::Index* one = firstIndexOne(track);
        const std::uint64_t start = fileStarts[one->File] + one->Frames;
        const std::uint64_t fileEnd = one->File + 1 < fileStarts.size() ? fileStarts[one->File + 1] : lsn;
        if (start >= fileEnd) {
            return tooShort(one->File, track);
        }
        layout.Toc.Tracks.push_back(
            { track.Number, track.Data == SectorData::Audio, static_cast<std::uint32_t>(start) });
    }
    layout.Toc.LeadOut = static_cast<std::uint32_t>(lsn);
    layout.Toc.LastSession = layout.Toc.lastDataTrackStart();
    return checkTrackLayout(layout, problem);
}

bool waveSamples(const std::string& path, std::uint64_t& offset, std::uint64_t& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::uint64_t size = 0;
    regularFileSize(path, size);
    std::uint8_t header[12] = {};
    bool found = readFileAt(fd, header, sizeof header, 0) && std::memcmp(header, "RIFF", 4) == 0
        && std::memcmp(header + 8, "WAVE", 4) == 0;
    std::uint64_t at = 12;
    // The chunks follow each other, each padded to an even length; the samples are in "data".
    for (int chunk = 0; found && chunk < 64; ++chunk) {
        std::uint8_t head[8] = {};
        if (!readFileAt(fd, head, sizeof head, at)) {
            found = false;
            break;
        }
        const std::uint64_t length = little32(head + 4);
        if (std::memcmp(head, "data", 4) == 0) {
            offset = at + 8;
            // A ripper that streamed the file may leave the length at its largest: the file's end counts.
            bytes = std::min(length, size > offset ? size - offset : 0);
            break;
        }
        at += 8 + length + (length & 1);
        found = at < size;
    }
    ::close(fd);
    return found;
}

std::shared_ptr<TrackSource> openCueSheet(const std::string& path, std::string& problem)
{
    std::string text;
    if (!readSheetFile(path, text)) {
        problem = "the cue sheet cannot be read";
        return nullptr;
    }
    CueSheet sheet;
    if (!parseCueSheet(text, sheet, problem)) {
        return nullptr;
    }
    const std::string folder = folderOf(path);
    std::vector<CueFileData> files;
    for (const CueSheet::File& file : sheet.Files) {
        CueFileData data;
        data.Path = findImagePart(folder, file.Name);
        if (data.Path.empty()) {
            problem = file.Name + ", named by the sheet, is missing";
            return nullptr;
        }
        const bool read
            = file.Wave ? waveSamples(data.Path, data.Offset, data.Bytes) : regularFileSize(data.Path, data.Bytes);
        if (!read) {
            problem = file.Name + (file.Wave ? " is no WAVE file" : " cannot be read");
            return nullptr;
        }
        files.push_back(std::move(data));
    }
    TrackLayout layout;
    if (!layOutCueSheet(sheet, files, layout, problem)) {
        return nullptr;
    }
    return openTrackLayout(std::move(layout), problem);
}
