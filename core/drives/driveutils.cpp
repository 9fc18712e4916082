#include "core/drives/driveutils.h"

#include "core/text/catalogtext.h"
#include "platform/drivelayer.h"

namespace {

constexpr qsizetype s_maxLabelCharacters = 255;

} // namespace

bool listDrives(DriveList* list)
{
    if (list == nullptr) {
        return false;
    }
    list->clear();
    for (const char letter : driveTable().letters()) {
        list->append({ QString(QChar::fromLatin1(letter)), letter });
    }
    return !list->isEmpty();
}

qsizetype indexOfDrive(const DriveList& list, char letter)
{
    for (qsizetype index = 0; index < list.size(); ++index) {
        if (list[index].letter == letter) {
            return index;
        }
    }
    return -1;
}

bool discLabel(char drive, QString& label)
{
    label.clear();
    Drive* source = driveTable().drive(drive);
    VolumeFacts facts;
    if (source == nullptr || !source->volumeFacts(facts) || facts.NtSerial == 0) {
        return false;
    }
    label = decodeCatalogText(facts.Label).left(s_maxLabelCharacters);
    return true;
}

bool isAudioDisc(char drive, bool& audio)
{
    audio = false;
    Drive* source = driveTable().drive(drive);
    if (source == nullptr) {
        return false;
    }
    bool answer = false;
    if (!source->isAudio(answer)) {
        return false;
    }
    audio = answer;
    return true;
}

void setDriveDoor(char drive, bool open)
{
    if (Drive* source = driveTable().drive(drive)) {
        source->setDoor(open);
    }
}
