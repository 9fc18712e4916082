#include "platform/driveset.h"

#include "platform/virtualdrives.h"

Drive* DriveSet::find(char letter) const
{
    const auto found = m_drives.find(letter);
    return found != m_drives.end() ? found->second.Object.get() : nullptr;
}

std::vector<char> DriveSet::letters() const
{
    std::vector<char> letters;
    letters.reserve(m_drives.size());
    for (const auto& [letter, held] : m_drives) {
        letters.push_back(letter);
    }
    return letters;
}

void DriveSet::assign(const std::vector<DriveSlot>& slots)
{
    std::map<char, Held> drives;
    bool changed = false;
    for (const DriveSlot& slot : slots) {
        if (drives.count(slot.Letter) != 0) {
            continue;
        }
        const auto old = m_drives.find(slot.Letter);
        if (old != m_drives.end() && old->second.Slot.sameDrive(slot)) {
            drives[slot.Letter] = std::move(old->second);
            m_drives.erase(old);
            continue;
        }
        std::unique_ptr<Drive> drive;
        if (slot.Open) {
            drive = slot.Open();
        } else {
            drive = slot.Device ? openOpticalDrive(slot.Source) : openPathDrive(slot.Source);
        }
        drives[slot.Letter] = Held { slot, std::move(drive) };
        changed = true;
    }
    for (auto& [letter, held] : m_drives) {
        m_retired.push_back(std::move(held.Object));
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
    for (const auto& [letter, held] : m_drives) {
        slots.push_back(held.Slot);
    }
    return slots;
}
