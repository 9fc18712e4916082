#include "tests/support/discimages.h"

#include "tests/support/tempfolder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::size_t s_sector = 2048;
constexpr std::size_t s_rawSector = 2352;

// Runs a program found on PATH with extra environment entries, its output thrown away; true when it
// exits with status 0.
bool runQuietly(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> environment(extraEnvironment);
    for (char** at = environ; *at != nullptr; ++at) {
        const std::string entry = *at;
        const std::string name = entry.substr(0, entry.find('='));
        const bool overridden = std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
            [&](const std::string& extra) { return extra.compare(0, name.size() + 1, name + "=") == 0; });
        if (!overridden) {
            environment.push_back(entry);
        }
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return false;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool setTime(const std::string& path, std::int64_t time)
{
    const struct timespec times[2] = { { static_cast<time_t>(time), 0 }, { static_cast<time_t>(time), 0 } };
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

std::uint8_t bcd(std::uint32_t value) { return static_cast<std::uint8_t>((value / 10) << 4 | value % 10); }

std::string cueTime(std::uint32_t sector)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", sector / (75 * 60), sector / 75 % 60, sector % 75);
    return text;
}

std::uint32_t imageSectors(const std::string& image)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(image, error);
    return error ? 0 : static_cast<std::uint32_t>((size + s_sector - 1) / s_sector);
}

// A MODE1 raw sector: sync, header with the address, the data, EDC and ECC left zero.
void appendMode1Sector(std::string& out, std::uint32_t lsn, const char* data, std::size_t length)
{
    std::string raw(s_rawSector, '\0');
    for (std::size_t index = 1; index <= 10; ++index) {
        raw[index] = '\xff';
    }
    const std::uint32_t address = lsn + 150;
    raw[12] = static_cast<char>(bcd(address / (75 * 60)));
    raw[13] = static_cast<char>(bcd(address / 75 % 60));
    raw[14] = static_cast<char>(bcd(address % 75));
    raw[15] = 1;
    std::copy(data, data + length, raw.begin() + 16);
    out += raw;
}

} // namespace

std::vector<DiscTreeEntry> standardDiscTree()
{
    const std::int64_t day = 86400;
    return {
        { "README", 6, DiscTreeTime + 1 },
        { "NOEXT.", 4, DiscTreeTime + 2 * day + 3 },
        { ".hidden", 3, DiscTreeTime + 3 * day + 5 },
        { "big.dat", 3 * s_sector + 5, DiscTreeTime + 4 * day + 7 },
        { "Empty/", 0, DiscTreeTime + 5 * day + 9 },
        { "Music/", 0, DiscTreeTime + 6 * day + 11 },
        { "Music/a.txt", 1, DiscTreeTime + 7 * day + 13 },
        { "Music/Rock/", 0, DiscTreeTime + 8 * day + 15 },
        { "Music/Rock/Gr\xC3\xBC\xC3\x9F"
          "e \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt",
            2, DiscTreeTime + 9 * day + 17 },
        { "Music/Rock/song.mp3", 100000, DiscTreeTime + 10 * day + 19 },
        { "Docs/", 0, DiscTreeTime + 11 * day + 21 },
        { "Docs/Deep/", 0, DiscTreeTime + 12 * day + 23 },
        { "Docs/Deep/Deeper/", 0, DiscTreeTime + 13 * day + 25 },
        { "Docs/Deep/Deeper/Deepest/", 0, DiscTreeTime + 14 * day + 27 },
        { "Docs/Deep/Deeper/Deepest/file.bin", 10, DiscTreeTime + 15 * day + 29 },
    };
}

std::string discTreeFileBytes(std::uint64_t size)
{
    std::string bytes(size, '\0');
    for (std::uint64_t index = 0; index < size; ++index) {
        bytes[index] = static_cast<char>('a' + index % 26);
    }
    return bytes;
}

