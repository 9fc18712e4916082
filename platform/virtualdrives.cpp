#include "platform/virtualdrives.h"

#include "platform/configfolder.h"
#include "platform/driveset.h"
#include "platform/removabledrives.h"
#include "platform/sectorsource.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char s_listName[] = "vdrives.lst";

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// What identifies one state of "vdrives.lst": a changed file differs in one of these.
struct ListSignature {
    std::string Path;
    bool Exists = false;
    ino_t Inode = 0;
    off_t Size = 0;
    std::int64_t Seconds = 0;
    long Nanoseconds = 0;

    bool operator==(const ListSignature&) const = default;
};

ListSignature signatureOf(const std::string& path)
{
    ListSignature signature;
    signature.Path = path;
    struct stat status { };
    if (::stat(path.c_str(), &status) == 0) {
        signature.Exists = true;
        signature.Inode = status.st_ino;
        signature.Size = status.st_size;
        signature.Seconds = status.st_mtim.tv_sec;
        signature.Nanoseconds = status.st_mtim.tv_nsec;
    }
    return signature;
}

char upperLetter(char letter)
{
    return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

// The letter a line names ("M=..." with blanks around), 0 for a line of another form.
char lineLetter(std::string_view line)
{
    std::string_view rest = trimBlanks(line);
    if (rest.empty()) {
        return 0;
    }
    const char letter = upperLetter(rest.front());
    rest = trimBlanks(rest.substr(1));
    return letter >= 'A' && letter <= 'Z' && !rest.empty() && rest.front() == '=' ? letter : 0;
}

bool readWholeFile(const std::string& path, std::string& text)
{
    text.clear();
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0 && errno == ENOENT) {
        return true; // no list yet is an empty list
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes the whole list beside itself, syncs it and renames it over the list, so that a reader (the
// drive table of another window, a crash) sees the old list or the new one, never half of one.
bool replaceWholeFile(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t step = ::write(fd, text.data() + written, text.size() - written);
        if (step <= 0) {
            break;
        }
        written += static_cast<std::size_t>(step);
    }
    const bool whole = written == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!whole || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string virtualDriveListPath() { return configFolder() + s_listName; }

char firstFreeVirtualLetter(std::string_view listText, const std::vector<char>& taken)
{
    std::vector<char> used;
    for (const char letter : taken) {
        used.push_back(upperLetter(letter));
    }
    for (const std::string& line : splitListLines(listText)) {
        if (const char letter = lineLetter(line); letter != 0) {
            used.push_back(letter);
        }
    }
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        if (std::find(used.begin(), used.end(), letter) == used.end()) {
            return letter;
        }
    }
    return 0;
}

std::string withVirtualDriveLine(std::string_view listText, char letter, const std::string& path)
{
    std::string text(listText);
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') {
        text += "\r\n";
    }
    text += upperLetter(letter);
    text += '=';
    text += path;
    text += "\r\n";
    return text;
}

std::string withoutVirtualDriveLines(std::string_view listText, char letter)
{
    letter = upperLetter(letter);
    std::string text;
    std::size_t start = 0;
    while (start < listText.size()) {
        std::size_t end = std::min(listText.find_first_of("\r\n", start), listText.size());
        const std::string_view line = listText.substr(start, end - start);
        if (end < listText.size()) {
            end += listText[end] == '\r' && end + 1 < listText.size() && listText[end + 1] == '\n' ? 2 : 1;
        }
        if (lineLetter(line) != letter) {
            text += listText.substr(start, end - start);
        }
        start = end;
    }
    return text;
}

VirtualDriveChange addVirtualDrive(const std::string& path, const std::vector<char>& taken, char& letter)
{
    letter = 0;
    if (path.empty() || path.front() != '/' || path.find_first_of("\r\n") != std::string::npos) {
        return VirtualDriveChange::BadPath;
    }
    const std::string listPath = virtualDriveListPath();
    std::string text;
    if (!readWholeFile(listPath, text)) {
        return VirtualDriveChange::NotWritten;
    }
    const char free = firstFreeVirtualLetter(text, taken);
    if (free == 0) {
        return VirtualDriveChange::NoFreeLetter;
    }
    if (!replaceWholeFile(listPath, withVirtualDriveLine(text, free, path))) {
        return VirtualDriveChange::NotWritten;
    }
    letter = free;
    return VirtualDriveChange::Done;
}

VirtualDriveChange removeVirtualDrive(char letter)
{
    const std::string listPath = virtualDriveListPath();
    std::string text;
    if (!readWholeFile(listPath, text)) {
        return VirtualDriveChange::NotWritten;
    }
    const std::string kept = withoutVirtualDriveLines(text, letter);
    if (kept == text) {
        return VirtualDriveChange::Done;
    }
    return replaceWholeFile(listPath, kept) ? VirtualDriveChange::Done : VirtualDriveChange::NotWritten;
}

std::vector<VirtualDriveLine> readVirtualDrives()
{
    std::string text;
    if (!readWholeFile(virtualDriveListPath(), text)) {
        return {};
    }
    return parseVirtualDrives(text, configFolder());
}

std::vector<std::string> splitListLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

std::vector<VirtualDriveLine> parseVirtualDrives(std::string_view text, const std::string& baseFolder)
{
    std::vector<VirtualDriveLine> drives;
    for (const std::string& line : splitListLines(text)) {
        std::string_view rest = trimBlanks(line);
        if (rest.empty()) {
            continue;
        }
        char letter = rest.front();
        if (letter >= 'a' && letter <= 'z') {
            letter = static_cast<char>(letter - 'a' + 'A');
        }
        rest = trimBlanks(rest.substr(1));
        if (letter < 'A' || letter > 'Z' || rest.empty() || rest.front() != '=') {
            continue;
        }
        const std::string_view path = trimBlanks(rest.substr(1));
        const bool taken = std::any_of(
            drives.begin(), drives.end(), [letter](const VirtualDriveLine& drive) { return drive.Letter == letter; });
        if (path.empty() || taken) {
            continue;
        }
        std::string full(path);
        if (full.front() != '/') {
            full = baseFolder + (baseFolder.empty() || baseFolder.back() == '/' ? "" : "/") + full;
        }
        drives.push_back({ letter, std::move(full) });
    }
    return drives;
}

struct SystemDriveTable::State {
    std::mutex Mutex;
    std::function<std::vector<std::string>()> ListDevices;
    bool DevicesListed = false;
    std::vector<std::string> Devices;
    bool ListRead = false;
    ListSignature List;
    std::vector<VirtualDriveLine> Virtual;
    std::shared_ptr<BlockDeviceSource> Blocks;
    std::unique_ptr<BlockDeviceWatch> BlocksWatch;
    bool BlocksListed = false;
    bool BlocksStale = true;
    std::vector<BlockDevice> Removables;
    std::map<std::string, char> RemovableLetters; ///< by SysPath: a drive keeps its letter while plugged in
    DriveSet Drives;

    // Optical drives from D, then every virtual drive whose letter is still free, then the removable
    // drives: each keeps the letter it had, the new ones get the next free letters after the optical
    // drives (never one a line of "vdrives.lst" names).
    void compose()
    {
        std::vector<DriveSlot> slots;
        std::set<char> taken;
        char letter = 'D';
        for (const std::string& device : Devices) {
            if (letter > 'Z') {
                break;
            }
            taken.insert(letter);
            slots.push_back({ letter++, true, device, {}, {} });
        }
        const char firstRemovable = letter;
        for (const VirtualDriveLine& line : Virtual) {
            taken.insert(line.Letter);
            slots.push_back({ line.Letter, false, line.Path, {}, {} });
        }
        std::map<std::string, char> letters;
        for (const BlockDevice& device : Removables) {
            const auto known = RemovableLetters.find(device.SysPath);
            if (known != RemovableLetters.end() && taken.insert(known->second).second) {
                letters[device.SysPath] = known->second;
            }
        }
        for (const BlockDevice& device : Removables) {
            char free = firstRemovable;
            while (free <= 'Z' && taken.count(free) != 0) {
                ++free;
            }
            if (letters.count(device.SysPath) == 0 && free <= 'Z') {
                taken.insert(free);
                letters[device.SysPath] = free;
            }
        }
        for (const BlockDevice& device : Removables) {
            const auto given = letters.find(device.SysPath);
            if (given == letters.end()) {
                continue; // no letter left
            }
            slots.push_back({ given->second, false, device.Node,
                [blocks = Blocks, device] { return openRemovableDrive(blocks, device); },
                removableDriveIdentity(device) });
        }
        RemovableLetters = std::move(letters);
        Drives.assign(slots); // a letter taken by an earlier slot ignores the later ones
    }

    // Each refresh answers whether what it lists changed.
    bool refreshDevices()
    {
        std::vector<std::string> devices = ListDevices ? ListDevices() : std::vector<std::string>();
        DevicesListed = true;
        if (devices == Devices) {
            return false;
        }
        Devices = std::move(devices);
        return true;
    }

    // Lists the block devices again when the watch saw a change (or there is no watch).
    bool refreshRemovables()
    {
        if (Blocks == nullptr) {
            return false;
        }
        if (!BlocksListed) {
            BlocksWatch = Blocks->watch();
        }
        const bool changed = BlocksWatch == nullptr || descriptorReadable(BlocksWatch->descriptor());
        if (BlocksListed && !BlocksStale && !changed) {
            return false;
        }
        if (BlocksWatch != nullptr) {
            BlocksWatch->drain();
        }
        BlocksListed = true;
        BlocksStale = false;
        std::vector<BlockDevice> removables;
        for (BlockDevice& device : Blocks->blockDevices()) {
            if (isRemovableFileSystem(device)) {
                removables.push_back(std::move(device));
            }
        }
        const auto sameDevices = [](const std::vector<BlockDevice>& a, const std::vector<BlockDevice>& b) {
            return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const BlockDevice& x, const BlockDevice& y) {
                return removableDriveIdentity(x) == removableDriveIdentity(y);
            });
        };
        if (sameDevices(removables, Removables)) {
            return false;
        }
        Removables = std::move(removables);
        return true;
    }

    bool refreshList()
    {
        const std::string folder = configFolder();
        ListSignature signature = signatureOf(folder + s_listName);
        if (ListRead && signature == List) {
            return false;
        }
        std::vector<VirtualDriveLine> lines;
        if (signature.Exists) {
            std::ifstream in(signature.Path, std::ios::binary);
            const std::string text { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
            lines = parseVirtualDrives(text, folder);
        }
        ListRead = true;
        List = std::move(signature);
        Virtual = std::move(lines);
        return true;
    }

    // Letters are given once everything is listed, so a drive never holds a letter for a moment.
    void refresh(bool lookForDevices)
    {
        bool changed = false;
        if (lookForDevices || !DevicesListed) {
            changed = refreshDevices();
            changed = refreshRemovables() || changed;
        }
        changed = refreshList() || changed;
        if (changed) {
            compose();
        }
    }
};

