#include "gui/scan/scanprocedure.h"

#include "core/common/questions.h"
#include "core/drives/driveutils.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "gui/scan/scanprogressdialog.h"

#include <QDateTime>
#include <QDir>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

const QString ScratchFolderPrefix = QStringLiteral("katalox-scan-");
std::function<void(const QString& scratchFile)> scanBeforeTransplant;

namespace {

const QString s_scratchName = QStringLiteral("_temp.ktb");
const QString s_keepName = QStringLiteral("_keep.ktb");

/// Whether a process with this id is running.
bool processAlive(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH); }

/// Removes the scratch folders of scans that ended without cleaning up (a crash, a power cut): folders
/// of ours whose process is gone, or that carry our own process id from an earlier process.
void removeLeftovers(const QString& temporaryFolder)
{
    const QDir folder(temporaryFolder);
    const QStringList names = folder.entryList({ ScratchFolderPrefix + QStringLiteral("*") },
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QString rest = name.mid(ScratchFolderPrefix.size());
        bool isNumber = false;
        const long long pid = rest.section(QLatin1Char('-'), 0, 0).toLongLong(&isNumber);
        if (!isNumber || (pid != ::getpid() && processAlive(static_cast<pid_t>(pid)))) {
            continue;
        }
        const QByteArray path = folder.filePath(name).toLocal8Bit();
        struct stat status { };
        if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid()) {
            continue;
        }
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(path.constData()), ignored);
    }
}

/// The scratch catalog of one scan: a private folder made for it in the temporary folder, the catalog
/// in it, and a copy of the older entry while a rescan replaces it. Everything goes when it ends.
class ScratchCatalog {
public:
    ScratchCatalog()
    {
        const QString temporaryFolder = QDir::tempPath();
        removeLeftovers(temporaryFolder);
        QByteArray pattern
            = QDir(temporaryFolder)
                  .filePath(ScratchFolderPrefix + QString::number(::getpid()) + QStringLiteral("-XXXXXX"))
                  .toLocal8Bit();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_folder = QString::fromLocal8Bit(pattern);
        }
    }
    ~ScratchCatalog()
    {
        ktbClose(handle);
        ktbClose(kept);
        if (m_folder.isEmpty()) {
            return;
        }
        ::unlink(fileName().toLocal8Bit().constData());
        ::unlink(keptName().toLocal8Bit().constData());
        ::rmdir(m_folder.toLocal8Bit().constData());
    }
    ScratchCatalog(const ScratchCatalog&) = delete;
    ScratchCatalog& operator=(const ScratchCatalog&) = delete;

    /// False when no private folder could be made (the recording cannot be made either).
    bool usable() const { return !m_folder.isEmpty(); }
    QString fileName() const { return m_folder + QLatin1Char('/') + s_scratchName; }
    QString keptName() const { return m_folder + QLatin1Char('/') + s_keepName; }

    TKTBHandle* handle = nullptr;
    TKTBHandle* kept = nullptr;

private:
    QString m_folder;
};

/// Copies the disc at offset of destination into a catalog of its own, so it can be put back.
bool keepOlderEntry(ScratchCatalog& scratch, TKTBHandle* destination, quint32 offset)
{
    const QByteArray keepPath = scratch.keptName().toLocal8Bit();
    if (ktbOpen(scratch.kept, keepPath.constData(), KTB_OPEN_CREATE) != KTB_OK) {
        return false;
    }
    std::uint32_t kept = 0;
    return ktbCopyDisc(destination, scratch.kept, offset, kept) == KTB_OK;
}

/// Moves the recorded disc into destination, replacing the older entry at olderOffset (0: none), and
/// answers its offset there. When the new disc cannot be appended, the older entry is appended again.
quint32 transplant(ScratchCatalog& scratch, TKTBHandle* destination, quint32 olderOffset)
{
    const QByteArray scratchPath = scratch.fileName().toLocal8Bit();
    if (ktbOpen(scratch.handle, scratchPath.constData(), 0) != KTB_OK) {
        throw ScanError("ERROR1");
    }
    if (olderOffset != 0) {
        // The older entry is deleted only once a copy of it is safe.
        if (!keepOlderEntry(scratch, destination, olderOffset) || ktbDeleteDisc(destination, olderOffset) != KTB_OK) {
            throw ScanError("ERROR2");
        }
    }
    std::uint32_t newOffset = 0;
    if (ktbCopyDisc(scratch.handle, destination, KTB_HEADER_SIZE, newOffset) != KTB_OK) {
        if (olderOffset != 0) {
            std::uint32_t restored = 0;
            ktbCopyDisc(scratch.kept, destination, KTB_HEADER_SIZE, restored);
        }
        throw ScanError("ERROR3");
    }
    ktbClose(scratch.handle);
    return newOffset;
}

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
        TKTBEntity* older = nullptr;
        if (ktbFindDiscBySerial(destination, disc.Serial, older)) {
            olderOffset = older->Offset;
            const char* stored = older->disc()->Title;
            const QString title = decodeCatalogText(std::string_view(stored, strnlen(stored, sizeof disc.Title)));
            ktbFreeEntity(older);
            if (!noQuestion
                && questions().messageBox(QStringLiteral("Rescan and overwrite ") + title + QStringLiteral(" ?"),
                       QStringLiteral("CD exists"), MessageIcon::Question, YesButton | NoButton, true)
                    != YesButton) {
                return 0;
            }
        }
    }
    disc.Flags = audio ? KTB_DISC_AUDIO : 0;

    ScratchCatalog scratch;
    ScanProgressDialog progress;
    disc.ScanTime = dateTimeToDos(QDateTime::currentDateTime());
    const bool recorded = scratch.usable() && progress.startScan(scratch.fileName(), drive, disc);
    if (!recorded) {
        aborted();
        return 0;
    }
    if (scanBeforeTransplant) {
        scanBeforeTransplant(scratch.fileName());
    }
    return transplant(scratch, destination, olderOffset);
}