bool writeDiscTree(const std::string& folder, const std::vector<DiscTreeEntry>& entries)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return false;
    }
    const std::string top = folder.back() == '/' ? folder : folder + "/";
    for (const DiscTreeEntry& entry : entries) {
        const std::string path = top + entry.Path;
        if (entry.Path.back() == '/') {
            std::filesystem::create_directories(path, error);
        } else {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
            if (!error && !writeFileBytes(path, discTreeFileBytes(entry.Size))) {
                return false;
            }
        }
        if (error) {
            return false;
        }
    }
    // Files first, then folders from the deepest up: writing into a folder moves its time.
    std::vector<DiscTreeEntry> ordered(entries);
    std::stable_sort(ordered.begin(), ordered.end(), [](const DiscTreeEntry& a, const DiscTreeEntry& b) {
        const bool aFolder = a.Path.back() == '/';
        const bool bFolder = b.Path.back() == '/';
        if (aFolder != bFolder) {
            return !aFolder;
        }
        return std::count(a.Path.begin(), a.Path.end(), '/') > std::count(b.Path.begin(), b.Path.end(), '/');
    });
    for (const DiscTreeEntry& entry : ordered) {
        if (!setTime(top + entry.Path, entry.Time)) {
            return false;
        }
    }
    return setTime(top, DiscTreeTime);
}

bool buildIsoImage(const std::string& sourceFolder, const std::string& isoPath, const IsoImageOptions& options)
{
    std::vector<std::string> arguments = options.Generator == IsoGenerator::Xorriso
        ? std::vector<std::string> { "xorriso", "-as", "mkisofs" }
        : std::vector<std::string> { "genisoimage" };
    arguments.insert(arguments.end(), { "-quiet", "-o", isoPath, "-V", options.VolumeId });
    if (options.Joliet) {
        arguments.emplace_back("-J");
    }
    if (options.JolietLong) {
        arguments.emplace_back("-joliet-long");
    }
    if (options.RockRidge) {
        arguments.emplace_back("-R");
    } else if (options.Generator == IsoGenerator::Xorriso) {
        arguments.emplace_back("--norock");
    }
    if (options.Udf) {
        arguments.emplace_back("-udf");
    }
    if (!options.InputCharset.empty()) {
        arguments.insert(arguments.end(), { "-input-charset", options.InputCharset });
    }
    if (options.ElTorito) {
        const std::string boot = (sourceFolder.back() == '/' ? sourceFolder : sourceFolder + "/") + "boot.img";
        if (!writeFileBytes(boot, std::string(s_sector, '\0')) || !setTime(boot, DiscTreeTime)) {
            return false;
        }
        for (const char* argument : { "-b", "boot.img", "-no-emul-boot", "-boot-load-size", "4" }) {
            arguments.emplace_back(argument);
        }
    }
    if (options.SessionStart != 0) {
        arguments.emplace_back("-C");
        arguments.push_back("0," + std::to_string(options.SessionStart));
    }
    arguments.push_back(sourceFolder);
    return runQuietly(arguments, { "SOURCE_DATE_EPOCH=" + std::to_string(DiscImageEpoch), "TZ=UTC", "LC_ALL=C.UTF-8" });
}

std::uint32_t cueTrackStart(const std::vector<CueTrack>& tracks, std::size_t index)
{
    std::uint32_t start = 0;
    for (std::size_t at = 0; at < index && at < tracks.size(); ++at) {
        start += tracks[at].Audio ? tracks[at].Sectors : imageSectors(tracks[at].Image);
    }
    return start;
}

