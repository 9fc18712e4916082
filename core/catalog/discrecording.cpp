#include "core/catalog/discrecording.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_journal.h"

#include <vector>

DiscRecording::DiscRecording(const ScratchLayout& layout)
    : m_scratch(layout)
{
}

DiscRecording::~DiscRecording() = default;

TKTBERROR DiscRecording::create()
{
    const QByteArray path = m_scratch.filePath();
    return ktbOpenOwned(m_handle, path.constData(), KTB_OPEN_CREATE | KTB_OPEN_SCRATCH);
}

bool DiscRecording::recordEntry(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* recording)
{
    auto* self = static_cast<DiscRecording*>(recording);
    RecordingProgress& progress = self->m_progress;
    if (kind == KTB_WALK_FILE && entry != nullptr) {
        ++progress.files;
        progress.bytes += static_cast<std::uint32_t>(entry->Size);
    } else if (kind == KTB_WALK_FOLDER) {
        ++progress.folders;
    }
    if (*self->m_onProgress) {
        progress.walkPath = path;
        (*self->m_onProgress)(progress);
    }
    return !self->m_stop.load(std::memory_order_relaxed);
}

TKTBERROR DiscRecording::record(char drive, const TKTBDisc& disc, const ProgressFunction& progress)
{
    m_progress = RecordingProgress {};
    m_onProgress = &progress;
    const TKTBERROR result = ktbRecordDrive(m_handle.get(), drive, disc, this, recordEntry);
    // The engine keeps them per thread: taken here, on the thread that walked, for whoever reads them.
    m_walkFailure = { ktbLastWalkFailure(), ktbLastWalkProblem(), ktbLastWalkFoundNothing() };
    m_onProgress = nullptr;
    m_handle.reset();
    return result;
}

TKTBERROR DiscRecording::recordWith(const std::function<TKTBERROR(TKTBHandle* scratch)>& write)
{
    TKTBERROR result = ktbBeginChange(m_handle.get());
    if (result == KTB_OK) {
        result = write(m_handle.get());
        if (!ktbEndChange(m_handle.get(), result == KTB_OK) && result == KTB_OK) {
            result = KTB_ERR_MAPPINGFAILED;
        }
    }
    m_handle.reset();
    return result;
}

TransplantResult DiscRecording::transplant(TKTBHandle* destination, std::uint32_t olderOffset)
{
    KtbHandlePtr scratch;
    const QByteArray scratchPath = m_scratch.filePath();
    if (const TKTBERROR code = ktbOpenOwned(scratch, scratchPath.constData(), KTB_OPEN_READONLY); code != KTB_OK) {
        return { TransplantFailure::ScratchNotOpened, code };
    }
    // Replacing an older entry is one change: the delete and the append are rolled back together, so
    // after a failure or a crash the fileset holds the older disc or the new one, never neither or both.
    // The duplicate-serial check of the append runs after the delete, so it passes over the disc being
    // replaced.
    std::vector<TKTBRange> replaced;
    const std::uint32_t size = ktbFileSize(destination);
    if (olderOffset != 0 && olderOffset < size) {
        replaced.push_back({ olderOffset, size - olderOffset });
    }
    if (const TKTBERROR code = ktbBeginChange(destination, replaced); code != KTB_OK) {
        return { olderOffset != 0 ? TransplantFailure::OlderNotRemoved : TransplantFailure::NotAppended, code };
    }
    if (olderOffset != 0) {
        if (const TKTBERROR code = ktbDeleteDisc(destination, olderOffset); code != KTB_OK) {
            ktbEndChange(destination, false);
            return { TransplantFailure::OlderNotRemoved, code };
        }
    }
    std::uint32_t newOffset = 0;
    if (const TKTBERROR code = ktbCopyDisc(scratch.get(), destination, KTB_HEADER_SIZE, newOffset); code != KTB_OK) {
        ktbEndChange(destination, false);
        return { TransplantFailure::NotAppended, code };
    }
    if (!ktbEndChange(destination, true)) {
        return { TransplantFailure::NotAppended, KTB_ERR_FILENOTAVAILABLE };
    }
    return { TransplantFailure::None, KTB_OK, newOffset };
}
