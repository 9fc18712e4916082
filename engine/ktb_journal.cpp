#include "engine/ktb_journal.h"

#include "engine/ktb32.h"
#include "engine/ktb_fileio.h"
#include "engine/ktb_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char s_magic[8] = { 'K', 'T', 'B', 'J', 'R', 'N', 'L', '1' };
constexpr char s_endMark[8] = { 'K', 'T', 'B', 'J', 'E', 'N', 'D', '1' };
constexpr std::size_t s_fixedHeader = 8 + 4 + 4 + 2 + 2;
/// The byte the change lock covers: far past the end of any catalog, so it never meets a record lock
/// another program might take on the data.
constexpr off_t s_lockOffset = 0x7FFFFFFF00000000LL;
/// How long a writer waits for readers to finish their walks before it gives up.
constexpr auto s_readerPatience = std::chrono::seconds(5);
constexpr std::size_t s_bufferSize = 1u << 20;

enum Role : std::uint16_t { Plain = 0, Master = 1, Child = 2 };

/// A 64-bit check of the journal's bytes, eight at a time, fed in pieces of any length.
class Checksum {
public:
    void add(const std::uint8_t* bytes, std::size_t count)
    {
        for (; m_fill != 0 && count > 0; --count) {
            feed(*bytes++);
        }
        for (; count >= 8; count -= 8, bytes += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes, 8);
            mix(word);
        }
        for (; count > 0; --count) {
            feed(*bytes++);
        }
    }
    std::uint64_t value() const
    {
        Checksum last = *this;
        last.mix(last.m_pending ^ (static_cast<std::uint64_t>(last.m_fill) << 56));
        return last.m_hash;
    }

private:
    void feed(std::uint8_t byte)
    {
        m_pending |= static_cast<std::uint64_t>(byte) << (8 * m_fill);
        if (++m_fill == 8) {
            mix(m_pending);
            m_pending = 0;
            m_fill = 0;
        }
    }
    void mix(std::uint64_t word)
    {
        m_hash = (m_hash ^ word) * 0x100000001B3ull;
        m_hash ^= m_hash >> 29;
    }

    std::uint64_t m_hash = 0x9E3779B97F4A7C15ull;
    std::uint64_t m_pending = 0;
    unsigned m_fill = 0;
};

/// Writes a journal through a buffer, keeping its checksum.
class JournalWriter {
public:
    JournalWriter(int file, const std::string& path)
        : m_file(file)
        , m_path(path)
    {
        m_buffer.reserve(s_bufferSize);
    }

    bool add(const void* bytes, std::size_t count)
    {
        const auto* data = static_cast<const std::uint8_t*>(bytes);
        m_checksum.add(data, count);
        return put(data, count);
    }
    /// Copies count bytes of the catalog's view (guarded: another process may have shortened it).
    bool addView(const TKTBHandle* handle, std::uint32_t offset, std::uint32_t count)
    {
        while (count > 0) {
            const std::size_t room = s_bufferSize - m_buffer.size();
            const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(room, count));
            const std::size_t at = m_buffer.size();
            m_buffer.resize(at + piece);
            if (!ktbGuardedCopy(m_buffer.data() + at, handle, offset, piece)) {
                return false;
            }
            m_checksum.add(m_buffer.data() + at, piece);
            offset += piece;
            count -= piece;
            if (m_buffer.size() == s_bufferSize && !flush()) {
                return false;
            }
        }
        return true;
    }
    bool finish()
    {
        const std::uint64_t check = m_checksum.value();
        return put(reinterpret_cast<const std::uint8_t*>(&check), sizeof check)
            && put(reinterpret_cast<const std::uint8_t*>(s_endMark), sizeof s_endMark) && flush();
    }

private:
    bool put(const std::uint8_t* data, std::size_t count)
    {
        while (count > 0) {
            const std::size_t piece = std::min(s_bufferSize - m_buffer.size(), count);
            m_buffer.insert(m_buffer.end(), data, data + piece);
            data += piece;
            count -= piece;
            if (m_buffer.size() == s_bufferSize && !flush()) {
                return false;
            }
        }
        return true;
    }
    bool flush()
    {
        if (m_buffer.empty()) {
            return true;
        }
        const bool written = ktbIoWrite(m_file, m_path.c_str(), m_buffer.data(), m_buffer.size(), m_written);
        m_written += m_buffer.size();
        m_buffer.clear();
        return written;
    }

    int m_file;
    const std::string& m_path;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_written = 0;
    Checksum m_checksum;
};