namespace {

// One track as an image stores it: where it starts on the disc, its sectors raw (2352 bytes each: a
// data sector with sync and header, audio silence) and cooked (2048 bytes each, data tracks only).
struct StoredTrack {
    bool Audio = true;
    std::uint32_t Start = 0;
    std::uint32_t Sectors = 0;
    std::string Raw;
    std::string Cooked;
};

bool storeTracks(const std::vector<CueTrack>& tracks, std::vector<StoredTrack>& stored, CueLayout& layout)
{
    std::uint32_t lsn = 0;
    for (const CueTrack& track : tracks) {
        StoredTrack out;
        out.Audio = track.Audio;
        out.Start = lsn;
        if (track.Audio) {
            out.Sectors = track.Sectors;
            out.Raw.assign(static_cast<std::size_t>(track.Sectors) * s_rawSector, '\0');
        } else {
            out.Cooked = readFileBytes(track.Image);
            if (out.Cooked.empty()) {
                return false;
            }
            out.Cooked.resize((out.Cooked.size() + s_sector - 1) / s_sector * s_sector, '\0');
            out.Sectors = static_cast<std::uint32_t>(out.Cooked.size() / s_sector);
            for (std::uint32_t sector = 0; sector < out.Sectors; ++sector) {
                appendMode1Sector(out.Raw, lsn + sector, out.Cooked.data() + std::size_t(sector) * s_sector, s_sector);
            }
        }
        layout.TrackStarts.push_back(lsn);
        lsn += out.Sectors;
        stored.push_back(std::move(out));
    }
    layout.LeadOut = lsn;
    return true;
}

std::string stemOf(const std::string& path) { return path.substr(0, path.rfind('.')); }
std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

void putBig(std::string& out, std::uint64_t value, int bytes)
{
    for (int index = bytes - 1; index >= 0; --index) {
        out += static_cast<char>(value >> (8 * index));
    }
}

std::string waveFile(const std::string& samples)
{
    std::string wave = "RIFF";
    const auto little = [&wave](std::uint32_t value, int bytes) {
        for (int index = 0; index < bytes; ++index) {
            wave += static_cast<char>(value >> (8 * index));
        }
    };
    little(static_cast<std::uint32_t>(36 + samples.size()), 4);
    wave += "WAVEfmt ";
    little(16, 4);
    little(1, 2); // PCM
    little(2, 2); // stereo
    little(44100, 4);
    little(44100 * 4, 4);
    little(4, 2);
    little(16, 2);
    wave += "data";
    little(static_cast<std::uint32_t>(samples.size()), 4);
    return wave + samples;
}

bool writeCueSheet(const std::string& path, CdImageFormat format, const std::vector<StoredTrack>& tracks)
{
    const std::string stem = stemOf(path);
    std::string sheet = "REM written by the Katalox tests\n";
    if (format == CdImageFormat::CuePerTrack) {
        for (std::size_t index = 0; index < tracks.size(); ++index) {
            char name[48];
            std::snprintf(name, sizeof name, " (Track %02zu).%s", index + 1, tracks[index].Audio ? "wav" : "bin");
            const std::string file = stem + name;
            if (!writeFileBytes(file, tracks[index].Audio ? waveFile(tracks[index].Raw) : tracks[index].Raw)) {
                return false;
            }
            char lines[160];
            std::snprintf(lines, sizeof lines, "FILE \"%s\" %s\n  TRACK %02zu %s\n    INDEX 01 00:00:00\n",
                nameOf(file).c_str(), tracks[index].Audio ? "WAVE" : "BINARY", index + 1,
                tracks[index].Audio ? "AUDIO" : "MODE1/2352");
            sheet += lines;
        }
        return writeFileBytes(path, sheet);
    }
    const bool cooked = format == CdImageFormat::CueCooked;
    const std::string bin = stem + (format == CdImageFormat::CueOtherBin ? " (image).bin" : ".bin");
    sheet += "FILE \"" + nameOf(bin) + "\" BINARY\n";
    std::string bytes;
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        const StoredTrack& track = tracks[index];
        char lines[96];
        std::snprintf(lines, sizeof lines, "  TRACK %02zu %s\n    INDEX 01 %s\n", index + 1,
            track.Audio  ? "AUDIO"
                : cooked ? "MODE1/2048"
                         : "MODE1/2352",
            cueTime(track.Start).c_str());
        sheet += lines;
        bytes += cooked && !track.Audio ? track.Cooked : track.Raw;
    }
    return writeFileBytes(bin, bytes) && writeFileBytes(path, sheet);
}

