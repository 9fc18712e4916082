#include "core/companion/catalogwalk.h"

#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

// Pages of a catalog that a walk has passed are handed back, so a walk over large catalogs keeps only
// a few megabytes of each mapped file in memory. The mapping is shared: the data stays in the page
// cache, and reading it again simply maps it again.
constexpr std::uint32_t s_releaseStep = 4u << 20;

std::uint32_t discRunLength(TKTBHandle* handle, std::uint32_t offset)
{
    KtbEntityPtr entity;
    if (ktbReadEntityOwned(handle, offset, entity) != KTB_OK || entity->disc() == nullptr) {
        return 0;
    }
    return entity->disc()->RunLength;
}

QString damageMessage(const Fileset& fileset, std::uint32_t offset)
{
    return QStringLiteral("%1: damaged record at offset %2; the rest of this catalog was not read")
        .arg(fileset.fileName)
        .arg(offset);
}

} // namespace

struct CatalogWalk::Slot {
    TKTBHandle* handle = nullptr;
    std::uint64_t bytes = 0;
};

CatalogWalk::CatalogWalk(std::vector<WalkTarget> targets, unsigned maxWorkers)
    : m_targets(std::move(targets))
{
    for (WalkTarget& target : m_targets) {
        std::sort(target.discs.begin(), target.discs.end());
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned limit = maxWorkers == 0 ? cores : maxWorkers;
    m_workerCount = static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(limit, m_targets.size())));
}

CatalogWalk::~CatalogWalk() = default;

void CatalogWalk::addFault(std::size_t target, const QString& message)
{
    std::lock_guard lock(m_faultMutex);
    m_faults.push_back({ target, message });
}

void CatalogWalk::open(std::size_t index)
{
    Slot& slot = m_slots[index];
    const WalkTarget& target = m_targets[index];
    try {
        slot.handle = target.fileset->handle();
    } catch (const CatalogError& error) {
        addFault(index, error.message());
        return;
    }
    if (target.discs.empty()) {
        const std::uint32_t size = ktbFileSize(slot.handle);
        slot.bytes = size > KTB_HEADER_SIZE ? size - KTB_HEADER_SIZE : 0;
        return;
    }
    for (const std::uint32_t disc : target.discs) {
        slot.bytes += discRunLength(slot.handle, disc);
    }
}

