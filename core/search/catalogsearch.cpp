#include "core/search/catalogsearch.h"

#include "core/catalog/discidentity.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/owner.h"
#include "core/text/catalogtext.h"
#include "engine/Containers.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

CatalogSearch* g_catalogSearch = nullptr;

namespace {

/// A disc title as shown: the field up to its first zero byte.
std::string_view titleBytes(const TKTBDisc& disc) { return ktbFieldText(disc.Title, sizeof disc.Title); }

std::string upperBytes(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        c = ktbUpperAscii(c);
    }
    return result;
}

/// The disc-title test: the search text as a plain substring, letter case ignored, an asterisk an
/// ordinary character; never for an empty text. A text with non-ASCII characters folds its letter case
/// as names do (in either encoding of the title).
class TitleTest {
public:
    explicit TitleTest(const std::string& text)
    {
        if (text.empty()) {
            return;
        }
        if (std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) {
            m_folded = true;
            m_needles.emplace_back();
            ktbFoldCase(text, m_needles.back());
            return;
        }
        m_needles.push_back(upperBytes(text));
        std::string other;
        if (ktbUtf8ToCp1252(text, other) && other != text) {
            m_needles.push_back(upperBytes(other));
        }
    }

    bool matches(const TKTBDisc& disc) const
    {
        if (m_needles.empty()) {
            return false;
        }
        std::string title;
        if (m_folded) {
            ktbFoldCase(titleBytes(disc), title);
        } else {
            title = upperBytes(titleBytes(disc));
        }
        return std::any_of(m_needles.begin(), m_needles.end(),
            [&title](const std::string& needle) { return title.find(needle) != std::string::npos; });
    }

private:
    std::vector<std::string> m_needles;
    bool m_folded = false;
};

QString ownerOf(Fileset& fileset)
{
    const QString owner = fileset.owner();
    return owner.isEmpty() ? NobodyOwner : owner;
}

QString filesetPath(Fileset& fileset)
{
    return ownerOf(fileset) + QLatin1Char('\\') + fileset.description() + QLatin1Char('\\');
}

// Pages of a catalog that a walk has passed are handed back, so a search over large catalogs keeps
// only a few megabytes of each mapped file in memory. The mapping is shared: the data stays in the
// page cache and reading it again simply maps it again.
constexpr std::uint32_t s_releaseStep = 8u << 20;

/// A walk that keeps results tells the later slots how many it holds every so many (fewer for a small
/// limit: every sixteenth of it).
constexpr std::size_t s_roomStep = 4096;

void releaseWalkedPages(const TKTBHandle* handle, std::uint32_t& released, std::uint32_t upTo)
{
    static const auto pageSize = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
    const std::uint32_t end = std::min(upTo, handle->Size) / pageSize * pageSize;
    if (handle->View == nullptr || end <= released) {
        return;
    }
    ::madvise(handle->View + released, end - released, MADV_DONTNEED);
    released = end;
}

/// The first sixteen bytes of a name, letters a-z folded, packed in two words so that comparing keys
/// compares those bytes as compareText does (a shorter name is padded with zero bytes).
struct SortKey {
    std::uint64_t high = 0;
    std::uint64_t low = 0;

    static constexpr int Bytes = 16;

    SortKey() = default;
    explicit SortKey(const char* name)
    {
        for (int i = 0; i < Bytes && name[i] != 0; ++i) {
            const auto byte = static_cast<std::uint64_t>(static_cast<std::uint8_t>(ktbUpperAscii(name[i])));
            (i < 8 ? high : low) |= byte << (56 - 8 * (i % 8));
        }
    }
    /// Whether the name goes on past the key.
    bool full() const { return (low & 0xFF) != 0; }
    bool operator==(const SortKey& other) const = default;
    bool operator<(const SortKey& other) const { return high != other.high ? high < other.high : low < other.low; }
};