bool writeCloneCd(const std::string& path, const std::vector<StoredTrack>& tracks, const CueLayout& layout)
{
    std::string image;
    for (const StoredTrack& track : tracks) {
        image += track.Raw;
    }
    std::string control = "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=" + std::to_string(tracks.size() + 3)
        + "\nSessions=1\nDataTracksScrambled=0\nCDTextLength=0\n[Session 1]\nPreGapMode=1\nPreGapSubC=0\n";
    const auto entry = [&control](std::size_t number, int point, int trackControl, std::uint32_t minutes,
                           std::uint32_t seconds, std::uint32_t frames) {
        char text[256];
        std::snprintf(text, sizeof text,
            "[Entry %zu]\nSession=1\nPoint=0x%02x\nADR=0x01\nControl=0x%02x\nTrackNo=0\nAMin=0\nASec=0\nAFrame=0\n"
            "ALBA=-150\nZero=0\nPMin=%u\nPSec=%u\nPFrame=%u\nPLBA=%d\n",
            number, point, trackControl, minutes, seconds, frames,
            static_cast<int>((minutes * 60 + seconds) * 75 + frames) - 150);
        control += text;
    };
    const auto lbaEntry = [&entry](std::size_t number, int point, int trackControl, std::uint32_t lba) {
        const std::uint32_t address = lba + 150;
        entry(number, point, trackControl, address / 4500, address / 75 % 60, address % 75);
    };
    const auto controlOf = [](const StoredTrack& track) { return track.Audio ? 0 : 4; };
    entry(0, 0xA0, controlOf(tracks.front()), 1, 0, 0); // the first track's number
    entry(1, 0xA1, controlOf(tracks.back()), static_cast<std::uint32_t>(tracks.size()), 0, 0); // the last one's
    lbaEntry(2, 0xA2, controlOf(tracks.back()), layout.LeadOut);
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        lbaEntry(index + 3, static_cast<int>(index + 1), controlOf(tracks[index]), tracks[index].Start);
    }
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        control += "[TRACK " + std::to_string(index + 1) + "]\nMODE=" + (tracks[index].Audio ? "0" : "1")
            + "\nINDEX 1=" + std::to_string(tracks[index].Start) + "\n";
    }
    return writeFileBytes(stemOf(path) + ".img", image) && writeFileBytes(path, control);
}

// Nero stores data tracks cooked (2048 bytes a sector) and audio raw.
bool writeNero(
    const std::string& path, bool discAtOnce, const std::vector<StoredTrack>& tracks, const CueLayout& layout)
{
    std::string image;
    std::string chunks;
    const auto chunk = [&chunks](const char* id, const std::string& data) {
        chunks += id;
        putBig(chunks, data.size(), 4);
        chunks += data;
    };
    const auto bcd = [](std::size_t value) { return static_cast<char>((value / 10) << 4 | value % 10); };
    if (discAtOnce) {
        std::string cue;
        std::string dao(22, '\0');
        dao[20] = 1;
        dao[21] = static_cast<char>(tracks.size());
        const auto cueEntry = [&cue](bool audio, char track, char index, std::int32_t lba) {
            cue += static_cast<char>(audio ? 0x01 : 0x41);
            cue += track;
            cue += index;
            cue += '\0';
            putBig(cue, static_cast<std::uint32_t>(lba), 4);
        };
        cueEntry(tracks.front().Audio, 0, 0, -150);
        for (std::size_t index = 0; index < tracks.size(); ++index) {
            const StoredTrack& track = tracks[index];
            const std::uint32_t size = track.Audio ? s_rawSector : s_sector;
            const std::string& bytes = track.Audio ? track.Raw : track.Cooked;
            const std::uint64_t index0 = image.size();
            if (index == 0) {
                image.append(150 * size, '\0'); // the first track's pregap
            }
            const std::uint64_t index1 = image.size();
            image += bytes;
            cueEntry(track.Audio, bcd(index + 1), 0, static_cast<std::int32_t>(track.Start) - (index == 0 ? 150 : 0));
            cueEntry(track.Audio, bcd(index + 1), 1, static_cast<std::int32_t>(track.Start));
            dao += std::string(12, '\0'); // ISRC
            putBig(dao, size, 2);
            dao += static_cast<char>(track.Audio ? 0x07 : 0x00);
            dao += std::string("\0\0\1", 3);
            putBig(dao, index0, 8);
            putBig(dao, index1, 8);
            putBig(dao, image.size(), 8);
        }
        cueEntry(tracks.back().Audio, static_cast<char>(0xAA), 1, static_cast<std::int32_t>(layout.LeadOut));
        chunk("CUEX", cue);
        chunk("DAOX", dao);
    } else {
        std::string etn;
        for (const StoredTrack& track : tracks) {
            const std::string& bytes = track.Audio ? track.Raw : track.Cooked;
            putBig(etn, image.size(), 8);
            putBig(etn, bytes.size(), 8);
            putBig(etn, track.Audio ? 7 : 0, 4);
            putBig(etn, track.Start, 4);
            putBig(etn, 0, 8);
            image += bytes;
        }
        chunk("ETN2", etn);
    }
    std::string sessions;
    putBig(sessions, tracks.size(), 4);
    chunk("SINF", sessions);
    std::string media;
    putBig(media, 1, 4);
    chunk("MTYP", media);
    chunk("END!", "");
    const std::uint64_t chunksAt = image.size();
    image += chunks;
    image += "NER5";
    putBig(image, chunksAt, 8);
    return writeFileBytes(path, image);
}

