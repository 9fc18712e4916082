#include "core/catalog/catalogchanges.h"

#include "core/filesets/fileset.h"
#include "core/filesets/filesetregistry.h"
#include "engine/ktb32.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_fileio.h"
#include "engine/ktb_journal.h"
#include "engine/ktb_owners.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <vector>

DiscMoveResult moveDisc(TKTBHandle* source, std::uint32_t offset, TKTBHandle* destination)
{
    // Checked before the copy, so a disc that has to stay never passes through the destination.
    if (const TKTBERROR code = ktbCheckWritable(source); code != KTB_OK) {
        return { DiscMoveOutcome::Refused, code };
    }
    // Refusals the copy would meet are asked first, before the journals are written.
    std::uint32_t serial = 0;
    if (const TKTBERROR code = ktbGetDiscSerial(source, offset, serial); code != KTB_OK) {
        return { DiscMoveOutcome::NotCopied, code };
    }
    if (const TKTBERROR code = ktbCheckWritable(destination); code != KTB_OK) {
        return { DiscMoveOutcome::NotCopied, code };
    }
    if (KtbEntityPtr existing; ktbFindDiscBySerialOwned(destination, serial, existing)) {
        return { DiscMoveOutcome::NotCopied, KTB_ERR_DISCEXISTS };
    }
    // The copy and the delete are one change of both catalogs: after a crash at any moment the disc is
    // in the source or in the destination, never in both or neither.
    const std::uint32_t sourceSize = ktbFileSize(source);
    const std::vector<TKTBRange> cut { { offset, offset < sourceSize ? sourceSize - offset : 0 } };
    if (const TKTBERROR code = ktbBeginLinkedChange(destination, {}, source, cut); code != KTB_OK) {
        return { DiscMoveOutcome::NotCopied, code };
    }
    std::uint32_t newOffset = 0;
    if (const TKTBERROR code = ktbCopyDisc(source, destination, offset, newOffset); code != KTB_OK) {
        ktbEndLinkedChange(destination, source, false);
        return { DiscMoveOutcome::NotCopied, code };
    }
    const TKTBERROR deleted = ktbDeleteDisc(source, offset);
    if (deleted != KTB_OK) {
        const bool takenBack = ktbEndLinkedChange(destination, source, false);
        return { takenBack ? DiscMoveOutcome::TakenBack : DiscMoveOutcome::LeftInBoth, deleted, newOffset };
    }
    if (!ktbEndLinkedChange(destination, source, true)) {
        return { DiscMoveOutcome::TakenBack, KTB_ERR_FILENOTAVAILABLE };
    }
    return { DiscMoveOutcome::Moved, KTB_OK, newOffset };
}

namespace {

// Renames a catalog and the journal a crash may have left beside it together, so that what the journal
// undoes is undone on the file of the new name; a journal already under the new name belongs to no file
// there and goes. replace: whether a file of the new name is replaced.
bool renameCatalog(const QString& from, const QString& to, bool replace)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (!ktbIoRename(source.constData(), target.constData(), replace)) {
        return false;
    }
    const std::string journal = ktbJournalPath(source.toStdString());
    const std::string targetJournal = ktbJournalPath(target.toStdString());
    if (QFile::exists(QFile::decodeName(QByteArray::fromStdString(journal)))) {
        ktbIoRename(journal.c_str(), targetJournal.c_str());
    } else {
        ktbIoRemove(targetJournal.c_str());
    }
    ktbIoSyncFolder(target.constData());
    return true;
}

} // namespace

void deleteFileset(FilesetRegistry& registry, Fileset* fileset)
{
    const QString path = fileset->fileName;
    if (const int index = registry.indexOf(fileset); index >= 0) {
        registry.removeAt(index);
    }
    // What a crash left is rolled back first (a writer's open does that), so the ".bak" is whole and no
    // journal is left under the catalog's name for a new file of that name to find.
    const QByteArray encoded = QFile::encodeName(path);
    {
        KtbHandlePtr recovered;
        ktbOpenOwned(recovered, encoded.constData(), 0);
    }
    // A journal the roll-back could not use goes with its catalog; an older ".bak"'s goes.
    renameCatalog(path, path + QStringLiteral(".bak"), true);
}

QStringList deletedFilesets(const QStringList& folders, const QStringList& files)
{
    QStringList found;
    auto add = [&found](const QString& path) {
        if (!found.contains(path) && QFileInfo(path).isFile()) {
            found.append(path);
        }
    };
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList names
            = dir.entryList({ QStringLiteral("*.ktb.bak") }, QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names) {
            add(dir.absoluteFilePath(name));
        }
    }
    for (const QString& file : files) {
        add(file + QStringLiteral(".bak"));
    }
    return found;
}

QString restoredName(const QString& backup)
{
    return backup.endsWith(QStringLiteral(".bak"), Qt::CaseInsensitive) ? backup.chopped(4) : QString();
}

RestoreOutcome restoreFileset(const QString& backup, const QString& target)
{
    if (!QFileInfo(backup).isFile()) {
        return RestoreOutcome::Failed;
    }
    if (QFileInfo::exists(target)) {
        return RestoreOutcome::NameTaken;
    }
    // Never over a file: one made between the look above and the rename stays as it is.
    if (!renameCatalog(backup, target, false)) {
        return QFileInfo::exists(target) ? RestoreOutcome::NameTaken : RestoreOutcome::Failed;
    }
    return RestoreOutcome::Restored;
}