/// The name test and the part of the filter the engine tests.
TCompare criteriaOf(const CatalogSearch& search)
{
    TCompare criteria = search.criteria();
    search.filter().addEngineCriteria(criteria);
    return criteria;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// SearchRun: the walk of the chosen filesets by a few worker threads.
//
// Each fileset of the list is a slot, walked by one worker from start to end, and the slots are handed
// out in list order. A slot keeps its folder and file results in walk order. The results of the whole
// search are the slots' results in list order, cut at the limit: so a slot never needs more than the
// limit minus what the slots before it keep. Workers keep to that bound as it becomes known (slots
// finishing before them), finished slots are cut to it, and the calling thread merges finished slots
// in list order. The outcome is that of walking the filesets one after the other, with at most about
// one limit's worth of results per worker held besides the merged ones.
//
// A slot whose room is known for good (every slot before it has ended) makes the list entry of each
// result at once, beside a small record with the first sixteen bytes of the name. A slot that runs
// beside earlier ones may have to drop what it finds, so until its room is known it only notes each
// result's values, texts and chain, and makes the entries of those it keeps once it is. The merged
// folders and files are sorted once, in the order sortEntities gives the same list, on the small
// records: the sort rarely needs to look at the entries.
//
// When the first running slot is on its way to keeping twice its room (by what it holds and how far it
// has come), the slots after it are expected to keep nothing: they stop noting and only count. Should
// that slot end with room to spare after all, each slot that counted on the guess is walked again when
// its turn to merge comes, by a worker of its own, as the first running slot.

class SearchRun {
public:
    SearchRun(CatalogSearch& helper, const std::vector<Fileset*>& filesets, const std::vector<TKTBHandle*>& handles);
    ~SearchRun();
    SearchRun(const SearchRun&) = delete;
    SearchRun& operator=(const SearchRun&) = delete;

    /// Walks every slot and puts the results into the helper's lists, the folders and files sorted;
    /// rethrows the first failure of a worker after all of them ended (the lists then hold what was
    /// merged).
    void run();
    /// Stops the walk and waits until every worker has ended (a fileset is going away).
    void stopAndWait();
    void joinWorkers();

private:
    /// A folder or file result with its entry (in its slot's arena), ready for the list.
    struct Hit {
        SortKey key;
        std::uint32_t kind;
        EntityEntry* entry;
    };

    /// A result noted while its slot's room is not known for good; its name and comment are in the
    /// slot's texts, its chain in the slot's chains.
    struct Noted {
        std::size_t text;
        std::uint32_t offset;
        std::uint32_t size;
        std::uint32_t dateTime;
        std::uint32_t chainStart;
        std::uint16_t nameLength;
        std::uint16_t commentLength;
        std::uint8_t kind;
        std::uint8_t chainLength;
    };

    enum class State { Waiting, Running, Done, Merged };

    struct Slot {
        Fileset* fileset = nullptr;
        TKTBHandle* handle = nullptr;
        State state = State::Waiting;
        /// How many results this slot may keep, as far as the slots before it are known.
        std::atomic<std::size_t> room { 0 };
        /// Whether room is known for good: every slot before this one has ended.
        std::atomic_bool roomKnown { false };
        /// kept() for the other threads while the slot runs: it only grows (but for a walk again).
        std::atomic<std::size_t> keptSoFar { 0 };
        /// How far the walk has come (the cursor's position), told with keptSoFar.
        std::atomic<std::uint32_t> position { 0 };
        /// A slot before this one is expected to fill the room.
        std::atomic_bool expectEmpty { false };
        /// The walk only counted on expectEmpty: its results are not known (set by the walk).
        bool guessed = false;
        /// The walk is the second, after a wrong guess: its discs were already counted as progress.
        bool again = false;
        /// The results, in walk order: those noted before the room was known, or those made.
        std::vector<Noted> noted;
        std::string texts;
        std::vector<std::uint32_t> chains;
        std::vector<Hit> hits;
        /// Holds the entries of hits, and those trimmed from it.
        std::unique_ptr<EntityArena> arena = std::make_unique<EntityArena>();
        std::vector<TKTBEntity*> discs;
        std::uint64_t fileMatches = 0;
        std::uint64_t folderMatches = 0;
        std::exception_ptr failure;
        /// How the walk ended when a record stopped it (KTB_OK otherwise), and where.
        TKTBERROR walkEnd = KTB_OK;
        std::uint32_t faultOffset = 0;

        ~Slot() { releaseDiscs(); }
        void releaseDiscs()
        {
            for (TKTBEntity*& disc : discs) {
                ktbFreeEntity(disc);
            }
            discs.clear();
        }
        std::size_t kept() const { return noted.size() + hits.size(); }
        /// Forgets what a guessing walk found, before it is walked again (keptSoFar may shrink: the
        /// slots after it expect more room than they get, and are cut when the walk ends).
        void restart()
        {
            releaseDiscs();
            trimTo(0);
            fileMatches = 0;
            folderMatches = 0;
            failure = nullptr;
            walkEnd = KTB_OK;
            faultOffset = 0;
            keptSoFar.store(0, std::memory_order_relaxed);
            position.store(0, std::memory_order_relaxed);
            expectEmpty.store(false, std::memory_order_relaxed);
            guessed = false;
            again = true;
        }
        void trimTo(std::size_t count)
        {
            if (noted.size() > count) {
                chains.resize(noted[count].chainStart);
                texts.resize(noted[count].text);
                noted.resize(count);
            }
            if (hits.size() > count) {
                hits.erase(hits.begin() + static_cast<std::ptrdiff_t>(count), hits.end());
            }
        }
    };

    void walkAll();
    void work();
    void walk(Slot& slot);
    /// Walks a slot again after a wrong guess, as a worker of its own.
    void walkAgain(Slot& slot);
    void finishDisc(Slot& slot, TKTBEntity*& disc, std::uint32_t files, std::uint32_t folders);
    /// Notes a result of a slot whose room is not known yet.
    static void note(Slot& slot, const TKTBEntity& entity, const TKTBCursor& cursor);
    /// Makes the entries of the results the slot noted before its room was known (it is now).
    static void makeNoted(Slot& slot);
    // Called with the lock held.
    void updateRoom();
    /// Whether the first running slot, whose room is known, is on its way to keeping twice that room.
    static bool expectsToFill(const Slot& slot, std::size_t room);
    Slot* takeNext();
    /// Takes the slots to merge next, in order; stops at a slot that must be walked again (answered,
    /// counted as running again).
    Slot* takeMergeable(std::vector<Slot*>& ready);
    void merge(Slot& slot);
    void deliver();
    void reportProgress(bool last);

    CatalogSearch& m_helper;
    const std::size_t m_limit;
    const std::size_t m_roomStep;
    const TCompare m_criteria;
    const SearchFilter m_filter;
    const std::uint32_t m_findFlags;
    /// The filter rejects files the engine reports: the walk looks at each of them.
    const bool m_testFiles;
    const TitleTest m_titleTest;
    std::atomic_bool& m_stop;

    std::vector<std::unique_ptr<Slot>> m_slots;
    std::vector<std::thread> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::size_t m_next = 0; ///< the next slot to hand out
    std::size_t m_merged = 0; ///< slots before this one are merged
    std::size_t m_mergedKept = 0; ///< results the merged slots kept
    std::vector<Hit> m_kept; ///< the merged folders and files, in list order until deliver sorts them
    std::vector<std::unique_ptr<EntityArena>> m_arenas; ///< those of the merged slots, until deliver
    int m_running = 0; ///< workers not yet ended
    std::atomic<std::uint64_t> m_doneBytes { 0 };
    std::chrono::steady_clock::time_point m_lastReport;
};

SearchRun::SearchRun(
    CatalogSearch& helper, const std::vector<Fileset*>& filesets, const std::vector<TKTBHandle*>& handles)
    : m_helper(helper)
    , m_limit(static_cast<std::size_t>(helper.m_resultLimit))
    , m_roomStep(std::clamp<std::size_t>(m_limit / 16, 1, s_roomStep))
    , m_criteria(criteriaOf(helper))
    , m_filter(helper.m_filter)
    , m_findFlags(helper.m_filter.findFlags())
    , m_testFiles(helper.m_filter.testsBeyondEngine())
    , m_titleTest(helper.m_filter.isEmpty() ? encodeCatalogText(helper.m_searchText) : std::string())
    , m_stop(helper.m_stop)
{
    for (std::size_t i = 0; i < filesets.size(); ++i) {
        auto slot = std::make_unique<Slot>();
        slot->fileset = filesets[i];
        slot->handle = handles[i];
        m_slots.push_back(std::move(slot));
    }
}

SearchRun::~SearchRun()
{
    // Workers are still running here only when the run failed (merging, the listener).
    if (std::any_of(m_workers.begin(), m_workers.end(), [](const std::thread& worker) { return worker.joinable(); })) {
        stopAndWait();
    }
}

void SearchRun::stopAndWait()
{
    m_stop = true;
    joinWorkers();
}

void SearchRun::joinWorkers()
{
    for (std::thread& worker : m_workers) {
        if (worker.joinable()) {
            worker.join();
        }
    }
}

void SearchRun::run()
{
    struct Current {
        SearchRun*& run;
        ~Current() { run = nullptr; }
    } current { m_helper.m_run };
    current.run = this;
    try {
        walkAll();
    } catch (...) {
        stopAndWait();
        deliver();
        throw;
    }
    deliver();
    for (const auto& slot : m_slots) {
        if (slot->failure) {
            std::rethrow_exception(slot->failure);
        }
    }
}

void SearchRun::walkAll()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = std::min<std::size_t>({ cores, 4, m_slots.size() });
    m_running = static_cast<int>(workers);
    m_lastReport = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < workers; ++i) {
        m_workers.emplace_back([this] { work(); });
    }

    std::vector<Slot*> ready;
    for (;;) {
        bool ended = false;
        Slot* again = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] {
                return m_running == 0 || (m_merged < m_slots.size() && m_slots[m_merged]->state == State::Done);
            });
            again = takeMergeable(ready);
            ended = m_running == 0;
        }
        for (Slot* slot : ready) {
            merge(*slot);
        }
        ready.clear();
        if (again != nullptr) {
            // Beside the other workers, so that progress is told and a stop is heard meanwhile.
            m_workers.emplace_back([this, again] { walkAgain(*again); });
        }
        if (m_mergedKept >= m_limit) {
            // No later slot keeps a folder or file: they are put in order while the workers count on.
            deliver();
        }
        if (ended) {
            break;
        }
        reportProgress(false);
    }
    joinWorkers();
    // After a stop, slots never started are skipped; the others are all merged by now.
    reportProgress(true);
}

