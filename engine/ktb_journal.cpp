#include "engine/ktb_journal.h"

#include "engine/ktb32.h"
#include "engine/ktb_fileio.h"
#include "engine/ktb_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

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

/// An open file, closed with the object.
class Descriptor {
public:
    explicit Descriptor(int file = -1)
        : m_file(file)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        reset();
        std::swap(m_file, other.m_file);
        return *this;
    }
    int get() const { return m_file; }
    void reset()
    {
        if (m_file >= 0) {
            ::close(m_file);
        }
        m_file = -1;
    }

private:
    int m_file;
};

/// A journal as read back: its fields and where its saved pieces are in the file, which stays open.
struct Journal {
    Descriptor file;
    std::uint32_t oldSize = 0;
    Role role = Plain;
    std::string partner;
    struct Piece {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint64_t at; ///< where its bytes are in the journal
    };
    std::vector<Piece> pieces;
};

/// Absent; Invalid: never synced whole (or no journal of ours at all), so the catalog was never touched
/// for it; Valid; Unreadable: there, but it cannot be read now; Refused: not to be used (see
/// TKTBJournalTrouble).
enum class Found { Absent, Invalid, Valid, Unreadable, Refused };

/// The most pieces a journal holds: the header and the few ranges of one change.
constexpr std::uint32_t s_maxPieces = 64;

std::uint32_t readU32(const std::uint8_t* bytes)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

bool readAt(int file, void* buffer, std::size_t count, std::uint64_t offset)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const ssize_t got = ::pread(file, bytes, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

thread_local TKTBJournalProblem t_problem;

bool isTrusted(uid_t owner, uid_t catalogOwner) { return owner == catalogOwner || owner == ::geteuid() || owner == 0; }

/// What is at the path of a journal or of a file being built, never following a link.
enum class Look { Absent, Plain, Foreign, Other };
Look look(const std::string& path, uid_t catalogOwner, TKTBJournalProblem& problem)
{
    struct stat status { };
    if (::lstat(path.c_str(), &status) != 0) {
        return Look::Absent;
    }
    problem = { TKTBJournalTrouble::None, path, status.st_uid, S_ISLNK(status.st_mode) };
    if (!isTrusted(status.st_uid, catalogOwner)) {
        problem.Trouble = TKTBJournalTrouble::ForeignOwner;
        return Look::Foreign;
    }
    return S_ISREG(status.st_mode) ? Look::Plain : Look::Other;
}

/// Removes what a writer found in the way that is no file of another user; false, with the problem
/// kept for the thread, when it cannot go.
bool removeLeftover(const std::string& path, uid_t catalogOwner)
{
    TKTBJournalProblem problem;
    const Look found = look(path, catalogOwner, problem);
    if (found == Look::Absent) {
        return true;
    }
    if (found != Look::Foreign && ktbIoRemove(path.c_str())) {
        return true;
    }
    if (problem.Trouble == TKTBJournalTrouble::None) {
        problem.Trouble = TKTBJournalTrouble::NotAFile;
    }
    t_problem = problem;
    return false;
}

/// Reads the journal of a catalog of catalogSize bytes owned by catalogOwner: its checksum over all of
/// it, a piece at a time, and its table. Nothing of it is read into memory whole.
Found readJournal(const std::string& path, uid_t catalogOwner, std::uint64_t catalogSize, Journal& journal,
    TKTBJournalProblem& problem)
{
    switch (look(path, catalogOwner, problem)) {
    case Look::Absent:
        return Found::Absent;
    case Look::Foreign:
        return Found::Refused;
    case Look::Other:
        return Found::Invalid;
    case Look::Plain:
        break;
    }
    journal.file = Descriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    const int file = journal.file.get();
    if (file < 0) {
        return errno == ENOENT ? Found::Absent : (errno == ELOOP ? Found::Invalid : Found::Unreadable);
    }
    struct stat status { };
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        return Found::Invalid;
    }
    if (!isTrusted(status.st_uid, catalogOwner)) { // put there since it was looked at
        problem = { TKTBJournalTrouble::ForeignOwner, path, status.st_uid, false };
        return Found::Refused;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    std::uint8_t fixed[s_fixedHeader] = {};
    const bool ours = size >= s_fixedHeader + 16 && readAt(file, fixed, sizeof fixed, 0)
        && std::memcmp(fixed, s_magic, sizeof s_magic) == 0;
    const std::uint32_t count = ours ? readU32(fixed + 12) : 0;
    std::uint16_t role = 0;
    std::uint16_t partnerLength = UINT16_MAX;
    if (ours) {
        std::memcpy(&role, fixed + 16, 2);
        std::memcpy(&partnerLength, fixed + 18, 2);
    }
    // The largest a journal of this catalog can be: the catalog as it stands or as it was before the
    // change (a change may have shrunk it), its header saved once more, and the journal's own fields.
    const std::uint64_t before = ours ? readU32(fixed + 8) : 0;
    const std::uint64_t limit = std::max(catalogSize, before) + KTB_HEADER_SIZE + s_fixedHeader + partnerLength
        + 8ull * std::min(count, s_maxPieces) + 16;
    if (size > limit) {
        problem.Trouble = TKTBJournalTrouble::TooLarge;
        return Found::Refused;
    }
    if (!ours || count > s_maxPieces || role > Child) {
        return Found::Invalid;
    }
    const std::uint64_t body = size - 16;
    std::uint8_t trailer[16] = {};
    if (!readAt(file, trailer, sizeof trailer, body) || std::memcmp(trailer + 8, s_endMark, 8) != 0) {
        return Found::Invalid;
    }
    Checksum checksum;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(s_bufferSize, body)));
    for (std::uint64_t at = 0; at < body;) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), body - at));
        if (!readAt(file, buffer.data(), piece, at)) {
            return Found::Invalid;
        }
        checksum.add(buffer.data(), piece);
        at += piece;
    }
    std::uint64_t stored = 0;
    std::memcpy(&stored, trailer, sizeof stored);
    if (stored != checksum.value()) {
        return Found::Invalid;
    }
    journal.oldSize = static_cast<std::uint32_t>(before);
    journal.role = static_cast<Role>(role);
    std::uint64_t at = s_fixedHeader;
    if (at + partnerLength > body) {
        return Found::Invalid;
    }
    journal.partner.resize(partnerLength);
    if (!readAt(file, journal.partner.data(), partnerLength, at)) {
        return Found::Invalid;
    }
    at += partnerLength;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t range[8] = {};
        if (at + 8 > body || !readAt(file, range, sizeof range, at)) {
            return Found::Invalid;
        }
        const std::uint32_t offset = readU32(range);
        const std::uint32_t length = readU32(range + 4);
        at += 8;
        if (length > body - at) {
            return Found::Invalid;
        }
        journal.pieces.push_back({ offset, length, at });
        at += length;
    }
    return at == body ? Found::Valid : Found::Invalid;
}

