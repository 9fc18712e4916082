#pragma once
// The drive utilities the windows use: the list of drives, the label of the disc in a drive, the audio
// test and the tray. They go through the drive table in use (the system's drives, or a test's), never
// fail loudly and never throw: a missing drive, an empty drive or a refused command ends in false, an
// empty label, or nothing.

#include <QList>
#include <QString>

/// One entry of a drive list: the text a window shows (the bare letter at first; a window may rewrite
/// it) and the drive letter kept with it.
struct DriveEntry {
    QString text;
    char letter = 0;
};
using DriveList = QList<DriveEntry>;

/// Clears the list and fills it with every drive, in letter order, each with its letter as text.
/// False when no list is given (it is left alone) or no drive exists.
bool listDrives(DriveList* list);
/// The index of the entry holding the letter, or -1.
qsizetype indexOfDrive(const DriveList& list, char letter);
/// True and the label (at most 255 characters) when a disc is in the drive, that is when its serial
/// number is not 0; otherwise false and an empty label. A disc without a label answers true and "".
bool discLabel(char drive, QString& label);
/// True when the drive answered; audio tells whether track 1 of the disc is an audio track. An empty
/// drive answers false and audio stays false.
bool isAudioDisc(char drive, bool& audio);
/// Opens (true) or closes (false) the drive's tray; silent on failure, nothing for images and folders.
void setDriveDoor(char drive, bool open);