void SearchRun::reportProgress(bool last)
{
    const std::uint64_t done = m_doneBytes.load(std::memory_order_relaxed);
    const auto now = std::chrono::steady_clock::now();
    if (done == m_helper.m_doneBytes || (!last && now - m_lastReport < std::chrono::milliseconds(100))) {
        return;
    }
    m_lastReport = now;
    m_helper.addProgress(done - m_helper.m_doneBytes);
}

void SearchRun::work()
{
    for (;;) {
        Slot* slot = nullptr;
        {
            std::lock_guard lock(m_mutex);
            slot = takeNext();
            if (slot == nullptr) {
                --m_running;
                m_wake.notify_all();
                return;
            }
        }
        try {
            walk(*slot);
        } catch (...) {
            slot->failure = std::current_exception();
        }
        std::lock_guard lock(m_mutex);
        slot->state = State::Done;
        updateRoom();
        m_wake.notify_all();
    }
}

void SearchRun::walkAgain(Slot& slot)
{
    try {
        walk(slot);
    } catch (...) {
        slot.failure = std::current_exception();
    }
    std::lock_guard lock(m_mutex);
    slot.state = State::Done;
    updateRoom();
    --m_running;
    m_wake.notify_all();
}

SearchRun::Slot* SearchRun::takeNext()
{
    if (m_next >= m_slots.size() || m_stop.load(std::memory_order_relaxed)) {
        return nullptr;
    }
    Slot* slot = m_slots[m_next++].get();
    slot->state = State::Running;
    updateRoom();
    return slot;
}

