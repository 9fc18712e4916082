#include "core/catalog/discrecording.h"

#include "engine/ktb_discs.h"

namespace {

/// Where the older entry of a rescanned disc waits while the new one replaces it.
const QByteArray s_keptName = QByteArrayLiteral("_keep.ktb");

} // namespace

DiscRecording::DiscRecording(const ScratchLayout& layout)
    : m_scratch(layout)
{
}

DiscRecording::~DiscRecording() = default;

TKTBERROR DiscRecording::create()
{
    const QByteArray path = m_scratch.filePath();
    return ktbOpenOwned(m_handle, path.constData(), KTB_OPEN_CREATE);
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
    m_onProgress = nullptr;
    m_handle.reset();
    return result;
}

TransplantResult DiscRecording::transplant(TKTBHandle* destination, std::uint32_t olderOffset)
{
    KtbHandlePtr scratch;
    const QByteArray scratchPath = m_scratch.filePath();
    if (const TKTBERROR code = ktbOpenOwned(scratch, scratchPath.constData(), 0); code != KTB_OK) {
        return { TransplantFailure::ScratchNotOpened, code };
    }
    KtbHandlePtr kept;
    if (olderOffset != 0) {
        const QByteArray keptPath = m_scratch.pathOf(s_keptName);
        std::uint32_t keptOffset = 0;
        TKTBERROR code = ktbOpenOwned(kept, keptPath.constData(), KTB_OPEN_CREATE);
        if (code == KTB_OK) {
            code = ktbCopyDisc(destination, kept.get(), olderOffset, keptOffset);
        }
        if (code == KTB_OK) {
            code = ktbDeleteDisc(destination, olderOffset);
        }
        if (code != KTB_OK) {
            return { TransplantFailure::OlderNotRemoved, code };
        }
    }
    std::uint32_t newOffset = 0;
    if (const TKTBERROR code = ktbCopyDisc(scratch.get(), destination, KTB_HEADER_SIZE, newOffset); code != KTB_OK) {
        if (kept != nullptr) {
            std::uint32_t restored = 0;
            ktbCopyDisc(kept.get(), destination, KTB_HEADER_SIZE, restored);
        }
        return { TransplantFailure::NotAppended, code };
    }
    return { TransplantFailure::None, KTB_OK, newOffset };
}
