#include "platform/virtualdrives.h"

#include "platform/configfolder.h"
#include "platform/driveset.h"
#include "platform/sectorsource.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/stat.h>

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

} // namespace

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
    DriveSet Drives;

    // Optical drives from D, then every virtual drive whose letter is still free.
    void compose()
    {
        std::vector<DriveSlot> slots;
        char letter = 'D';
        for (const std::string& device : Devices) {
            if (letter > 'Z') {
                break;
            }
            slots.push_back({ letter++, true, device });
        }
        for (const VirtualDriveLine& line : Virtual) {
            slots.push_back({ line.Letter, false, line.Path });
        }
        Drives.assign(slots); // a letter taken by an earlier slot ignores the later ones
    }

    void refreshDevices()
    {
        std::vector<std::string> devices = ListDevices ? ListDevices() : std::vector<std::string>();
        DevicesListed = true;
        if (devices != Devices) {
            Devices = std::move(devices);
            compose();
        }
    }

    void refreshList()
    {
        const std::string folder = configFolder();
        ListSignature signature = signatureOf(folder + s_listName);
        if (ListRead && signature == List) {
            return;
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
        compose();
    }

    void refresh(bool lookForDevices)
    {
        if (lookForDevices || !DevicesListed) {
            refreshDevices();
        }
        refreshList();
    }
};

SystemDriveTable::SystemDriveTable(std::function<std::vector<std::string>()> listDevices)
    : m_state(std::make_unique<State>())
{
    m_state->ListDevices = std::move(listDevices);
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

std::function<std::vector<std::string>()> SystemDriveTable::opticalDeviceList() { return opticalDeviceNodes; }