void SearchRun::updateRoom()
{
    std::size_t kept = m_mergedKept;
    bool earlierEnded = true;
    bool fillExpected = false;
    for (std::size_t i = m_merged; i < m_slots.size(); ++i) {
        Slot& slot = *m_slots[i];
        const std::size_t room = kept < m_limit ? m_limit - kept : 0;
        if (slot.state == State::Waiting) {
            return; // slots are handed out in order: none after this one has started
        }
        if (slot.state == State::Running) {
            // Its results so far belong to its worker. The slots up to this one keep at least what
            // they hold now (or the limit), so the slots after it keep at most the rest.
            slot.room.store(room, std::memory_order_relaxed);
            if (fillExpected) {
                slot.expectEmpty.store(true, std::memory_order_relaxed);
            }
            if (earlierEnded) {
                slot.roomKnown.store(true, std::memory_order_release);
                fillExpected = expectsToFill(slot, room);
            }
            earlierEnded = false;
            kept += slot.keptSoFar.load(std::memory_order_relaxed);
            continue;
        }
        slot.trimTo(room);
        kept += slot.kept();
    }
}

bool SearchRun::expectsToFill(const Slot& slot, std::size_t room)
{
    // At least a thirty-second of the way, so that a few early results do not decide.
    const std::uint64_t size = slot.handle->Size;
    const std::uint64_t position = slot.position.load(std::memory_order_relaxed);
    const std::uint64_t kept = slot.keptSoFar.load(std::memory_order_relaxed);
    return room > 0 && position > 0 && position >= size / 32 && kept * size >= 2 * room * position;
}

SearchRun::Slot* SearchRun::takeMergeable(std::vector<Slot*>& ready)
{
    for (; m_merged < m_slots.size(); ++m_merged) {
        Slot& slot = *m_slots[m_merged];
        if (slot.state == State::Waiting && m_running == 0) {
            continue; // never started: the search was stopped
        }
        if (slot.state != State::Done) {
            return nullptr;
        }
        if (slot.guessed && m_mergedKept < m_limit && !m_stop.load(std::memory_order_relaxed)) {
            slot.restart();
            slot.state = State::Running;
            updateRoom();
            ++m_running;
            return &slot;
        }
        slot.state = State::Merged;
        m_mergedKept += slot.kept();
        ready.push_back(&slot);
    }
    return nullptr;
}

void SearchRun::merge(Slot& slot)
{
    makeNoted(slot); // its room is known now; a slot that ended before it was still holds notes
    if (m_kept.empty()) {
        m_kept.swap(slot.hits);
    } else {
        m_kept.insert(m_kept.end(), slot.hits.begin(), slot.hits.end());
        slot.hits.clear();
    }
    if (!slot.arena->isEmpty()) {
        m_arenas.push_back(std::move(slot.arena));
    }
    for (TKTBEntity*& disc : slot.discs) {
        TKTBEntity* entity = disc;
        disc = nullptr;
        m_helper.discResults.at(m_helper.discResults.addEntity(entity, false))->fileset = slot.fileset;
    }
    slot.discs.clear();
    m_helper.m_fileMatches += slot.fileMatches;
    m_helper.m_folderMatches += slot.folderMatches;
    if (slot.walkEnd != KTB_OK) {
        m_helper.m_walkFaults.push_back({ slot.fileset, slot.walkEnd, slot.faultOffset });
    }
}

void SearchRun::deliver()
{
    // The comparison of compareEntities for folders and files; the keys decide unless both names
    // share their first sixteen bytes. Sorting these records in the merged order therefore gives the
    // permutation sortEntities gives the merged list.
    std::sort(m_kept.begin(), m_kept.end(), [](const Hit& a, const Hit& b) {
        if (a.kind != b.kind) {
            return a.kind < b.kind;
        }
        if (!(a.key == b.key)) {
            return a.key < b.key;
        }
        return a.key.full()
            && compareText(a.entry->entity->name() + SortKey::Bytes, b.entry->entity->name() + SortKey::Bytes) < 0;
    });
    EntityList& list = m_helper.fileResults;
    for (auto& arena : m_arenas) {
        list.adoptArena(std::move(arena));
    }
    m_arenas.clear();
    list.reserve(static_cast<std::size_t>(list.count()) + m_kept.size());
    for (const Hit& hit : m_kept) {
        list.addArenaEntry(hit.entry);
    }
    m_kept.clear();
}

/// Completes the list entry of a folder or file result.
EntityEntry* resultEntry(EntityEntry* entry, Fileset* fileset, const std::uint32_t* chain, int chainLength)
{
    entry->ancestors->Assign(chain, chainLength);
    entry->fileset = fileset;
    return entry;
}

void SearchRun::note(Slot& slot, const TKTBEntity& entity, const TKTBCursor& cursor)
{
    Noted noted {};
    noted.text = slot.texts.size();
    noted.offset = entity.Offset;
    noted.kind = entity.Kind;
    noted.chainStart = static_cast<std::uint32_t>(slot.chains.size());
    noted.chainLength = static_cast<std::uint8_t>(cursor.ChainLength);
    if (const TKTBFileData* file = entity.file()) {
        noted.size = file->Size;
        noted.dateTime = file->DateTime;
        noted.nameLength = file->NameLength;
        noted.commentLength = file->CommentLength;
        slot.texts.append(file->Name, file->NameLength);
        slot.texts.append(file->Comment, file->CommentLength);
    } else {
        const std::string_view name = entity.name();
        noted.nameLength = static_cast<std::uint16_t>(name.size());
        slot.texts.append(name);
    }
    slot.chains.insert(slot.chains.end(), cursor.Chain, cursor.Chain + cursor.ChainLength);
    slot.noted.push_back(noted);
}