bool writeCdrdaoToc(const std::string& path, const std::vector<StoredTrack>& tracks)
{
    const std::string stem = stemOf(path);
    std::string toc = "// written by the Katalox tests\n";
    toc += tracks.front().Audio ? "CD_DA\n" : "CD_ROM\n";
    std::string audio;
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        const StoredTrack& track = tracks[index];
        if (track.Audio) {
            // One file for every audio track, each part naming where in it the track starts.
            toc += "TRACK AUDIO\nNO COPY\nFILE \"" + nameOf(stem) + "_audio.bin\" " + std::to_string(audio.size() / 4)
                + " " + cueTime(track.Sectors) + "\n";
            audio += track.Raw;
            continue;
        }
        const std::string data = stem + "_" + std::to_string(index + 1) + ".iso";
        if (!writeFileBytes(data, track.Cooked)) {
            return false;
        }
        toc += "TRACK MODE1\nCD_TEXT { LANGUAGE 0 { TITLE \"data\" } }\nDATAFILE \"" + nameOf(data) + "\"\n";
    }
    return (audio.empty() || writeFileBytes(stem + "_audio.bin", audio)) && writeFileBytes(path, toc);
}

} // namespace

bool writeCdImage(const std::string& path, CdImageFormat format, const std::vector<CueTrack>& tracks, CueLayout* layout)
{
    std::vector<StoredTrack> stored;
    CueLayout result;
    if (tracks.empty() || !storeTracks(tracks, stored, result)) {
        return false;
    }
    bool written = false;
    switch (format) {
    case CdImageFormat::CueOneBin:
    case CdImageFormat::CueOtherBin:
    case CdImageFormat::CuePerTrack:
    case CdImageFormat::CueCooked:
        written = writeCueSheet(path, format, stored);
        break;
    case CdImageFormat::CloneCd:
        written = writeCloneCd(path, stored, result);
        break;
    case CdImageFormat::NeroDiscAtOnce:
        written = writeNero(path, true, stored, result);
        break;
    case CdImageFormat::NeroTrackAtOnce:
        written = writeNero(path, false, stored, result);
        // Each track lies after a gap of 150 sectors that the file leaves out.
        for (std::size_t index = 0; index < result.TrackStarts.size(); ++index) {
            result.TrackStarts[index] += static_cast<std::uint32_t>(index) * 150;
        }
        result.LeadOut += static_cast<std::uint32_t>(result.TrackStarts.size() - 1) * 150;
        break;
    case CdImageFormat::Cdrdao:
        written = writeCdrdaoToc(path, stored);
        break;
    case CdImageFormat::RawBin:
        written = stored.size() == 1 && !stored.front().Audio && writeFileBytes(path, stored.front().Raw);
        break;
    }
    if (written && layout != nullptr) {
        *layout = result;
    }
    return written;
}

bool writeCueDisc(const std::string& cuePath, const std::vector<CueTrack>& tracks, CueLayout* layout)
{
    return writeCdImage(cuePath, CdImageFormat::CueOneBin, tracks, layout);
}

std::string readVolumeDescriptor(const std::string& imagePath, int type)
{
    const std::string image = readFileBytes(imagePath);
    for (std::size_t offset = 16 * s_sector; offset + s_sector <= image.size(); offset += s_sector) {
        if (image.compare(offset + 1, 5, "CD001") != 0 || static_cast<unsigned char>(image[offset]) == 255) {
            break;
        }
        if (static_cast<unsigned char>(image[offset]) == type) {
            return image.substr(offset, s_sector);
        }
    }
    return {};
}

