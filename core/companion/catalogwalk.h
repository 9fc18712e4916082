#pragma once
// The walk of chosen filesets that the companion programs share: every catalog (or every chosen disc
// of it) is walked once, record by record with end marks, as the fileset properties window counts;
// the catalogs are walked side by side by a few worker threads, with progress and a stop request that
// ends every walk before its next record.
//
// Use:
//     CatalogWalk walk(targets);
//     std::vector<MyCounts> perWorker(walk.workerCount());
//     walk.onProgress = [](std::uint64_t done, std::uint64_t total) { ... };   // the calling thread
//     walk.run([&](RecordWalk& one) {                                          // a worker thread
//         MyCounts& counts = perWorker[one.worker()];
//         one.forEachRecord([&](const TKTBCursor& cursor) { counts.add(*cursor.Current); });
//     });
//     // walk.faults(): the catalogs that could not be opened or read to their end
//
// The body of a walk touches only its own target's catalog and its worker's own data; the window
// thread must not use the targets' Fileset objects while run() is running.

#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class Fileset;

/// One fileset to walk, whole or some of its discs.
struct WalkTarget {
    int catalog = -1; ///< the fileset's index among the caller's catalogs (CompanionCatalogs)
    Fileset* fileset = nullptr;
    std::vector<std::uint32_t> discs; ///< offsets of the chosen discs in file order; empty: the whole fileset
};

/// Why a target was not walked to its end.
struct WalkFault {
    std::size_t target = 0;
    QString message; ///< for the user, naming the catalog file
};

class RecordWalk;

class CatalogWalk {
public:
    using Body = std::function<void(RecordWalk& walk)>;
    using ProgressListener = std::function<void(std::uint64_t done, std::uint64_t total)>;

    /// Walks on at most maxWorkers threads (0: one per processor core), never more than targets.
    explicit CatalogWalk(std::vector<WalkTarget> targets, unsigned maxWorkers = 0);
    ~CatalogWalk();
    CatalogWalk(const CatalogWalk&) = delete;
    CatalogWalk& operator=(const CatalogWalk&) = delete;

    const std::vector<WalkTarget>& targets() const { return m_targets; }
    /// How many threads run() walks on (at least 1); RecordWalk::worker() is below it.
    unsigned workerCount() const { return m_workerCount; }

    /// Opens every target's catalog on the calling thread, then runs body once for each target on the
    /// worker threads, handing the targets out in list order, and waits for the end. onProgress is
    /// called on the calling thread a few times a second and once at the end. A target whose catalog
    /// cannot be opened, whose walk meets a damaged record, or whose body raises gets a fault; the other
    /// targets are walked all the same. Answers false when the walk was stopped. Runs once.
    bool run(const Body& body);
    /// Asks every walk to stop before its next record; any thread may call it, also before run().
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }

    /// Faults in target order.
    const std::vector<WalkFault>& faults() const { return m_faults; }
    /// Bytes of records to walk in all targets, known once run() opened them, and walked so far.
    std::uint64_t totalBytes() const { return m_totalBytes; }
    std::uint64_t doneBytes() const { return m_doneBytes.load(std::memory_order_relaxed); }

    ProgressListener onProgress;

private:
    friend class RecordWalk;
    struct Slot;

    void open(Slot& slot);
    void work(unsigned worker, const Body& body);
    void addFault(std::size_t target, const QString& message);

    std::vector<WalkTarget> m_targets;
    unsigned m_workerCount;
    std::vector<Slot> m_slots;
    std::atomic_bool m_stop { false };
    std::atomic<std::size_t> m_next { 0 };
    std::atomic<std::uint64_t> m_doneBytes { 0 };
    std::uint64_t m_totalBytes = 0;
    std::mutex m_faultMutex;
    std::vector<WalkFault> m_faults;
};

/// The walk of one target, handed to the body on its worker thread.
class RecordWalk {
public:
    const WalkTarget& target() const { return m_walk.m_targets[m_index]; }
    std::size_t targetIndex() const { return m_index; }
    unsigned worker() const { return m_worker; }
    TKTBHandle* handle() const { return m_handle; }
    bool stopRequested() const { return m_walk.stopRequested(); }

    /// Calls visit(const TKTBCursor&) for every record of the target in file order, the cursor's
    /// Current being the record: discs, folders, files and their end marks (KTB_FIND_ENDMARKS); for
    /// chosen discs, each disc from its record through its end mark. The cursor's Chain holds the
    /// enclosing disc and folders (a folder's own offset last; after an end-of-folder mark, without
    /// it). Answers true when every record was visited; false when the walk was stopped or a damaged
    /// record ended it (the target then has its fault).
    template <class Visit> bool forEachRecord(Visit&& visit);

private:
    friend class CatalogWalk;
    RecordWalk(CatalogWalk& walk, std::size_t index, unsigned worker, TKTBHandle* handle);

    /// The cursor at the first record of a part (the whole catalog, or one chosen disc); null when the
    /// part has nothing to visit or its first record is damaged (a fault is then added).
    KtbCursorPtr startPart(std::size_t part);
    /// Ends a part after ktbFindNext answered answer; false when the walk must not go on.
    bool endPart(const TKTBCursor& cursor, TKTBERROR answer);
    void noteProgress(std::uint32_t position);

    CatalogWalk& m_walk;
    std::size_t m_index;
    unsigned m_worker;
    TKTBHandle* m_handle;
    std::uint32_t m_walked = 0; ///< bytes counted as progress, all parts together
    std::uint32_t m_partStart = 0; ///< where the part being walked starts
    std::uint32_t m_partWalked = 0; ///< bytes of that part counted as progress
    std::uint32_t m_released = 0; ///< pages before this offset were handed back
    bool m_faulted = false;
};

template <class Visit> bool RecordWalk::forEachRecord(Visit&& visit)
{
    const std::atomic_bool& stop = m_walk.m_stop;
    const bool chosenDiscs = !target().discs.empty();
    const std::size_t parts = chosenDiscs ? target().discs.size() : 1;
    for (std::size_t part = 0; part < parts; ++part) {
        KtbCursorPtr cursor = startPart(part);
        if (cursor == nullptr) {
            if (m_faulted || stop.load(std::memory_order_relaxed)) {
                return false;
            }
            continue;
        }
        TKTBERROR answer = KTB_OK;
        std::uint32_t records = 0;
        do {
            visit(static_cast<const TKTBCursor&>(*cursor));
            if (chosenDiscs && cursor->Current->Kind == KTB_TAG_ENDDISC) {
                answer = KTB_NOENTITIES; // the chosen disc ends here
                break;
            }
            if (++records % 4096 == 0) {
                noteProgress(cursor->Position);
            }
        } while (!stop.load(std::memory_order_relaxed) && (answer = ktbFindNext(cursor.get())) == KTB_OK);
        if (!endPart(*cursor, answer)) {
            return false;
        }
    }
    return true;
}