void SearchRun::makeNoted(Slot& slot)
{
    slot.hits.reserve(slot.hits.size() + slot.noted.size());
    for (const Noted& noted : slot.noted) {
        const char* name = slot.texts.data() + noted.text;
        EntityEntry* entry = slot.arena->newEntry(noted.offset, noted.kind, name, noted.nameLength, noted.size,
            noted.dateTime, name + noted.nameLength, noted.commentLength);
        const SortKey key(entry->entity->name());
        slot.hits.push_back({ key, noted.kind,
            resultEntry(entry, slot.fileset, slot.chains.data() + noted.chainStart, noted.chainLength) });
    }
    std::vector<Noted>().swap(slot.noted);
    std::string().swap(slot.texts);
    std::vector<std::uint32_t>().swap(slot.chains);
}

void SearchRun::walk(Slot& slot)
{
    // Each walk has its own criteria: the engine upper-cases the pattern in place. Once the slot holds
    // all it may keep (its room never grows), the walk only counts: the engine then reports discs
    // alone, and the matches of a disc are what the cursor's counters gained since its disc.
    // A filter the engine cannot test whole needs every file reported, to count only those it keeps.
    TCompare criteria = m_criteria;
    const bool mayCountOnly = !m_testFiles;
    slot.guessed = mayCountOnly && !slot.roomKnown.load(std::memory_order_acquire)
        && slot.expectEmpty.load(std::memory_order_relaxed);
    const std::uint32_t countOnly
        = mayCountOnly && (slot.guessed || slot.room.load(std::memory_order_relaxed) == 0) ? KTB_FIND_COUNTONLY : 0;
    // Discs where the pattern does not occur are passed over: their damage, if any, is a checker's business.
    TKTBCursor* cursor = ktbFindFirst(
        slot.handle, KTB_FIND_KEEP | KTB_FIND_SKIPDISCS | m_findFlags | countOnly, KTB_HEADER_SIZE, &criteria);
    if (cursor == nullptr) {
        // An empty catalog, or a damaged first record: only reading that record tells, since the
        // engine's last error is shared by every thread. A catalog's first record is a disc's.
        TKTBEntity* first = nullptr;
        if (ktbFileSize(slot.handle) > KTB_HEADER_SIZE
            && (ktbReadEntity(slot.handle, KTB_HEADER_SIZE, first) == KTB_ERR_BADENTITY || first == nullptr
                || first->Kind != KTB_TAG_DISC)) {
            slot.walkEnd = KTB_ERR_BADENTITY;
            slot.faultOffset = KTB_HEADER_SIZE;
        }
        ktbFreeEntity(first);
        return;
    }
    // What this walk still owns when something fails.
    struct Owned {
        TKTBCursor*& cursor;
        TKTBEntity* disc = nullptr;
        TKTBEntity* entity = nullptr;
        ~Owned()
        {
            ktbFreeEntity(entity);
            ktbFreeEntity(disc);
            ktbFindClose(cursor);
        }
    } owned { cursor };

    std::uint64_t filesBefore = 0;
    std::uint32_t foldersBefore = 0;
    std::uint64_t filesRejected = 0; // by the filter, since the disc began
    const auto finish = [&] {
        finishDisc(slot, owned.disc, static_cast<std::uint32_t>(cursor->Files - filesBefore - filesRejected),
            cursor->Folders - foldersBefore);
    };
    std::uint32_t released = 0;
    // Fresh memory costs more than filling it: the list of results is made once, as large as the slot
    // may need, instead of doubling into new memory as it fills.
    if (slot.roomKnown.load(std::memory_order_acquire)) {
        slot.hits.reserve(std::min<std::size_t>(
            slot.room.load(std::memory_order_relaxed), static_cast<std::size_t>(CatalogSearch::DefaultResultLimit)));
    }
    TKTBERROR answer = KTB_OK;
    do {
        owned.entity = cursor->Current;
        switch (owned.entity->Kind) {
        case KTB_TAG_DISC:
            finish();
            owned.disc = owned.entity;
            owned.entity = nullptr;
            filesBefore = cursor->Files;
            foldersBefore = cursor->Folders;
            filesRejected = 0;
            break;
        case KTB_TAG_FOLDER:
        case KTB_TAG_FILE:
            if (m_testFiles && owned.entity->Kind == KTB_TAG_FILE
                && !m_filter.passes(owned.entity->file()->Size, owned.entity->file()->DateTime)) {
                ++filesRejected;
            } else if (slot.kept() >= slot.room.load(std::memory_order_relaxed)) {
                if (mayCountOnly) {
                    cursor->Flags |= KTB_FIND_COUNTONLY;
                }
            } else if (mayCountOnly && !slot.roomKnown.load(std::memory_order_acquire)
                && slot.expectEmpty.load(std::memory_order_relaxed)) {
                // What it noted goes (keptSoFar stays: the slots after it may have counted on it).
                slot.trimTo(0);
                slot.guessed = true;
                cursor->Flags |= KTB_FIND_COUNTONLY;
            } else {
                if (!slot.roomKnown.load(std::memory_order_acquire)) {
                    note(slot, *owned.entity, *cursor);
                } else {
                    if (!slot.noted.empty()) {
                        slot.trimTo(slot.room.load(std::memory_order_relaxed)); // the room has just become known
                        makeNoted(slot);
                    }
                    const SortKey key(owned.entity->name());
                    const std::uint8_t kind = owned.entity->Kind;
                    slot.hits.push_back({ key, kind,
                        resultEntry(slot.arena->newEntry(*owned.entity), slot.fileset, cursor->Chain,
                            static_cast<int>(cursor->ChainLength)) });
                }
                slot.keptSoFar.store(slot.kept(), std::memory_order_relaxed);
                if (slot.kept() % m_roomStep == 0 || slot.kept() == slot.room.load(std::memory_order_relaxed)) {
                    // The slots after this one, running beside it, may keep less from now on.
                    slot.position.store(cursor->Position, std::memory_order_relaxed);
                    std::lock_guard lock(m_mutex);
                    updateRoom();
                }
            }
            break;
        default:
            break;
        }
        ktbFreeEntity(owned.entity);
        if (cursor->Position - released >= s_releaseStep) {
            releaseWalkedPages(slot.handle, released, cursor->Position);
        }
        // Only the answer of ktbFindNext tells how this walk ended: the engine's last error is shared
        // by every thread. Any answer but KTB_OK ends it; a damaged record keeps what was found.
    } while (!m_stop.load(std::memory_order_relaxed) && (answer = ktbFindNext(cursor)) == KTB_OK);
    if (answer != KTB_OK && answer != KTB_NOENTITIES) {
        // The cursor never moves past the record that stopped it.
        slot.walkEnd = answer;
        slot.faultOffset = cursor->Position;
    }
    finish();
    if (!slot.noted.empty() && slot.roomKnown.load(std::memory_order_acquire)) {
        slot.trimTo(slot.room.load(std::memory_order_relaxed)); // here rather than on the merging thread
        makeNoted(slot);
    }
    releaseWalkedPages(slot.handle, released, slot.handle->Size);
}

