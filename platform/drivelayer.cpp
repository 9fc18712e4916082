#include "platform/drivelayer.h"

#include "platform/driveset.h"
#include "platform/virtualdrives.h"

#include <mutex>

namespace {

std::mutex s_tableMutex;
std::unique_ptr<DriveTable> s_installedTable;

char driveLetter(char letter)
{
    if (letter >= 'a' && letter <= 'z') {
        return static_cast<char>(letter - 'a' + 'A');
    }
    return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

} // namespace

struct PathDriveTable::State {
    std::mutex Mutex;
    DriveSet Drives;
};

PathDriveTable::PathDriveTable()
    : m_state(std::make_unique<State>())
{
}

PathDriveTable::~PathDriveTable() = default;

bool PathDriveTable::setDrive(char letter, const std::string& path)
{
    letter = driveLetter(letter);
    if (letter == 0) {
        return false;
    }
    std::lock_guard lock(m_state->Mutex);
    std::vector<DriveSlot> slots = m_state->Drives.slots();
    std::erase_if(slots, [letter](const DriveSlot& slot) { return slot.Letter == letter; });
    slots.push_back({ letter, false, path, {}, {} });
    m_state->Drives.assign(slots);
    return true;
}

std::vector<char> PathDriveTable::letters()
{
    std::lock_guard lock(m_state->Mutex);
    return m_state->Drives.letters();
}

Drive* PathDriveTable::drive(char letter)
{
    std::lock_guard lock(m_state->Mutex);
    return m_state->Drives.find(driveLetter(letter));
}

std::uint64_t PathDriveTable::revision()
{
    std::lock_guard lock(m_state->Mutex);
    return m_state->Drives.revision();
}

DriveTable& driveTable()
{
    static SystemDriveTable s_systemTable;
    std::lock_guard lock(s_tableMutex);
    return s_installedTable != nullptr ? *s_installedTable : s_systemTable;
}

void setDriveTable(std::unique_ptr<DriveTable> table)
{
    std::lock_guard lock(s_tableMutex);
    s_installedTable = std::move(table);
}

bool splitDrivePath(const std::string& path, char& letter, std::string& relativePath)
{
    if (path.size() < 3 || driveLetter(path[0]) == 0 || path[1] != ':' || path[2] != '\\') {
        return false;
    }
    letter = driveLetter(path[0]);
    relativePath.clear();
    for (std::size_t index = 3; index < path.size(); ++index) {
        relativePath += path[index] == '\\' ? '/' : path[index];
    }
    while (!relativePath.empty() && relativePath.back() == '/') {
        relativePath.pop_back();
    }
    return true;
}