/// Copies one saved piece from the journal back into the catalog, a buffer at a time.
bool copyPiece(const Journal& journal, int file, const std::string& path, const Journal::Piece& piece)
{
    std::vector<std::uint8_t> buffer(std::min<std::size_t>(s_bufferSize, piece.length));
    for (std::uint32_t done = 0; done < piece.length;) {
        const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(buffer.size(), piece.length - done));
        if (!readAt(journal.file.get(), buffer.data(), length, piece.at + done)
            || !ktbIoWrite(
                file, path.c_str(), buffer.data(), length, static_cast<std::uint64_t>(piece.offset) + done)) {
            return false;
        }
        done += length;
    }
    return true;
}

/// Writes the saved bytes back and cuts the file to its former size, then syncs it.
bool applyJournal(int file, const std::string& path, const Journal& journal)
{
    for (const Journal::Piece& piece : journal.pieces) {
        if (!copyPiece(journal, file, path, piece)) {
            return false;
        }
    }
    return ktbIoTruncate(file, path.c_str(), journal.oldSize) && ktbIoSync(file, path.c_str());
}

bool removeJournal(const std::string& path) { return ktbIoRemove(path.c_str()) && ktbIoSyncFolder(path.c_str()); }

std::string catalogOfJournal(const std::string& journalPath)
{
    const std::string suffix = ktbJournalPath("");
    return journalPath.substr(0, journalPath.size() - suffix.size());
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first { };
    struct stat second { };
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

/// Reads the journal beside a catalog that is not open here.
Found readJournalOf(const std::string& journalPath, Journal& journal)
{
    struct stat catalog { };
    if (::stat(catalogOfJournal(journalPath).c_str(), &catalog) != 0) {
        return Found::Absent;
    }
    TKTBJournalProblem ignored;
    return readJournal(journalPath, catalog.st_uid, static_cast<std::uint64_t>(catalog.st_size), journal, ignored);
}

/// Whether candidate is a trusted journal of the role expected whose partner, read against base when
/// it is relative, is the journal at journalPath.
bool namesBack(const std::string& candidate, const std::string& base, const std::string& journalPath, Role expected)
{
    Journal other;
    if (readJournalOf(candidate, other) != Found::Valid || other.role != expected) {
        return false;
    }
    const std::string named = !other.partner.empty() && other.partner[0] == '/' ? other.partner : base + other.partner;
    return sameFile(named, journalPath);
}

bool isRelative(const std::string& path) { return path.empty() || path[0] != '/'; }

/// The partner of the journal at journalPath when it is there and names this one back; empty otherwise.
std::string findPartner(const std::string& journalPath, const Journal& journal)
{
    const Role expected = journal.role == Master ? Child : Master;
    if (!isRelative(journal.partner)) {
        return namesBack(journal.partner, {}, journalPath, expected) ? journal.partner : std::string();
    }
    // Both names were typed against one working folder, which no journal keeps. Any folder from which
    // both lead to the two journals will do: a name starting with ".." climbs as far from each, so
    // this journal's folder, the folders above it and the working folder cover the ways people type.
    std::vector<std::string> bases;
    for (std::size_t slash = journalPath.rfind('/'); slash != std::string::npos && slash > 0;
         slash = journalPath.rfind('/', slash - 1)) {
        bases.push_back(journalPath.substr(0, slash + 1));
    }
    bases.push_back("/");
    bases.push_back(ktbAbsolutePath("."));
    bases.back().pop_back(); // "." made absolute ends in "/."
    for (const std::string& base : bases) {
        const std::string candidate = base + journal.partner;
        if (namesBack(candidate, base, journalPath, expected)) {
            return candidate;
        }
    }
    return {};
}

/// Whether recovery takes the journal's change back: every journal but a child whose master is gone
/// (a finished move). A child naming its master relatively, as earlier versions did, whose master
/// cannot be found may belong to a move that never finished: taking it back keeps the disc.
bool takesBack(const std::string& journalPath, const Journal& journal)
{
    return journal.role != Child || isRelative(journal.partner) || !findPartner(journalPath, journal).empty();
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

struct CatalogFacts {
    uid_t owner = 0;
    unsigned mode = 0600;
    std::uint64_t size = 0;
};

CatalogFacts factsOf(int file)
{
    struct stat status { };
    if (::fstat(file, &status) != 0) {
        return { ::geteuid(), 0600, 0 };
    }
    return { status.st_uid, static_cast<unsigned>(status.st_mode & 0777), static_cast<std::uint64_t>(status.st_size) };
}

std::mutex s_unsyncedLock;
std::vector<std::string> s_unsynced;

/// Writes and syncs the journal of a change about to begin; the catalog is not touched yet. The journal
/// holds the catalog's bytes, so it gets the catalog's permissions.
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
    if (kept.size() > s_maxPieces) {
        return false;
    }
    const int file = ktbIoCreate(path.c_str(), factsOf(handle->File).mode);
    if (file < 0) {
        return false;
    }
    JournalWriter out(file, path);
    const auto count = static_cast<std::uint32_t>(kept.size());
    const auto roleValue = static_cast<std::uint16_t>(role);
    const auto partnerLength = static_cast<std::uint16_t>(partner.size());
    bool written = partner.size() <= UINT16_MAX && out.add(s_magic, sizeof s_magic) && out.add(&size, 4)
        && out.add(&count, 4) && out.add(&roleValue, 2) && out.add(&partnerLength, 2)
        && out.add(partner.data(), partner.size());
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
    const CatalogFacts catalog = factsOf(handle->File);
    Journal journal;
    TKTBJournalProblem ignored;
    const Found found = readJournal(path, catalog.owner, catalog.size, journal, ignored);
    const bool done = found == Found::Valid && applyJournal(handle->File, handle->Path, journal) && removeJournal(path);
    remap(handle);
    if (!done) {
        handle->Broken = true;
    }
    return done;
}

/// Ends the outermost change of one handle: commit or roll back. The change lock is released. Once the
/// journal is gone the change stands; a folder that cannot be synced then only leaves it unsafe.
bool finishChange(TKTBHandle* handle, bool success)
{
    const std::string journal = ktbJournalPath(handle->Path);
    bool done = false;
    if (success && ktbIoSync(handle->File, handle->Path.c_str()) && ktbIoRemove(journal.c_str())) {
        if (!ktbIoSyncFolder(journal.c_str())) {
            ktbNoteUnsynced(handle->Path);
        }
        done = true;
    } else {
        done = rollBack(handle) && !success;
    }
    releaseChangeLock(handle->File);
    return done;
}

TKTBERROR recover(int file, const std::string& catalog, bool& applied);

/// Rolls back the catalog of a child journal whose master is being rolled back; that catalog is not
/// open here (a dying mover may still hold its lock for a moment).
bool rollBackPartner(const std::string& journalPath)
{
    const std::string catalog = catalogOfJournal(journalPath);
    const Descriptor file(::open(catalog.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat status { };
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)
        || !ktbIoLock(file.get(), catalog.c_str())) {
        return false;
    }
    bool applied = false;
    return recover(file.get(), catalog, applied) == KTB_OK;
}

/// What a writer does with the journal beside its catalog (open on file, its lock held): rolls back a
/// crashed change (and a moved disc's other catalog with it), drops the journal of a finished move or
/// one never synced whole. applied tells whether the catalog was written.
TKTBERROR recover(int file, const std::string& catalog, bool& applied)
{
    applied = false;
    const std::string path = ktbJournalPath(catalog);
    const CatalogFacts facts = factsOf(file);
    Journal journal;
    TKTBJournalProblem problem;
    switch (readJournal(path, facts.owner, facts.size, journal, problem)) {
    case Found::Absent:
        return KTB_OK;
    case Found::Refused:
        t_problem = problem;
        return KTB_ERR_FILENOTAVAILABLE;
    case Found::Unreadable:
        return KTB_ERR_FILENOTAVAILABLE;
    case Found::Invalid:
        // Never synced whole (or no journal at all), so no change was made for it.
        return removeLeftover(path, facts.owner) && ktbIoSyncFolder(path.c_str()) ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
    case Found::Valid:
        break;
    }
    if (!takesBack(path, journal)) {
        return removeJournal(path) ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
    }
    if (journal.role == Master) {
        const std::string child = findPartner(path, journal);
        if (!child.empty() && !rollBackPartner(child)) {
            return KTB_ERR_FILENOTAVAILABLE;
        }
    }
    applied = true;
    return applyJournal(file, catalog, journal) && removeJournal(path) ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
}

/// Before a change of an open writer writes its journal: one found beside the catalog now was left
/// after a committed move whose master could not be synced away, or put there by someone else. It is
/// dealt with as the next open would; should that roll the catalog back, the change is refused (what
/// its caller knows of the catalog is out of date).
bool clearStale(TKTBHandle* handle)
{
    struct stat status { };
    if (::lstat(ktbJournalPath(handle->Path).c_str(), &status) != 0) {
        return true;
    }
    bool applied = false;
    const TKTBERROR recovered = recover(handle->File, handle->Path, applied);
    if (applied) {
        remap(handle);
    }
    return recovered == KTB_OK && !applied;
}

/// Builds a reader's private image of the state before a crashed change.
bool mapBefore(TKTBHandle* handle, const Journal& journal)
{
    const std::uint32_t size = journal.oldSize;
    if (size == 0) {
        return false;
    }
    void* image = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
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
        if (piece.offset < size
            && !readAt(
                journal.file.get(), bytes + piece.offset, std::min(piece.length, size - piece.offset), piece.at)) {
            ::munmap(image, size);
            return false;
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

TKTBJournalProblem ktbTakeJournalProblem() { return std::exchange(t_problem, TKTBJournalProblem {}); }

void ktbNoteUnsynced(const std::string& catalogPath)
{
    const std::lock_guard<std::mutex> guard(s_unsyncedLock);
    if (std::find(s_unsynced.begin(), s_unsynced.end(), catalogPath) == s_unsynced.end()) {
        s_unsynced.push_back(catalogPath);
    }
}

std::vector<std::string> ktbTakeUnsyncedChanges()
{
    const std::lock_guard<std::mutex> guard(s_unsyncedLock);
    return std::exchange(s_unsynced, {});
}

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
    t_problem = {};
    if (!takeChangeLock(handle->File)) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (!clearStale(handle) || !writeJournal(handle, Plain, {}, ranges)) {
        releaseChangeLock(handle->File);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    handle->ChangeSize = handle->Size;
    handle->ChangeDepth = 1;
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
    t_problem = {};
    if (!takeChangeLock(master->File)) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (!takeChangeLock(child->File)) {
        releaseChangeLock(master->File);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    // Each names the other by the absolute path its catalog was opened under: whoever recovers them,
    // from whatever working folder, finds the same files.
    const std::string masterJournal = ktbJournalPath(master->Path);
    const std::string childJournal = ktbJournalPath(child->Path);
    // Stale journals go before either is written (the child of an earlier move of these two catalogs
    // would take the new master for its own). The master first: a child is only ever found beside its
    // master or after the move was done.
    if (!clearStale(master) || !clearStale(child) || !writeJournal(master, Master, childJournal, masterRanges)) {
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
    master->ChangeSize = master->Size;
    child->ChangeDepth = 1;
    child->ChangeFailed = false;
    child->ChangeSize = child->Size;
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
    const std::string masterJournal = ktbJournalPath(master->Path);
    bool done = false;
    if (success && ktbIoSync(child->File, child->Path.c_str()) && ktbIoSync(master->File, master->Path.c_str())
        && ktbIoRemove(masterJournal.c_str())) {
        // The move is done and stands. A child journal left by a failure here is dropped by the next
        // writer. While the master's removal is not known to be on disk, the child stays beside it: a
        // power cut that brings the master back then takes the whole move back, never half of it.
        if (ktbIoSyncFolder(masterJournal.c_str())) {
            removeJournal(ktbJournalPath(child->Path));
        } else {
            ktbNoteUnsynced(master->Path);
            ktbNoteUnsynced(child->Path);
        }
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
    t_problem = {};
    bool applied = false;
    return recover(handle->File, handle->Path, applied);
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
    // A journal the next writer would not use (another user's, a damaged one) changes nothing here.
    const std::string path = ktbJournalPath(handle->Path);
    const CatalogFacts catalog = factsOf(handle->File);
    Journal journal;
    TKTBJournalProblem ignored;
    if (readJournal(path, catalog.owner, catalog.size, journal, ignored) == Found::Valid && takesBack(path, journal)) {
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

int ktbCreateBuilding(const std::string& building, unsigned mode, bool exact)
{
    t_problem = {};
    int file = ktbIoCreate(building.c_str(), mode, exact);
    if (file < 0 && errno == EEXIST) {
        TKTBJournalProblem problem;
        Descriptor leftover;
        if (look(building, ::geteuid(), problem) == Look::Plain) {
            // Another creator at work holds its file; one that died left it to be replaced.
            leftover = Descriptor(::open(building.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
            if (leftover.get() < 0 || !ktbIoLock(leftover.get(), building.c_str())) {
                return -1;
            }
        }
        if (!removeLeftover(building, ::geteuid())) {
            return -1;
        }
        file = ktbIoCreate(building.c_str(), mode, exact);
    }
    if (file >= 0 && ::flock(file, LOCK_EX | LOCK_NB) != 0) {
        ::close(file);
        return -1;
    }
    return file;
}

bool ktbRemoveStaleJournal(const std::string& catalogPath)
{
    t_problem = {};
    return removeLeftover(ktbJournalPath(catalogPath), ::geteuid());
}

namespace {

std::string stagedPath(const char* path) { return std::string(path) + KTB_BUILDING_SUFFIX; }

} // namespace

TKTBERROR ktbCreateStaged(TKTBHandle*& handle, const char* path, unsigned mode)
{
    handle = nullptr;
    t_problem = {};
    if (::access(path, F_OK) == 0) {
        return KTB_ERR_FILEEXISTS;
    }
    const std::string staged = stagedPath(path);
    if (!removeLeftover(staged, ::geteuid()) || !removeLeftover(ktbJournalPath(staged), ::geteuid())) {
        return KTB_ERR_FILEEXISTS;
    }
    const TKTBERROR opened = ktbCreateCatalog(handle, staged.c_str(), KTB_OPEN_CREATE, mode);
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
        // The catalog is whole under its name; only that name may not be on disk yet.
        ktbNoteUnsynced(ktbAbsolutePath(path));
    }
    if (result != KTB_OK) {
        ktbIoRemove(staged.c_str());
    }
    return result;
}