void SearchRun::finishDisc(Slot& slot, TKTBEntity*& disc, std::uint32_t files, std::uint32_t folders)
{
    if (disc == nullptr) {
        return;
    }
    auto* record = static_cast<TKTBDisc*>(disc->Data);
    slot.fileMatches += files;
    slot.folderMatches += folders;
    if (!slot.again) {
        m_doneBytes.fetch_add(record->RunLength, std::memory_order_relaxed);
    }
    // With a filter the title test has no needle: a disc is a result by its kept matches only.
    if (files == 0 && folders == 0 && !m_titleTest.matches(*record)) {
        ktbFreeEntity(disc);
        return;
    }
    // The counters live in the result's own copy of the disc record; the catalog is not changed.
    record->Files = files;
    record->Folders = folders;
    slot.discs.push_back(disc);
    disc = nullptr;
}

// ---------------------------------------------------------------------------------------------
// CatalogSearch

CatalogSearch::CatalogSearch(FilesetRegistry* registry)
    : m_registry(registry)
{
    m_criteria.Flags = KTB_CMP_UNICODE;
    if (m_registry != nullptr) {
        connect(m_registry, &FilesetRegistry::filesetRemoved, this, &CatalogSearch::forgetFileset);
        connect(m_registry, &FilesetRegistry::filesetChanged, this, &CatalogSearch::followChangedFileset);
    }
}

CatalogSearch::~CatalogSearch() = default;

FilesetRegistry* CatalogSearch::registry() const { return m_registry != nullptr ? m_registry : g_filesetRegistry; }

void CatalogSearch::setSearchText(const QString& text)
{
    m_searchText = text;
    m_criteria.Name = encodeCatalogText(text);
    if (!text.isEmpty()) {
        m_criteria.Flags |= KTB_CMP_NAME;
    }
}

void CatalogSearch::setResultLimit(int limit) { m_resultLimit = std::max(1, limit); }

void CatalogSearch::cancel()
{
    if (m_searching) {
        m_stop = true;
    }
}

void CatalogSearch::addProgress(std::uint64_t bytes)
{
    m_doneBytes += bytes;
    if (onProgress) {
        onProgress(this);
    }
}

void CatalogSearch::search(const TIntegerList& list)
{
    if (m_searching) {
        return;
    }
    m_searching = true;
    m_stop = false;
    m_cancelled = false;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running { m_searching };

    m_deletedDuringSearch.clear();
    clearResults();
    m_walkFaults.clear();
    m_notSearched.clear();
    m_limited = false;
    m_doneBytes = 0;
    m_fileMatches = 0;
    m_folderMatches = 0;
    m_totalBytes = 0;
    try {
        std::vector<Fileset*> filesets;
        if (list.Count() > 0 && registry() == nullptr) {
            throw std::logic_error("CatalogSearch::search: no fileset registry");
        }
        for (int i = 0; i < list.Count(); ++i) {
            Fileset* fileset = registry()->at(list.Get(i));
            // Reopens the file, so the walk sees its latest contents. One unplugged disk must not hide
            // the results of every other catalog.
            try {
                m_totalBytes += fileset->dataSize();
            } catch (const CatalogError&) {
                m_notSearched.append(fileset->descriptionOrFileName());
                continue;
            }
            filesets.push_back(fileset);
        }
        // Taken only now: a fileset listed twice was reopened by its second dataSize().
        std::vector<TKTBHandle*> handles;
        for (Fileset* fileset : filesets) {
            handles.push_back(fileset->handle());
        }
        addProgress(0);
        if (!filesets.empty() && !m_stop) {
            SearchRun run(*this, filesets, handles);
            run.run();
        }
    } catch (...) {
        publishResults();
        throw;
    }
    publishResults();
}

