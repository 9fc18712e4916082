#include "core/catalog/catalogchanges.h"

#include "core/filesets/fileset.h"
#include "core/filesets/filesetregistry.h"
#include "engine/ktb32.h"
#include "engine/ktb_discs.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

DiscMoveResult moveDisc(TKTBHandle* source, std::uint32_t offset, TKTBHandle* destination)
{
    // Checked before the copy, so a disc that has to stay never passes through the destination.
    if (const TKTBERROR code = ktbCheckWritable(source); code != KTB_OK) {
        return { DiscMoveOutcome::Refused, code };
    }
    std::uint32_t newOffset = 0;
    if (const TKTBERROR code = ktbCopyDisc(source, destination, offset, newOffset); code != KTB_OK) {
        return { DiscMoveOutcome::NotCopied, code };
    }
    const TKTBERROR deleted = ktbDeleteDisc(source, offset);
    if (deleted == KTB_OK) {
        return { DiscMoveOutcome::Moved, KTB_OK, newOffset };
    }
    if (ktbDeleteDisc(destination, newOffset) == KTB_OK) {
        return { DiscMoveOutcome::TakenBack, deleted };
    }
    return { DiscMoveOutcome::LeftInBoth, deleted, newOffset };
}

void deleteFileset(FilesetRegistry& registry, Fileset* fileset)
{
    const QString path = fileset->fileName;
    if (const int index = registry.indexOf(fileset); index >= 0) {
        registry.removeAt(index);
    }
    const QString backup = path + QStringLiteral(".bak");
    if (QFileInfo::exists(backup)) {
        QFile::remove(backup);
    }
    QFile::rename(path, backup);
}
