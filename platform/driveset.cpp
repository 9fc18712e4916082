#include "platform/driveset.h"

#include "platform/virtualdrives.h"

Drive* DriveSet::find(char letter) const
{
    const auto found = m_drives.find(letter);
    return found != m_drives.end() ? found->second.get() : nullptr;
}

std::vector<char> DriveSet::letters() const
{
    std::vector<char> letters;
    letters.reserve(m_drives.size());
    for (const auto& [letter, drive] : m_drives) {
        letters.push_back(letter);
    }
    return letters;
}

void DriveSet::assign(const std::vector<DriveSlot>& slots)
{
    std::map<char, std::unique_ptr<Drive>> drives;
    bool changed = false;
    for (const DriveSlot& slot : slots) {
        if (drives.count(slot.Letter) != 0) {
            continue;
        }
        const auto old = m_drives.find(slot.Letter);
        if (old != m_drives.end() && old->second->isDevice() == slot.Device && old->second->source() == slot.Source) {
            drives[slot.Letter] = std::move(old->second);
            m_drives.erase(old);
            continue;
        }
        drives[slot.Letter] = slot.Device ? openOpticalDrive(slot.Source) : openPathDrive(slot.Source);
        changed = true;
    }
    for (auto& [letter, drive] : m_drives) {
        m_retired.push_back(std::move(drive));
        changed = true;
    }
    m_drives = std::move(drives);
    if (changed) {
        ++m_revision;
    }
}

std::vector<DriveSlot> DriveSet::slots() const
{
    std::vector<DriveSlot> slots;
    for (const auto& [letter, drive] : m_drives) {
        slots.push_back({ letter, drive->isDevice(), drive->source() });
    }
    return slots;
}