void CatalogSearch::publishResults()
{
    m_cancelled = m_stop;
    // Results of filesets the registry deleted while the search ran (from the listener) go first.
    for (const Fileset* fileset : m_deletedDuringSearch) {
        const auto refersToFileset = [fileset](const EntityEntry& entry) { return entry.fileset == fileset; };
        discResults.removeIf(refersToFileset);
        fileResults.removeIf(refersToFileset);
        std::erase_if(m_walkFaults, [fileset](const WalkFault& fault) { return fault.fileset == fileset; });
    }
    m_deletedDuringSearch.clear();
    m_limited = fileResults.count() >= m_resultLimit;
    // The run delivers the folders and files sorted; sorting them again could reorder equal names.
    discResults.sortEntities();
    emit discResultsAboutToChange();
    emit discResultsChanged();
    emit fileResultsAboutToChange();
    emit fileResultsChanged();
}

void CatalogSearch::clearResults()
{
    emit discResultsAboutToChange();
    emit fileResultsAboutToChange();
    discResults.clear();
    fileResults.clear();
    emit discResultsChanged();
    emit fileResultsChanged();
}

void CatalogSearch::forgetFileset(const Fileset* fileset)
{
    if (m_searching) {
        // From the listener: no worker may walk the fileset any more, and what it found is dropped
        // when the search ends.
        m_deletedDuringSearch.push_back(fileset);
        m_stop = true;
        if (m_run != nullptr) {
            m_run->stopAndWait();
        }
        return;
    }
    std::erase_if(m_walkFaults, [fileset](const WalkFault& fault) { return fault.fileset == fileset; });
    const auto refersToFileset = [fileset](const EntityEntry& entry) { return entry.fileset == fileset; };
    const auto dropFrom = [this, &refersToFileset](EntityList& list, void (CatalogSearch::*aboutToChange)(),
                              void (CatalogSearch::*changed)()) {
        bool refers = false;
        for (int i = 0; i < list.count() && !refers; ++i) {
            refers = refersToFileset(*list.at(i));
        }
        if (!refers) {
            return;
        }
        emit(this->*aboutToChange)();
        list.removeIf(refersToFileset);
        emit(this->*changed)();
    };
    dropFrom(discResults, &CatalogSearch::discResultsAboutToChange, &CatalogSearch::discResultsChanged);
    dropFrom(fileResults, &CatalogSearch::fileResultsAboutToChange, &CatalogSearch::fileResultsChanged);
}

void CatalogSearch::followChangedFileset(Fileset* fileset)
{
    if (m_searching) {
        forgetFileset(fileset);
        return;
    }
    // The disc results carry the records of every disc the results lie on.
    std::vector<KnownDisc> known;
    for (int i = 0; i < discResults.count(); ++i) {
        const EntityEntry* entry = discResults.at(i);
        if (entry->fileset == fileset) {
            known.push_back({ entry->entity->Offset, *entry->entity->disc() });
        }
    }
    if (known.empty()) {
        return;
    }
    std::sort(known.begin(), known.end(), [](const KnownDisc& a, const KnownDisc& b) { return a.offset < b.offset; });
    std::vector<std::uint32_t> now;
    TKTBHandle* handle = nullptr;
    try {
        handle = fileset->handle();
        now = relocateDiscs(handle, known);
    } catch (const CatalogError&) {
        now.assign(known.size(), 0); // a catalog that cannot be read any more shows none of its results
    }
    const auto newOffsetOf = [&known, &now](std::uint32_t offset) -> std::uint32_t {
        const auto at = std::lower_bound(known.begin(), known.end(), offset,
            [](const KnownDisc& disc, std::uint32_t value) { return disc.offset < value; });
        return at != known.end() && at->offset == offset ? now[static_cast<std::size_t>(at - known.begin())] : 0;
    };

    emit discResultsAboutToChange();
    discResults.removeIf([&](const EntityEntry& entry) {
        if (entry.fileset != fileset) {
            return false;
        }
        auto* record = static_cast<TKTBDisc*>(entry.entity->Data);
        const std::uint32_t offset = newOffsetOf(entry.entity->Offset);
        if (offset == 0) {
            m_fileMatches -= std::min<std::uint64_t>(m_fileMatches, record->Files);
            m_folderMatches -= std::min<std::uint64_t>(m_folderMatches, record->Folders);
            return true;
        }
        // Edited titles, comments and flags show; the counters are the search's own.
        TKTBDisc stored {};
        if (ktbReadDisc(handle, offset, stored)) {
            stored.Files = record->Files;
            stored.Folders = record->Folders;
            *record = stored;
        }
        entry.entity->Offset = offset;
        return false;
    });
    discResults.sortEntities();
    emit discResultsChanged();

    emit fileResultsAboutToChange();
    fileResults.removeIf([&](EntityEntry& entry) {
        if (entry.fileset != fileset) {
            return false;
        }
        if (!entry.ancestors || entry.ancestors->Count() == 0) {
            return true;
        }
        const std::uint32_t discOffset = entry.ancestors->Get(0);
        const std::uint32_t offset = newOffsetOf(discOffset);
        if (offset == 0) {
            return true;
        }
        // A disc's records move together: every offset inside its run moves by as much as the disc.
        const std::uint32_t shift = offset - discOffset;
        std::vector<std::uint32_t> chain = entry.ancestors->Values();
        for (std::uint32_t& value : chain) {
            value += shift;
        }
        entry.ancestors->Assign(chain.data(), static_cast<int>(chain.size()));
        entry.entity->Offset += shift;
        return false;
    });
    emit fileResultsChanged();
}

QString CatalogSearch::discPath(const EntityEntry& entry)
{
    if (entry.fileset == nullptr || entry.entity == nullptr || entry.entity->disc() == nullptr) {
        return {};
    }
    return filesetPath(*entry.fileset) + decodeCatalogText(titleBytes(*entry.entity->disc())) + QLatin1Char('\\');
}