/// A journal read back whole.
struct Journal {
    std::vector<std::uint8_t> bytes;
    std::uint32_t oldSize = 0;
    Role role = Plain;
    std::string partner;
    struct Piece {
        std::uint32_t offset;
        std::uint32_t length;
        std::size_t at; ///< where its bytes are in bytes
    };
    std::vector<Piece> pieces;
};

enum class Found { Absent, Invalid, Valid };

std::uint32_t readU32(const std::uint8_t* bytes)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

bool readWhole(const std::string& path, std::vector<std::uint8_t>& bytes, bool& exists)
{
    exists = false;
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file < 0) {
        return errno == ENOENT ? true : false;
    }
    exists = true;
    struct stat status { };
    bool done = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode);
    if (done) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t count = ::pread(file, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
            if (count <= 0) {
                break;
            }
            got += static_cast<std::size_t>(count);
        }
        bytes.resize(got);
    }
    ::close(file);
    return done;
}

Found readJournal(const std::string& path, Journal& journal)
{
    bool exists = false;
    if (!readWhole(path, journal.bytes, exists)) {
        return exists ? Found::Invalid : Found::Absent;
    }
    if (!exists) {
        return Found::Absent;
    }
    const std::vector<std::uint8_t>& bytes = journal.bytes;
    const std::size_t size = bytes.size();
    if (size < s_fixedHeader + 16 || std::memcmp(bytes.data(), s_magic, sizeof s_magic) != 0
        || std::memcmp(bytes.data() + size - 8, s_endMark, 8) != 0) {
        return Found::Invalid;
    }
    const std::size_t body = size - 16;
    Checksum checksum;
    checksum.add(bytes.data(), body);
    std::uint64_t stored = 0;
    std::memcpy(&stored, bytes.data() + body, sizeof stored);
    if (stored != checksum.value()) {
        return Found::Invalid;
    }
    journal.oldSize = readU32(bytes.data() + 8);
    const std::uint32_t count = readU32(bytes.data() + 12);
    std::uint16_t role = 0;
    std::uint16_t partnerLength = 0;
    std::memcpy(&role, bytes.data() + 16, 2);
    std::memcpy(&partnerLength, bytes.data() + 18, 2);
    std::size_t at = s_fixedHeader;
    if (role > Child || at + partnerLength > body) {
        return Found::Invalid;
    }
    journal.role = static_cast<Role>(role);
    journal.partner.assign(reinterpret_cast<const char*>(bytes.data() + at), partnerLength);
    at += partnerLength;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + 8 > body) {
            return Found::Invalid;
        }
        const std::uint32_t offset = readU32(bytes.data() + at);
        const std::uint32_t length = readU32(bytes.data() + at + 4);
        at += 8;
        if (length > body - at) {
            return Found::Invalid;
        }
        journal.pieces.push_back({ offset, length, at });
        at += length;
    }
    return at == body ? Found::Valid : Found::Invalid;
}

/// Writes the saved bytes back and cuts the file to its former size, then syncs it.
bool applyJournal(int file, const std::string& path, const Journal& journal)
{
    for (const Journal::Piece& piece : journal.pieces) {
        if (!ktbIoWrite(file, path.c_str(), journal.bytes.data() + piece.at, piece.length, piece.offset)) {
            return false;
        }
    }
    return ktbIoTruncate(file, path.c_str(), journal.oldSize) && ktbIoSync(file, path.c_str());
}

bool removeJournal(const std::string& path) { return ktbIoRemove(path.c_str()) && ktbIoSyncFolder(path.c_str()); }

bool exists(const std::string& path) { return !path.empty() && ::access(path.c_str(), F_OK) == 0; }

std::string catalogOfJournal(const std::string& journalPath)
{
    const std::string suffix = ktbJournalPath("");
    return journalPath.substr(0, journalPath.size() - suffix.size());
}

bool s_rangeLocksMissing = false;

/// Whether a lock failed because the file system keeps no byte-range locks at all.
bool noRangeLocks(int error) { return error == ENOLCK || error == EINVAL || error == EOPNOTSUPP || error == ENOSYS; }