SystemDriveTable::SystemDriveTable(
    std::function<std::vector<std::string>()> listDevices, std::shared_ptr<BlockDeviceSource> blockDevices)
    : m_state(std::make_unique<State>())
{
    m_state->ListDevices = std::move(listDevices);
    m_state->Blocks = std::move(blockDevices);
}

SystemDriveTable::~SystemDriveTable() = default;

std::vector<char> SystemDriveTable::letters()
{
    std::lock_guard lock(m_state->Mutex);
    m_state->refresh(true);
    return m_state->Drives.letters();
}

Drive* SystemDriveTable::drive(char letter)
{
    std::lock_guard lock(m_state->Mutex);
    m_state->refresh(false);
    if (letter >= 'a' && letter <= 'z') {
        letter = static_cast<char>(letter - 'a' + 'A');
    }
    return m_state->Drives.find(letter);
}

std::uint64_t SystemDriveTable::revision()
{
    std::lock_guard lock(m_state->Mutex);
    m_state->refresh(true);
    return m_state->Drives.revision();
}

void SystemDriveTable::devicesChanged()
{
    std::lock_guard lock(m_state->Mutex);
    m_state->BlocksStale = true;
}

std::function<std::vector<std::string>()> SystemDriveTable::opticalDeviceList() { return opticalDeviceNodes; }