namespace {

/// The chain of a record below a folder, as a walk that starts at that folder sees it: the start
/// folder first, a folder record's own offset last. Null when the walk does not meet the record.
std::optional<std::vector<std::uint32_t>> chainBelow(TKTBHandle* handle, std::uint32_t folder, std::uint32_t target)
{
    TKTBCursor* cursor = ktbFindFirst(handle, 0, folder, nullptr);
    std::optional<std::vector<std::uint32_t>> found;
    for (bool more = cursor != nullptr; more; more = ktbFindNext(cursor) == KTB_OK) {
        const std::uint32_t offset = cursor->Current->Offset;
        if (offset == target) {
            // Still deeper than the cursor's own chain: the caller walks on from its last folder.
            found.emplace(cursor->Chain, cursor->Chain + cursor->ChainLength);
            break;
        }
        if (offset > target) {
            break;
        }
    }
    ktbFindClose(cursor);
    return found;
}

/// The name of the folder record at offset, or the title of the disc record there; null when it
/// cannot be read.
std::optional<QString> ancestorName(TKTBHandle* handle, std::uint32_t offset)
{
    TKTBEntity* ancestor = nullptr;
    if (ktbReadEntity(handle, offset, ancestor) != KTB_OK) {
        return std::nullopt;
    }
    std::optional<QString> name;
    if (const TKTBDisc* disc = ancestor->disc()) {
        name = decodeCatalogText(titleBytes(*disc));
    } else if (const char* folder = ancestor->folderName()) {
        name = decodeCatalogText(folder);
    }
    ktbFreeEntity(ancestor);
    return name;
}

/// The chain a walk keeps is cut at this many entries: a disc and 63 folder levels.
constexpr int s_chainRoom = 64;

} // namespace

std::optional<std::vector<std::uint32_t>> CatalogSearch::fullAncestors(const EntityEntry& entry)
{
    if (!entry.ancestors || entry.fileset == nullptr) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> chain = entry.ancestors->Values();
    if (chain.size() < static_cast<std::size_t>(s_chainRoom)) {
        return chain;
    }
    // A full chain may have lost its deeper entries: walk down from its last folder to the result.
    TKTBHandle* handle = entry.fileset->handle();
    for (;;) {
        const std::uint32_t deepest = chain.back();
        chain.pop_back();
        std::optional<std::vector<std::uint32_t>> below = chainBelow(handle, deepest, entry.entity->Offset);
        if (!below || below->empty() || below->front() != deepest) {
            return std::nullopt;
        }
        chain.insert(chain.end(), below->begin(), below->end());
        if (below->size() < static_cast<std::size_t>(s_chainRoom)) {
            return chain;
        }
    }
}

QString CatalogSearch::resultPath(const EntityEntry& entry)
{
    if (entry.fileset == nullptr) {
        return {};
    }
    QString path = filesetPath(*entry.fileset);
    if (!entry.ancestors) {
        return path;
    }
    TKTBHandle* handle = entry.fileset->handle();
    const std::optional<std::vector<std::uint32_t>> full = fullAncestors(entry);
    for (const std::uint32_t offset : full ? *full : entry.ancestors->Values()) {
        if (const std::optional<QString> name = ancestorName(handle, offset)) {
            path += *name + QLatin1Char('\\');
        }
    }
    if (!full) {
        path += QStringLiteral("...\\");
    }
    return path;
}

QString CatalogSearch::folderPathOf(const EntityEntry& entry)
{
    if (entry.fileset == nullptr || !entry.ancestors || entry.ancestors->Count() == 0) {
        return {};
    }
    TKTBHandle* handle = entry.fileset->handle();
    const std::optional<std::vector<std::uint32_t>> full = fullAncestors(entry);
    std::vector<std::uint32_t> chain = full ? *full : entry.ancestors->Values();
    // A folder result lies in the folder before its own offset; the disc is not part of the path.
    if (full && entry.entity->Kind == KTB_TAG_FOLDER) {
        chain.pop_back();
    }
    QString path;
    for (std::size_t i = 1; i < chain.size(); ++i) {
        path += QLatin1Char('\\') + ancestorName(handle, chain[i]).value_or(QStringLiteral("?"));
    }
    if (!full) {
        return path + QStringLiteral("\\...\\");
    }
    return path.isEmpty() ? QStringLiteral("\\") : path;
}

QString CatalogSearch::filesetDescriptionOf(const EntityEntry& entry)
{
    try {
        return entry.fileset != nullptr ? entry.fileset->description() : QString();
    } catch (...) {
        return {};
    }
}

QString CatalogSearch::discTitleOf(const EntityEntry& entry)
{
    if (entry.fileset == nullptr || !entry.ancestors || entry.ancestors->Count() == 0) {
        return {};
    }
    try {
        TKTBEntity* ancestor = nullptr;
        if (ktbReadEntity(entry.fileset->handle(), entry.ancestors->Get(0), ancestor) != KTB_OK) {
            return {};
        }
        QString title;
        if (const TKTBDisc* disc = ancestor->disc()) {
            title = decodeCatalogText(titleBytes(*disc));
        }
        ktbFreeEntity(ancestor);
        return title;
    } catch (...) {
        return {};
    }
}

// ---------------------------------------------------------------------------------------------
// The process-wide instance

CatalogSearch& createCatalogSearch()
{
    releaseCatalogSearch();
    g_catalogSearch = new CatalogSearch(g_filesetRegistry);
    return *g_catalogSearch;
}

void releaseCatalogSearch()
{
    delete g_catalogSearch;
    g_catalogSearch = nullptr;
}