bool lockRange(int file, short type, bool wait)
{
    if (s_rangeLocksMissing) {
        errno = ENOLCK;
        return false;
    }
    struct flock range { };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = s_lockOffset;
    range.l_len = 1;
    while (::fcntl(file, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

/// What a walk without a lock compares at its end: the file's size and times, and whether a journal is
/// beside it.
void fileStamp(const TKTBHandle* handle, std::int64_t* stamp)
{
    struct stat status { };
    ::fstat(handle->File, &status);
    stamp[0] = status.st_size;
    stamp[1] = status.st_mtim.tv_sec;
    stamp[2] = status.st_mtim.tv_nsec;
    stamp[3] = status.st_ctim.tv_sec;
    stamp[4] = status.st_ctim.tv_nsec;
    stamp[5] = ::access(ktbJournalPath(handle->Path).c_str(), F_OK) == 0 ? 1 : 0;
}

/// The writer's side of the change lock: waits a while for readers' walks to end.
bool takeChangeLock(int file)
{
    const auto until = std::chrono::steady_clock::now() + s_readerPatience;
    while (!lockRange(file, F_WRLCK, false)) {
        if (noRangeLocks(errno)) {
            return true; // nothing to keep readers out with: their walks check the file at their end
        }
        if ((errno != EAGAIN && errno != EACCES) || std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void releaseChangeLock(int file) { lockRange(file, F_UNLCK, false); }

/// Writes and syncs the journal of a change about to begin; the catalog is not touched yet.
bool writeJournal(const TKTBHandle* handle, Role role, const std::string& partner, std::vector<TKTBRange> ranges)
{
    const std::string path = ktbJournalPath(handle->Path);
    const std::uint32_t size = handle->Size;
    ranges.insert(ranges.begin(), TKTBRange { 0, KTB_HEADER_SIZE });
    std::vector<TKTBRange> kept;
    for (const TKTBRange& range : ranges) {
        if (range.Offset >= size || range.Length == 0) {
            continue;
        }
        kept.push_back({ range.Offset, std::min(range.Length, size - range.Offset) });
    }
    const int file = ktbIoCreate(path.c_str(), false);
    if (file < 0) {
        return false;
    }
    JournalWriter out(file, path);
    const auto count = static_cast<std::uint32_t>(kept.size());
    const auto roleValue = static_cast<std::uint16_t>(role);
    const auto partnerLength = static_cast<std::uint16_t>(partner.size());
    bool written = out.add(s_magic, sizeof s_magic) && out.add(&size, 4) && out.add(&count, 4) && out.add(&roleValue, 2)
        && out.add(&partnerLength, 2) && out.add(partner.data(), partner.size());
    for (const TKTBRange& range : kept) {
        written = written && out.add(&range.Offset, 4) && out.add(&range.Length, 4)
            && out.addView(handle, range.Offset, range.Length);
    }
    written = written && out.finish() && ktbIoSync(file, path.c_str());
    ::close(file);
    if (!written || !ktbIoSyncFolder(path.c_str())) {
        ktbIoRemove(path.c_str());
        return false;
    }
    return true;
}

bool writable(const TKTBHandle* handle)
{
    return ktbCheckHandle(handle) == KTB_OK && !handle->ReadOnly && !handle->Broken;
}

/// Maps the file again after it changed under the handle, keeping the position.
void remap(TKTBHandle* handle)
{
    const std::uint32_t position = handle->Position;
    if (ktbMapFile(handle)) {
        handle->Position = std::min(position, handle->Size);
    }
}

/// Takes the handle's catalog back to the journal's state and removes the journal; on failure the
/// handle is broken (the journal stays for the next writer).
bool rollBack(TKTBHandle* handle)
{
    const std::string path = ktbJournalPath(handle->Path);
    Journal journal;
    const Found found = readJournal(path, journal);
    const bool done = found == Found::Valid && applyJournal(handle->File, handle->Path, journal) && removeJournal(path);
    remap(handle);
    if (!done) {
        handle->Broken = true;
    }
    return done;
}

/// Ends the outermost change of one handle: commit or roll back. The change lock is released. Once the
/// journal is gone the change stands; a folder that cannot be synced then only makes it uncertain.
bool finishChange(TKTBHandle* handle, bool success)
{
    const std::string journal = ktbJournalPath(handle->Path);
    bool done = false;
    if (success && ktbIoSync(handle->File, handle->Path.c_str()) && ktbIoRemove(journal.c_str())) {
        done = ktbIoSyncFolder(journal.c_str());
    } else {
        done = rollBack(handle) && !success;
    }
    releaseChangeLock(handle->File);
    return done;
}

/// Rolls back a catalog this process has not open, for a master journal whose child is still there.
bool rollBackPartner(const std::string& journalPath)
{
    const std::string catalog = catalogOfJournal(journalPath);
    const int file = ::open(catalog.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (file < 0) {
        return false;
    }
    bool done = false;
    if (::flock(file, LOCK_EX | LOCK_NB) == 0) {
        Journal journal;
        const Found found = readJournal(journalPath, journal);
        done = found == Found::Absent || (found == Found::Invalid && removeJournal(journalPath))
            || (found == Found::Valid && applyJournal(file, catalog, journal) && removeJournal(journalPath));
    }
    ::close(file);
    return done;
}

/// Builds a reader's private image of the state before a crashed change.
bool mapBefore(TKTBHandle* handle, const Journal& journal)
{
    const std::uint32_t size = journal.oldSize;
    if (size == 0) {
        return false;
    }
    void* image = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (image == MAP_FAILED) {
        return false;
    }
    auto* bytes = static_cast<std::uint8_t*>(image);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = ::pread(handle->File, bytes + got, size - got, static_cast<off_t>(got));
        if (count <= 0) {
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    for (const Journal::Piece& piece : journal.pieces) {
        if (piece.offset < size) {
            std::memcpy(
                bytes + piece.offset, journal.bytes.data() + piece.at, std::min(piece.length, size - piece.offset));
        }
    }
    ::mprotect(image, size, PROT_READ);
    const std::uint32_t position = handle->Position;
    ktbUnmapFile(handle);
    handle->View = bytes;
    handle->Size = size;
    handle->Position = std::min(position, size);
    handle->Private = true;
    return true;
}

} // namespace

std::string ktbJournalPath(const std::string& catalogPath) { return catalogPath + "-journal"; }

TKTBERROR ktbBeginChange(TKTBHandle* handle, const std::vector<TKTBRange>& ranges)
{
    if (!writable(handle)) {
        ktbSetLastError(KTB_ERR_FILENOTAVAILABLE);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (handle->ChangeDepth > 0) {
        ++handle->ChangeDepth;
        return KTB_OK;
    }
    handle->ChangeSize = handle->Size;
    handle->ChangeFailed = false;
    if (handle->Scratch) {
        handle->ChangeDepth = 1;
        return KTB_OK;
    }
    if (!takeChangeLock(handle->File)) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (!writeJournal(handle, Plain, {}, ranges)) {
        releaseChangeLock(handle->File);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    handle->ChangeDepth = 1;
    handle->ChangeFailed = false;
    return KTB_OK;
}

bool ktbEndChange(TKTBHandle* handle, bool success)
{
    if (handle == nullptr || handle->ChangeDepth == 0) {
        return false;
    }
    if (!success) {
        handle->ChangeFailed = true;
    }
    if (--handle->ChangeDepth > 0) {
        return true;
    }
    if (handle->Scratch) {
        if (!handle->ChangeFailed) {
            return true;
        }
        // Nothing to restore but the length: a scratch catalog only ever grows.
        const bool cut = ktbIoTruncate(handle->File, handle->Path.c_str(), handle->ChangeSize);
        remap(handle);
        return cut;
    }
    return finishChange(handle, !handle->ChangeFailed);
}

TKTBERROR ktbBeginLinkedChange(TKTBHandle* master, const std::vector<TKTBRange>& masterRanges, TKTBHandle* child,
    const std::vector<TKTBRange>& childRanges)
{
    if (!writable(master) || !writable(child) || master == child || master->Scratch || child->Scratch
        || master->ChangeDepth > 0 || child->ChangeDepth > 0) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (!takeChangeLock(master->File)) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (!takeChangeLock(child->File)) {
        releaseChangeLock(master->File);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    const std::string masterJournal = ktbJournalPath(master->Path);
    const std::string childJournal = ktbJournalPath(child->Path);
    // The master first: a child is only ever found beside its master or after the move was done.
    if (!writeJournal(master, Master, childJournal, masterRanges)) {
        releaseChangeLock(child->File);
        releaseChangeLock(master->File);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (!writeJournal(child, Child, masterJournal, childRanges)) {
        removeJournal(masterJournal);
        releaseChangeLock(child->File);
        releaseChangeLock(master->File);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    master->ChangeDepth = 1;
    master->ChangeFailed = false;
    child->ChangeDepth = 1;
    child->ChangeFailed = false;
    return KTB_OK;
}

bool ktbEndLinkedChange(TKTBHandle* master, TKTBHandle* child, bool success)
{
    if (master == nullptr || child == nullptr || master->ChangeDepth != 1 || child->ChangeDepth != 1) {
        return false;
    }
    master->ChangeDepth = 0;
    child->ChangeDepth = 0;
    success = success && !master->ChangeFailed && !child->ChangeFailed;
    bool done = false;
    if (success && ktbIoSync(child->File, child->Path.c_str()) && ktbIoSync(master->File, master->Path.c_str())
        && removeJournal(ktbJournalPath(master->Path))) {
        // The move is done; a child journal left by a failure here is dropped by the next writer.
        removeJournal(ktbJournalPath(child->Path));
        done = true;
    } else {
        // The child first: a master without its child is rolled back alone, never the other way round.
        const bool childBack = rollBack(child);
        done = childBack && rollBack(master) && !success;
    }
    releaseChangeLock(child->File);
    releaseChangeLock(master->File);
    return done;
}

TKTBERROR ktbRecoverCatalog(TKTBHandle* handle)
{
    const std::string path = ktbJournalPath(handle->Path);
    Journal journal;
    switch (readJournal(path, journal)) {
    case Found::Absent:
        return KTB_OK;
    case Found::Invalid:
        // Never synced whole, so the change it was written for never touched the catalog.
        return removeJournal(path) ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
    case Found::Valid:
        break;
    }
    if (journal.role == Child && !exists(journal.partner)) {
        return removeJournal(path) ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
    }
    if (journal.role == Master && exists(journal.partner) && !rollBackPartner(journal.partner)) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    return applyJournal(handle->File, handle->Path, journal) && removeJournal(path) ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
}

bool ktbReaderEnter(TKTBHandle* handle)
{
    if (handle == nullptr || !handle->ReadOnly || handle->File < 0) {
        return true;
    }
    if (handle->ReaderLocks++ > 0) {
        return true;
    }
    // Waits for a change under way to end. Without lock support on the file system, the walk notes the
    // file as it is and is checked against it at its end.
    handle->ReaderUnlocked = !lockRange(handle->File, F_RDLCK, true) && noRangeLocks(errno);
    if (handle->ReaderUnlocked) {
        fileStamp(handle, handle->ReaderStamp);
    }
    Journal journal;
    const std::string path = ktbJournalPath(handle->Path);
    if (exists(path) && readJournal(path, journal) == Found::Valid
        && (journal.role != Child || exists(journal.partner))) {
        return mapBefore(handle, journal);
    }
    struct stat status { };
    if (handle->Private || handle->View == nullptr
        || (::fstat(handle->File, &status) == 0 && static_cast<std::uint64_t>(status.st_size) != handle->Size)) {
        handle->Private = false;
        remap(handle);
    }
    return handle->View != nullptr;
}

bool ktbReaderUnchanged(const TKTBHandle* handle)
{
    if (handle == nullptr || !handle->ReadOnly || handle->ReaderLocks == 0 || !handle->ReaderUnlocked
        || handle->Private) {
        return true;
    }
    decltype(handle->ReaderStamp) now = {};
    fileStamp(handle, now);
    return std::memcmp(now, handle->ReaderStamp, sizeof now) == 0;
}

void ktbSetRangeLocksMissing(bool missing) { s_rangeLocksMissing = missing; }

void ktbReaderLeave(TKTBHandle* handle)
{
    if (handle == nullptr || !handle->ReadOnly || handle->ReaderLocks == 0) {
        return;
    }
    if (--handle->ReaderLocks == 0 && handle->File >= 0) {
        lockRange(handle->File, F_UNLCK, false);
    }
}

namespace {

std::string stagedPath(const char* path) { return std::string(path) + KTB_BUILDING_SUFFIX; }

} // namespace

TKTBERROR ktbCreateStaged(TKTBHandle*& handle, const char* path)
{
    handle = nullptr;
    if (::access(path, F_OK) == 0) {
        return KTB_ERR_FILEEXISTS;
    }
    const std::string staged = stagedPath(path);
    ktbIoRemove(staged.c_str());
    ktbIoRemove(ktbJournalPath(staged).c_str());
    const TKTBERROR opened = ktbOpen(handle, staged.c_str(), KTB_OPEN_CREATE);
    if (opened != KTB_OK) {
        return opened;
    }
    if (const TKTBERROR begun = ktbBeginChange(handle); begun != KTB_OK) {
        ktbClose(handle);
        ktbIoRemove(staged.c_str());
        return begun;
    }
    return KTB_OK;
}

TKTBERROR ktbFinishStaged(TKTBHandle*& handle, const char* path, bool keep)
{
    const std::string staged = stagedPath(path);
    TKTBERROR result = KTB_OK;
    if (!ktbEndChange(handle, keep) || !keep) {
        result = KTB_ERR_MAPPINGFAILED;
    }
    ktbClose(handle);
    if (result == KTB_OK && !ktbIoRename(staged.c_str(), path, false)) {
        result = ::access(path, F_OK) == 0 ? KTB_ERR_FILEEXISTS : KTB_ERR_MAPPINGFAILED;
    } else if (result == KTB_OK && !ktbIoSyncFolder(path)) {
        ktbIoRemove(path);
        result = KTB_ERR_MAPPINGFAILED;
    }
    if (result != KTB_OK) {
        ktbIoRemove(staged.c_str());
    }
    return result;
}
