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
    std::vector<std::string> arguments { "xorriso", "-as", "mkisofs", "-quiet", "-o", isoPath, "-V", options.VolumeId };
    if (options.Joliet) {
        arguments.emplace_back("-J");
    }
    if (options.JolietLong) {
        arguments.emplace_back("-joliet-long");
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

bool writeCueDisc(const std::string& cuePath, const std::vector<CueTrack>& tracks, CueLayout* layout)
{
    const std::size_t dot = cuePath.rfind('.');
    const std::string binPath = cuePath.substr(0, dot) + ".bin";
    const std::string binName = binPath.substr(binPath.rfind('/') + 1);
    std::string sheet = "FILE \"" + binName + "\" BINARY\n";
    std::ofstream bin(binPath, std::ios::binary | std::ios::trunc);
    CueLayout result;
    std::uint32_t lsn = 0;
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        const CueTrack& track = tracks[index];
        char header[64];
        std::snprintf(header, sizeof header, "  TRACK %02zu %s\n    INDEX 01 %s\n", index + 1,
            track.Audio ? "AUDIO" : "MODE1/2352", cueTime(lsn).c_str());
        sheet += header;
        result.TrackStarts.push_back(lsn);
        if (track.Audio) {
            const std::string silence(s_rawSector, '\0');
            for (std::uint32_t sector = 0; sector < track.Sectors; ++sector) {
                bin.write(silence.data(), static_cast<std::streamsize>(silence.size()));
            }
            lsn += track.Sectors;
            continue;
        }
        const std::string image = readFileBytes(track.Image);
        if (image.empty()) {
            return false;
        }
        std::string raw;
        for (std::size_t offset = 0; offset < image.size(); offset += s_sector) {
            appendMode1Sector(raw, lsn++, image.data() + offset, std::min(s_sector, image.size() - offset));
        }
        bin.write(raw.data(), static_cast<std::streamsize>(raw.size()));
    }
    result.LeadOut = lsn;
    if (!bin || !writeFileBytes(cuePath, sheet)) {
        return false;
    }
    if (layout != nullptr) {
        *layout = result;
    }
    return true;
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

std::string jolietName(const std::string& name) { return name == "NOEXT." ? "NOEXT" : name; }
