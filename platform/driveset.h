#pragma once
// Letters to drives for the drive tables. Every drive the set ever handed out stays alive as long as
// the set: a caller on another thread may still hold it when a changed "vdrives.lst" takes its letter.

#include "platform/drivelayer.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

/// What stands behind a letter.
struct DriveSlot {
    char Letter = 0;
    bool Device = false; ///< an optical device node, else an image or folder path
    std::string Source;
    /// Makes the drive of a slot that is neither (a removable drive); Identity then tells whether a drive
    /// already there is the same one.
    std::function<std::unique_ptr<Drive>()> Open;
    std::string Identity;

    bool sameDrive(const DriveSlot& other) const
    {
        return Device == other.Device && Source == other.Source
            && static_cast<bool>(Open) == static_cast<bool>(other.Open) && Identity == other.Identity;
    }
};

class DriveSet {
public:
    Drive* find(char letter) const;
    /// The letters in letter order.
    std::vector<char> letters() const;
    std::uint64_t revision() const { return m_revision; }
    /// Makes the set hold exactly these drives; a drive already there with the same letter and the same
    /// slot otherwise keeps its object. The revision moves on when anything changed.
    void assign(const std::vector<DriveSlot>& slots);
    /// The slots the set holds now.
    std::vector<DriveSlot> slots() const;

private:
    struct Held {
        DriveSlot Slot;
        std::unique_ptr<Drive> Object;
    };
    std::map<char, Held> m_drives;
    std::vector<std::unique_ptr<Drive>> m_retired;
    std::uint64_t m_revision = 0;
};