bool CatalogWalk::run(const Body& body)
{
    m_slots.assign(m_targets.size(), Slot {});
    for (std::size_t index = 0; index < m_targets.size(); ++index) {
        open(index);
        m_totalBytes += m_slots[index].bytes;
    }
    for (unsigned worker = 0; worker < m_workerCount; ++worker) {
        m_batches.push_back(std::make_unique<TKTBBatch>());
    }

    std::mutex mutex;
    std::condition_variable ended;
    unsigned running = m_workerCount;
    std::vector<std::thread> workers;
    workers.reserve(m_workerCount);
    for (unsigned worker = 0; worker < m_workerCount; ++worker) {
        workers.emplace_back([&, worker] {
            work(worker, body);
            std::lock_guard lock(mutex);
            --running;
            ended.notify_all();
        });
    }
    for (;;) {
        std::unique_lock lock(mutex);
        if (ended.wait_for(lock, std::chrono::milliseconds(200), [&] { return running == 0; })) {
            break;
        }
        lock.unlock();
        if (onProgress) {
            onProgress(doneBytes(), m_totalBytes);
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    std::sort(
        m_faults.begin(), m_faults.end(), [](const WalkFault& a, const WalkFault& b) { return a.target < b.target; });
    if (onProgress) {
        onProgress(doneBytes(), m_totalBytes);
    }
    return !stopRequested();
}

void CatalogWalk::work(unsigned worker, const Body& body)
{
    for (;;) {
        if (stopRequested()) {
            return;
        }
        const std::size_t index = m_next.fetch_add(1, std::memory_order_relaxed);
        if (index >= m_targets.size()) {
            return;
        }
        Slot& slot = m_slots[index];
        if (slot.handle == nullptr) {
            continue; // its fault is kept already
        }
        RecordWalk walk(*this, index, worker, slot.handle, *m_batches[worker]);
        try {
            body(walk);
        } catch (const CatalogError& error) {
            addFault(index, error.message());
        } catch (const std::exception& error) {
            addFault(
                index, m_targets[index].fileset->fileName + QStringLiteral(": ") + QString::fromUtf8(error.what()));
        } catch (...) {
            addFault(index, m_targets[index].fileset->fileName + QStringLiteral(": the walk failed"));
        }
        // The whole target counts as walked, whatever part of it the body looked at.
        if (walk.m_walked < slot.bytes) {
            m_doneBytes.fetch_add(slot.bytes - walk.m_walked, std::memory_order_relaxed);
        }
    }
}

// ---------------------------------------------------------------------------------------------

RecordWalk::RecordWalk(CatalogWalk& walk, std::size_t index, unsigned worker, TKTBHandle* handle, TKTBBatch& batch)
    : m_walk(walk)
    , m_index(index)
    , m_worker(worker)
    , m_handle(handle)
    , m_batch(batch)
{
}

KtbCursorPtr RecordWalk::startPart(std::size_t part)
{
    const WalkTarget& walked = target();
    const std::uint32_t start = walked.discs.empty() ? KTB_HEADER_SIZE : walked.discs[part];
    m_partStart = start;
    m_partWalked = 0;
    m_chain.clear();
    showChain();
    KtbCursorPtr cursor(ktbFindFirst(m_handle, KTB_FIND_ENDMARKS, start, nullptr));
    if (cursor == nullptr) {
        // Nothing to visit, or a damaged first record: only reading that record tells, since the
        // engine's last error is shared by every thread.
        KtbEntityPtr first;
        if (start < ktbFileSize(m_handle) && ktbReadEntityOwned(m_handle, start, first) != KTB_OK) {
            m_faulted = true;
            m_walk.addFault(m_index, damageMessage(*walked.fileset, start));
        }
        return nullptr;
    }
    if (!walked.discs.empty() && cursor->Current->Kind != KTB_TAG_DISC) {
        m_faulted = true;
        m_walk.addFault(
            m_index, QStringLiteral("%1: offset %2 holds no disc").arg(walked.fileset->fileName).arg(start));
        return nullptr;
    }
    return cursor;
}

bool RecordWalk::endPart(std::uint32_t position, TKTBERROR answer)
{
    noteProgress(position);
    if (m_walk.stopRequested()) {
        return false;
    }
    if (answer != KTB_OK && answer != KTB_NOENTITIES) {
        // Without KTB_FIND_CHILDREN the cursor stops at the offset of the record that ended the walk.
        m_faulted = true;
        m_walk.addFault(m_index, damageMessage(*target().fileset, position));
        return false;
    }
    return true;
}

void RecordWalk::noteProgress(std::uint32_t position)
{
    // Progress counts the bytes of each part from its start.
    if (position > m_partStart + m_partWalked) {
        const std::uint32_t added = position - m_partStart - m_partWalked;
        m_partWalked += added;
        m_walked += added;
        m_walk.m_doneBytes.fetch_add(added, std::memory_order_relaxed);
    }
    if (position - m_released < s_releaseStep && position < ktbFileSize(m_handle)) {
        return;
    }
    static const auto pageSize = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
    const std::uint32_t end = position / pageSize * pageSize;
    if (m_handle->View != nullptr && end > m_released) {
        ::madvise(m_handle->View + m_released, end - m_released, MADV_DONTNEED);
        m_released = end;
    }
}

void RecordWalk::enter(std::uint32_t offset, std::string_view name)
{
    const std::size_t depth = m_chain.size();
    m_chain.push_back(offset);
    if (depth < m_chainNames.size()) {
        m_chainNames[depth].assign(name);
    } else {
        m_chainNames.emplace_back(name);
    }
}

void RecordWalk::leave()
{
    if (!m_chain.empty()) {
        m_chain.pop_back();
    }
    showChain();
}

void RecordWalk::take(const TKTBEntity& entity)
{
    m_record = WalkRecord {};
    m_record.offset = entity.Offset;
    m_record.kind = entity.Kind;
    if (const TKTBDisc* disc = entity.disc()) {
        m_record.disc = disc;
    } else if (const TKTBFileData* file = entity.file()) {
        m_record.name = std::string_view(file->Name, file->NameLength);
        m_record.comment = std::string_view(file->Comment, file->CommentLength);
        m_record.size = file->Size;
        m_record.dateTime = file->DateTime;
    } else if (const char* name = entity.folderName()) {
        m_record.name = name;
    }
    chainRecord();
}

void RecordWalk::chainRecord()
{
    switch (m_record.kind) {
    case KTB_TAG_DISC: {
        const TKTBDisc& disc = *m_record.disc;
        m_chain.clear();
        m_record.name = std::string_view(disc.Title, strnlen(disc.Title, sizeof disc.Title));
        enter(m_record.offset, m_record.name);
        break;
    }
    case KTB_TAG_FOLDER:
        enter(m_record.offset, m_record.name);
        break;
    case KTB_TAG_ENDFOLDER:
    case KTB_TAG_ENDDISC:
        if (!m_chain.empty()) {
            m_record.name = m_chainNames[m_chain.size() - 1];
        }
        break;
    default:
        break;
    }
    showChain();
}
