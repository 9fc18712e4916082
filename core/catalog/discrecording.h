#pragma once
// Recording a source into a fileset: the one road by which a disc's folder tree enters a catalog, for
// the program's scan, `ktb record` and the import alike. The source (a drive letter; folders and images are put
// behind a drive of the drive layer) is recorded into a scratch catalog of its own, and only a finished
// recording is moved into the fileset, so a stopped or failed one leaves the fileset as it was.

#include "core/catalog/scratchcatalog.h"
#include "engine/ktb_owners.h"
#include "engine/ktbdef.h"

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

/// How far a recording has come.
struct RecordingProgress {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t bytes = 0; ///< the files' sizes as the disc record counts them (the low 32 bits of each)
    const char* walkPath = nullptr; ///< the folder being walked ("D:\Music\"); valid during the call only
};

/// Why a walk ended before the whole tree was recorded.
struct WalkFailure {
    std::string folder; ///< the folder that could not be listed ("D:\Music\"); empty when stopped on request
    std::string problem; ///< why, when the drive knows ("a damaged directory record"); else empty
    bool nothingOnMedium = false; ///< the drive's top folder holds no files or folders at all
};

/// Why a recorded disc did not get into its fileset.
enum class TransplantFailure {
    None,
    ScratchNotOpened, ///< the scratch catalog cannot be opened again; the fileset is unchanged
    OlderNotRemoved, ///< the older entry cannot be deleted; the fileset is unchanged
    NotAppended, ///< the new disc cannot be appended; the fileset is unchanged (an older entry stays)
};

struct TransplantResult {
    TransplantFailure failure = TransplantFailure::None;
    TKTBERROR code = KTB_OK; ///< the engine's answer to the step that failed
    std::uint32_t offset = 0; ///< where the new disc is in the fileset, when it got there
};

/// One recording: create() and record() run on one thread (a worker's), transplant() afterwards on
/// the thread that uses the fileset's handle. The scratch folder goes with the object.
class DiscRecording {
public:
    using ProgressFunction = std::function<void(const RecordingProgress&)>;

    explicit DiscRecording(const ScratchLayout& layout);
    ~DiscRecording();
    DiscRecording(const DiscRecording&) = delete;
    DiscRecording& operator=(const DiscRecording&) = delete;

    /// False when no scratch folder could be made: nothing can be recorded.
    bool usable() const { return m_scratch.usable(); }
    /// The scratch catalog's path, in the file system's encoding.
    QByteArray scratchPath() const { return m_scratch.filePath(); }

    /// Creates the scratch catalog (the file must not exist yet); the engine's answer.
    TKTBERROR create();
    /// Records the drive's folder tree into the created scratch catalog as disc, and closes it. Calls
    /// progress for every entry recorded, on this thread (it must be quick), and stops after the entry
    /// once requestStop() was called. Answers KTB_OK when the whole tree was recorded, and
    /// KTB_ERR_INTERRUPTED when it was stopped or a folder could not be listed (walkFailure() tells
    /// which folder and why); a disc with serial 0 is an entry without contents and reads no drive.
    TKTBERROR record(char drive, const TKTBDisc& disc, const ProgressFunction& progress = {});
    /// Records a disc that write appends to the created scratch catalog (an import builds it from a
    /// listing instead of a drive), as one change of that catalog, and closes it. Answers what write
    /// answers; on anything but KTB_OK the scratch catalog is cut back to its header.
    TKTBERROR recordWith(const std::function<TKTBERROR(TKTBHandle* scratch)>& write);
    /// Where and why the last record() could not list a folder; read it on any thread once record() ended.
    const WalkFailure& walkFailure() const { return m_walkFailure; }
    /// Asks record() to stop after the entry being recorded; safe from any thread.
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

    /// Moves the recorded disc to the end of destination, replacing the older entry of the same disc at
    /// olderOffset (0: none), in one change of the fileset: on any failure it is as it was.
    TransplantResult transplant(TKTBHandle* destination, std::uint32_t olderOffset);

private:
    static bool recordEntry(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* recording);

    ScratchCatalog m_scratch; // declared first: the handles on its files close before it goes
    KtbHandlePtr m_handle;
    std::atomic_bool m_stop { false };
    RecordingProgress m_progress;
    WalkFailure m_walkFailure;
    const ProgressFunction* m_onProgress = nullptr;
};
