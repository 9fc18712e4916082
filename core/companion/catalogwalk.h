#pragma once
// The walk of chosen filesets that the companion programs share: every catalog (or every chosen disc
// of it) is walked once, record by record with end marks, as the fileset properties window counts;
// the catalogs are walked side by side by a few worker threads, with progress and a stop request that
// ends every walk within a few microseconds.
//
// Use:
//     CatalogWalk walk(targets);
//     std::vector<MyCounts> perWorker(walk.workerCount());
//     walk.onProgress = [](std::uint64_t done, std::uint64_t total) { ... };   // the calling thread
//     walk.run([&](RecordWalk& one) {                                          // a worker thread
//         MyCounts& counts = perWorker[one.worker()];
//         one.forEachRecord([&](const WalkRecord& record) { counts.add(record); });
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
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class Fileset;

/// One fileset to walk, whole or some of its discs.
struct WalkTarget {
    int catalog = -1; ///< the fileset's index among the caller's catalogs (CompanionCatalogs)
    Fileset* fileset = nullptr;
    std::vector<std::uint32_t> discs; ///< offsets of the chosen discs; empty: the whole fileset
};

/// Why a target was not walked to its end.
struct WalkFault {
    std::size_t target = 0;
    QString message; ///< for the user, naming the catalog file
};

/// One record of a walk, valid while it is visited. Texts are catalog bytes (decodeCatalogText).
struct WalkRecord {
    std::uint32_t offset = 0; ///< the record's identity
    std::uint8_t kind = 0; ///< KTB_TAG_
    /// A folder's or a file's name, a disc's title; on an end mark, the name or title of what it ends.
    std::string_view name;
    std::string_view comment; ///< a file's comment
    std::uint32_t size = 0; ///< a file's size
    std::uint32_t dateTime = 0; ///< a file's packed DOS date-time
    const TKTBDisc* disc = nullptr; ///< a disc's record
    /// The disc and the folders that hold the record, outermost first: their offsets and their titles or
    /// names. On a folder's record and on its end mark the folder itself comes last; on a disc's record
    /// and its end mark, the disc alone.
    std::span<const std::uint32_t> chain;
    std::span<const std::string> chainNames;
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
    /// Asks every walk to stop before its next few records; any thread may call it, also before run().
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

    void open(std::size_t index);
    void work(unsigned worker, const Body& body);
    void addFault(std::size_t target, const QString& message);

    std::vector<WalkTarget> m_targets;
    unsigned m_workerCount;
    std::vector<Slot> m_slots;
    std::vector<std::unique_ptr<TKTBBatch>> m_batches; ///< one a worker
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

    /// Calls visit(const WalkRecord&) for every record of the target in file order: discs, folders,
    /// files and their end marks; for chosen discs, each disc from its record through its end mark.
    /// The catalog is read many records at a time (ktbFindBatch). Answers true when every record was
    /// visited; false when the walk was stopped or a damaged record ended it (the target then has its
    /// fault).
    template <class Visit> bool forEachRecord(Visit&& visit);

private:
    friend class CatalogWalk;
    RecordWalk(CatalogWalk& walk, std::size_t index, unsigned worker, TKTBHandle* handle, TKTBBatch& batch);

    /// The cursor at the first record of a part (the whole catalog, or one chosen disc); null when the
    /// part has nothing to visit or its first record is damaged (a fault is then added).
    KtbCursorPtr startPart(std::size_t part);
    /// Ends a part that ktbFindBatch ended with answer; false when the walk must not go on.
    bool endPart(std::uint32_t position, TKTBERROR answer);
    void noteProgress(std::uint32_t position);
    /// Makes m_record the record, the chain grown by a disc or folder it starts.
    void take(const TKTBEntity& entity);
    void take(const TKTBBatch& batch, const TKTBRecord& record)
    {
        m_record.offset = record.Offset;
        m_record.kind = record.Kind;
        m_record.name = batch.name(record);
        m_record.comment = batch.comment(record);
        m_record.size = record.Size;
        m_record.dateTime = record.DateTime;
        m_record.disc = record.Kind == KTB_TAG_DISC ? &batch.disc(record) : nullptr;
        if (record.Kind != KTB_TAG_FILE) {
            chainRecord();
        }
    }
    /// Grows the chain by the disc or folder that m_record starts, or names what an end mark ends.
    void chainRecord();
    void enter(std::uint32_t offset, std::string_view name);
    /// After the visit of an end mark: the chain loses the folder or disc it ended.
    void leave();
    /// The record's chain is the walk's chain again.
    void showChain()
    {
        m_record.chain = std::span<const std::uint32_t>(m_chain.data(), m_chain.size());
        m_record.chainNames = std::span<const std::string>(m_chainNames.data(), m_chain.size());
    }

    CatalogWalk& m_walk;
    std::size_t m_index;
    unsigned m_worker;
    TKTBHandle* m_handle;
    TKTBBatch& m_batch;
    WalkRecord m_record;
    std::vector<std::uint32_t> m_chain;
    std::vector<std::string> m_chainNames; ///< grown only: its first m_chain.size() entries count
    std::uint64_t m_walked = 0; ///< bytes counted as progress, all parts together
    std::uint32_t m_partStart = 0; ///< where the part being walked starts
    std::uint32_t m_partWalked = 0; ///< bytes of that part counted as progress
    std::uint32_t m_released = 0; ///< pages before this offset were handed back
    bool m_faulted = false;
};

template <class Visit> bool RecordWalk::forEachRecord(Visit&& visit)
{
    const bool chosenDiscs = !target().discs.empty();
    const std::size_t parts = chosenDiscs ? target().discs.size() : 1;
    const auto visitTaken = [&]() {
        visit(static_cast<const WalkRecord&>(m_record));
        const bool end = m_record.kind == KTB_TAG_ENDFOLDER || m_record.kind == KTB_TAG_ENDDISC;
        if (end) {
            leave();
        }
        // A chosen disc ends with its end mark.
        return !(chosenDiscs && m_record.kind == KTB_TAG_ENDDISC);
    };
    for (std::size_t part = 0; part < parts; ++part) {
        KtbCursorPtr cursor = startPart(part);
        if (cursor == nullptr) {
            if (m_faulted || stopRequested()) {
                return false;
            }
            continue;
        }
        take(*cursor->Current);
        bool goOn = visitTaken();
        TKTBERROR answer = goOn ? KTB_OK : KTB_NOENTITIES;
        std::uint32_t position = cursor->Position;
        while (goOn && answer == KTB_OK && !stopRequested()) {
            answer = ktbFindBatch(cursor.get(), m_batch);
            position = cursor->Position;
            for (std::uint32_t i = 0; goOn && i < m_batch.Count; ++i) {
                take(m_batch, m_batch.Records[i]);
                goOn = visitTaken();
                if (!goOn) {
                    answer = KTB_NOENTITIES;
                    position = m_record.offset + 1;
                }
            }
            noteProgress(position);
        }
        if (!endPart(position, answer)) {
            return false;
        }
    }
    return true;
}
