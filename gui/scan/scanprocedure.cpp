#include "gui/scan/scanprocedure.h"

#include "core/catalog/discrecording.h"
#include "core/common/questions.h"
#include "core/drives/driveutils.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_owners.h"
#include "gui/scan/scanprogressdialog.h"

#include <QDateTime>
#include <QDir>
#include <cstring>

const QString ScratchFolderPrefix = QStringLiteral("katalox-scan-");

ScratchLayout scanScratchLayout()
{
    return { QDir::tempPath(), ScratchFolderPrefix, QStringLiteral("_temp.ktb"), true };
}

namespace {

void aborted() { questions().messageBox(QStringLiteral("Aborted!"), QString(), MessageIcon::None, OkButton, true); }

void copyField(char* target, const char* source, std::size_t size)
{
    std::memcpy(target, source, size);
    target[size - 1] = '\0';
}

} // namespace

quint32 scanDisc(char drive, TKTBHandle* destination, const TKTBDisc& templateDisc, bool symbolic, bool noQuestion)
{
    // Only the audio flag counts; whether the drive answered does not.
    bool audio = false;
    isAudioDisc(drive, audio);
    if (audio
        && questions().messageBox(QStringLiteral("This CD contains audio tracks. Continue ?"),
               QStringLiteral("Scan CD"), MessageIcon::Question, YesButton | NoButton, true)
            != YesButton) {
        return 0;
    }

    // Without a disc the serial stays 0. A drive without a readable medium has nothing to record: an
    // empty entry would pass for a scan.
    TKTBDisc disc {};
    ktbDiscFromDrive(drive, disc);
    if (!symbolic && disc.Serial == 0) {
        aborted();
        return 0;
    }
    if (templateDisc.Title[0] != '\0') {
        copyField(disc.Title, templateDisc.Title, sizeof disc.Title);
    }
    copyField(disc.Comment, templateDisc.Comment, sizeof disc.Comment);

    quint32 olderOffset = 0;
    if (symbolic) {
        disc.Serial = 0;
        disc.Used = 0;
        disc.Capacity = 0;
        disc.Files = 0;
        disc.Folders = 0;
    } else {
        KtbEntityPtr older;
        if (ktbFindDiscBySerialOwned(destination, disc.Serial, older)) {
            olderOffset = older->Offset;
            const char* stored = older->disc()->Title;
            const QString title = decodeCatalogText(std::string_view(stored, strnlen(stored, sizeof disc.Title)));
            if (!noQuestion
                && questions().messageBox(QStringLiteral("Rescan and overwrite ") + title + QStringLiteral(" ?"),
                       QStringLiteral("CD exists"), MessageIcon::Question, YesButton | NoButton, true)
                    != YesButton) {
                return 0;
            }
        }
    }
    disc.Flags = audio ? KTB_DISC_AUDIO : 0;

    DiscRecording recording(scanScratchLayout());
    ScanProgressDialog progress;
    disc.ScanTime = dateTimeToDos(QDateTime::currentDateTime());
    const bool recorded = recording.usable() && progress.startScan(recording, drive, disc);
    if (!recorded) {
        aborted();
        return 0;
    }
    const TransplantResult moved = recording.transplant(destination, olderOffset);
    switch (moved.failure) {
    case TransplantFailure::None:
        return moved.offset;
    case TransplantFailure::ScratchNotOpened:
        throw ScanError("ERROR1");
    case TransplantFailure::OlderNotRemoved:
        throw ScanError("ERROR2");
    case TransplantFailure::NotAppended:
        break;
    }
    throw ScanError("ERROR3");
}