namespace {

// A name as a tree of that descriptor type stores it (ASCII and the Basic Multilingual Plane only).
std::string storedName(const std::string& name, int type)
{
    if (type != 2) {
        return name;
    }
    std::string ucs2;
    for (std::size_t at = 0; at < name.size();) {
        const auto lead = static_cast<unsigned char>(name[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        std::uint32_t code = length == 1 ? lead : lead & (length == 2 ? 0x1F : 0x0F);
        for (std::size_t index = 1; index < length; ++index) {
            code = code << 6 | (static_cast<unsigned char>(name[at + index]) & 0x3F);
        }
        ucs2 += static_cast<char>(code >> 8);
        ucs2 += static_cast<char>(code & 0xFF);
        at += length;
    }
    return ucs2;
}

} // namespace

std::uint32_t isoField32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + index])) << (8 * index);
    }
    return value;
}

std::size_t isoRecordOffset(const std::string& image, const std::string& path, int type)
{
    std::size_t descriptor = 16 * s_sector;
    while (descriptor + s_sector <= image.size() && static_cast<unsigned char>(image[descriptor]) != type) {
        descriptor += s_sector;
    }
    if (descriptor + s_sector > image.size()) {
        return std::string::npos;
    }
    std::size_t record = descriptor + 156;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string wanted = storedName(path.substr(start, slash - start), type);
        const std::size_t extent = static_cast<std::size_t>(isoField32(image, record + 2)) * s_sector;
        const std::size_t end = std::min<std::size_t>(extent + isoField32(image, record + 10), image.size());
        record = std::string::npos;
        for (std::size_t at = extent; at < end;) {
            const auto length = static_cast<unsigned char>(image[at]);
            if (length == 0) {
                at = (at / s_sector + 1) * s_sector;
                continue;
            }
            std::string name = image.substr(at + 33, static_cast<unsigned char>(image[at + 32]));
            name = name.substr(0, name.find(type == 2 ? std::string("\0;", 2) : std::string(";")));
            if (name == wanted) {
                record = at;
                break;
            }
            at += length;
        }
        if (record == std::string::npos) {
            return record;
        }
        start = slash + 1;
    }
    return record;
}

bool setIsoRecordByte(const std::string& imagePath, const std::string& path, std::size_t offset, std::uint8_t value)
{
    std::string image = readFileBytes(imagePath);
    const std::size_t record = isoRecordOffset(image, path);
    if (record == std::string::npos || record + offset >= image.size()) {
        return false;
    }
    image[record + offset] = static_cast<char>(value);
    return writeFileBytes(imagePath, image);
}

void setIsoField32(std::string& image, std::size_t offset, std::uint32_t value)
{
    for (std::size_t index = 0; index < 4; ++index) {
        image[offset + index] = static_cast<char>(value >> (8 * index));
        image[offset + 7 - index] = static_cast<char>(value >> (8 * index));
    }
}

std::uint32_t laneSumSerial(const std::string& descriptor)
{
    std::array<std::uint8_t, 4> sums {};
    for (std::size_t index = 0; index < descriptor.size(); ++index) {
        sums[index % 4] = static_cast<std::uint8_t>(sums[index % 4] + static_cast<unsigned char>(descriptor[index]));
    }
    return static_cast<std::uint32_t>(sums[0]) << 24 | static_cast<std::uint32_t>(sums[1]) << 16
        | static_cast<std::uint32_t>(sums[2]) << 8 | sums[3];
}

std::uint32_t audioDiscSerial(const CueLayout& layout)
{
    const auto msf = [](std::uint32_t lsn) {
        const std::uint32_t frames = lsn + 150;
        return (frames / 4500) << 16 | (frames / 75 % 60) << 8 | frames % 75;
    };
    if (layout.TrackStarts.size() <= 2) {
        return msf(layout.LeadOut);
    }
    std::uint32_t sum = 0;
    for (const std::uint32_t start : layout.TrackStarts) {
        sum += msf(start);
    }
    return sum;
}

std::string primaryName(const std::string& name)
{
    if (name == ".hidden") {
        return "_HIDDEN";
    }
    if (name == "NOEXT.") {
        return "NOEXT"; // "NOEXT.;1" loses its version and the trailing dot
    }
    if (name.rfind("Gr", 0) == 0) {
        return "GR__E___.TXT";
    }
    std::string upper = name;
    for (char& c : upper) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return upper;
}

std::string genisoimagePrimaryName(const std::string& name)
{
    return name.rfind("Gr", 0) == 0 ? std::string("GR____E_.TXT") : primaryName(name);
}

std::string jolietName(const std::string& name) { return name == "NOEXT." ? "NOEXT" : name; }
