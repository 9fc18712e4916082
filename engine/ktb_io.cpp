#include "engine/ktb_io.h"

#include "engine/ktb_fileio.h"
#include "engine/ktb_journal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#include <fcntl.h>
#include <malloc.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// ---------------------------------------------------------------------------------------------
// Name matching

namespace {

constexpr std::uint8_t upperByte(std::uint8_t c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

struct FoldTable {
    std::uint8_t upper[256];
    constexpr FoldTable()
        : upper {}
    {
        for (int i = 0; i < 256; ++i) {
            upper[i] = upperByte(static_cast<std::uint8_t>(i));
        }
    }
};
constexpr FoldTable s_fold;

void upperInPlace(std::string& text)
{
    for (char& c : text) {
        c = static_cast<char>(s_fold.upper[static_cast<std::uint8_t>(c)]);
    }
}

} // namespace

/// A name pattern prepared once per iteration: its rule, and the needle in up to two encodings (a
/// search text with non-ASCII characters matches names written as UTF-8 and as Windows-1252).
struct TKTBCursor::Matcher {
    enum Mode { All, Equal, Contains, Prefix, Suffix };
    Mode mode = All;
    bool fold = true;
    int needleCount = 0;
    std::string needles[2];
    /// Unicode letter case: the pattern's rule applies to folded names and this folded pattern; the
    /// needle, if any, is only an ASCII part of it that every matching name holds.
    bool unicode = false;
    std::string folded;

    void prepare(const std::string& pattern, std::uint32_t flags);
    bool test(const std::uint8_t* text, std::size_t length) const;

private:
    bool testFolded(const std::uint8_t* text, std::size_t length) const;
};

namespace {

bool allAsterisks(std::string_view pattern) { return pattern.find_first_not_of('*') == std::string_view::npos; }

bool isAscii(std::string_view text)
{
    return std::none_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
}

/// Whether a name can hold this ASCII character only as itself (in either case): no other character
/// folds to it, as the Kelvin sign folds to "k".
bool foldsOnlyFromItself(char c)
{
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
    return ktbFoldTargetsInAscii().find(lower) == std::string_view::npos;
}

/// The longest run of the (upper-cased) pattern's ASCII characters that a matching name must hold
/// byte for byte, ASCII case aside: the walk's memory scan finds the few names worth folding by it.
std::string_view asciiPrefilter(std::string_view pattern)
{
    std::string_view best;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= pattern.size(); ++at) {
        if (at < pattern.size() && (pattern[at] & 0x80) == 0 && foldsOnlyFromItself(pattern[at])) {
            continue;
        }
        if (at - start > best.size()) {
            best = pattern.substr(start, at - start);
        }
        start = at + 1;
    }
    return best;
}

inline bool equalFolded(const std::uint8_t* text, const std::uint8_t* needle, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (s_fold.upper[text[i]] != needle[i]) {
            return false;
        }
    }
    return true;
}

inline bool equalBytes(const std::uint8_t* text, const std::uint8_t* needle, std::size_t length)
{
    return std::memcmp(text, needle, length) == 0;
}

// Substring search. The needle is upper-cased when folding; candidates are found by their first
// byte in either case, then compared whole.
bool containsNeedle(const std::uint8_t* text, std::size_t length, const std::string& needleText, bool fold)
{
    const auto* needle = reinterpret_cast<const std::uint8_t*>(needleText.data());
    const std::size_t n = needleText.size();
    if (n == 0) {
        return true;
    }
    if (n > length) {
        return false;
    }
    const std::uint8_t first = needle[0];
    const std::uint8_t firstLower
        = (fold && first >= 'A' && first <= 'Z') ? static_cast<std::uint8_t>(first | 0x20) : first;
    const std::size_t last = length - n;
    for (std::size_t i = 0; i <= last; ++i) {
        const std::uint8_t c = text[i];
        if (c != first && c != firstLower) {
            continue;
        }
        if (fold ? equalFolded(text + i + 1, needle + 1, n - 1) : equalBytes(text + i + 1, needle + 1, n - 1)) {
            return true;
        }
    }
    return false;
}

} // namespace

void TKTBCursor::Matcher::prepare(const std::string& pattern, std::uint32_t flags)
{
    fold = (flags & KTB_CMP_CASE) == 0;
    needleCount = 0;
    if (pattern.empty()) {
        mode = All;
        return;
    }
    std::string core = pattern;
    if ((flags & KTB_CMP_WHOLENAME) != 0) {
        mode = Equal;
    } else if (allAsterisks(pattern)) {
        mode = All;
        return;
    } else if (pattern.size() >= 2 && pattern.front() == '*' && pattern.back() == '*') {
        mode = Contains;
        core = pattern.substr(1, pattern.size() - 2);
    } else if (pattern.front() == '*') {
        mode = Suffix;
        core = pattern.substr(1);
    } else if (pattern.back() == '*') {
        mode = Prefix;
        core = pattern.substr(0, pattern.size() - 1);
    } else {
        mode = Contains;
    }
    if (fold) {
        upperInPlace(core);
    }
    const bool nonAscii = std::any_of(core.begin(), core.end(), [](char c) { return (c & 0x80) != 0; });
    if (nonAscii && fold && (flags & KTB_CMP_UNICODE) != 0) {
        unicode = true;
        ktbFoldCase(core, folded);
        const std::string_view part = asciiPrefilter(core);
        if (!part.empty()) {
            needles[needleCount++] = std::string(part);
        }
        return;
    }
    needles[needleCount++] = core;
    if (!nonAscii) {
        return;
    }
    std::string other;
    if (ktbIsUtf8(core)) {
        if (ktbUtf8ToCp1252(core, other) && other != core) {
            needles[needleCount++] = other;
        }
    } else {
        needles[needleCount++] = ktbCp1252ToUtf8(core);
    }
}

bool TKTBCursor::Matcher::testFolded(const std::uint8_t* text, std::size_t length) const
{
    // An ASCII name folds to ASCII alone: it cannot hold a pattern that folds to more.
    const bool asciiName = std::none_of(text, text + length, [](std::uint8_t c) { return (c & 0x80) != 0; });
    if (asciiName && !isAscii(folded)) {
        return false;
    }
    thread_local std::string name;
    ktbFoldCase(std::string_view(reinterpret_cast<const char*>(text), length), name);
    const std::string_view haystack(name);
    switch (mode) {
    case Equal:
        return haystack == folded;
    case Contains:
        return haystack.find(folded) != std::string_view::npos;
    case Prefix:
        return haystack.starts_with(folded);
    case Suffix:
        return haystack.ends_with(folded);
    case All:
        break;
    }
    return true;
}

bool TKTBCursor::Matcher::test(const std::uint8_t* text, std::size_t length) const
{
    if (mode == All) {
        return true;
    }
    if (unicode) {
        return testFolded(text, length);
    }
    for (int i = 0; i < needleCount; ++i) {
        const std::string& needle = needles[i];
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(needle.data());
        const std::size_t n = needle.size();
        switch (mode) {
        case Equal:
            if (n == length && (fold ? equalFolded(text, bytes, n) : equalBytes(text, bytes, n))) {
                return true;
            }
            break;
        case Contains:
            if (containsNeedle(text, length, needle, fold)) {
                return true;
            }
            break;
        case Prefix:
            if (n <= length && (fold ? equalFolded(text, bytes, n) : equalBytes(text, bytes, n))) {
                return true;
            }
            break;
        case Suffix:
            if (n <= length
                && (fold ? equalFolded(text + length - n, bytes, n) : equalBytes(text + length - n, bytes, n))) {
                return true;
            }
            break;
        case All:
            return true;
        }
    }
    return false;
}

namespace {

// The criteria's name pattern is upper-cased in place by the first name test, as callers expect.
void upperCriteria(TCompare& criteria)
{
    if ((criteria.Flags & KTB_CMP_CASE) == 0) {
        upperInPlace(criteria.Name);
    }
}

bool fileDateAndSizePass(std::uint32_t size, std::uint32_t dateTime, const TCompare& criteria)
{
    const std::uint32_t flags = criteria.Flags;
    const auto date = static_cast<std::int32_t>(dateTime);
    const auto wanted = static_cast<std::int32_t>(criteria.Date);
    if ((flags & KTB_CMP_DATE_AFTER) != 0) {
        if (!(date > wanted)) {
            return false;
        }
    } else if ((flags & KTB_CMP_DATE_BEFORE) != 0) {
        if (!(date < wanted)) {
            return false;
        }
    } else if ((flags & KTB_CMP_DATE_EQ) != 0) {
        if (date != wanted) {
            return false;
        }
    }
    if ((flags & KTB_CMP_SIZE_GREATER) != 0) {
        return size > criteria.Size;
    }
    if ((flags & KTB_CMP_SIZE_SMALLER) != 0) {
        return size < criteria.Size;
    }
    if ((flags & KTB_CMP_SIZE_EQ) != 0) {
        return size == criteria.Size;
    }
    return true;
}

} // namespace

bool ktbWildcardMatch(std::string_view pattern, std::string_view text)
{
    TKTBCursor::Matcher matcher;
    matcher.prepare(std::string(pattern), KTB_CMP_CASE);
    return matcher.test(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool ktbMatchName(std::string_view name, TCompare& criteria)
{
    if (criteria.Name.empty()) {
        return true;
    }
    upperCriteria(criteria);
    TKTBCursor::Matcher matcher;
    matcher.prepare(criteria.Name, criteria.Flags);
    return matcher.test(reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
}

void ktbFoldName(std::string_view name, std::string& folded)
{
    // One pass for the usual ASCII name; any other is folded character by character.
    folded.resize(name.size());
    std::uint8_t seen = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(name[i]);
        seen |= c;
        folded[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
    }
    if ((seen & 0x80) != 0) {
        ktbFoldCase(name, folded);
    }
}

bool ktbMatchFile(const TKTBFileData& file, TCompare* criteria)
{
    if (criteria == nullptr) {
        return true;
    }
    if ((criteria->Flags & KTB_CMP_NAME) != 0
        && !ktbMatchName(std::string_view(file.Name != nullptr ? file.Name : ""), *criteria)) {
        return false;
    }
    return fileDateAndSizePass(file.Size, file.DateTime, *criteria);
}

// ---------------------------------------------------------------------------------------------
// Open, close, header

namespace {

void closeHandleRecord(TKTBHandle* handle)
{
    ktbUnmapFile(handle);
    if (handle->File >= 0) {
        ::close(handle->File);
    }
    handle->File = -1;
    handle->Magic = 0;
    delete handle;
}

bool startsWithOlderSignature(const std::uint8_t* bytes, std::size_t count)
{
    // The older header's signature is the text up to its first zero byte.
    const std::size_t length = sizeof KTB_OLDER_SIGNATURE; // includes the zero byte
    return count >= length && std::memcmp(bytes, KTB_OLDER_SIGNATURE, length) == 0;
}

std::uint32_t readU32(const std::uint8_t* bytes)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

struct TextField {
    std::uint32_t offset;
    std::size_t size; // including the zero byte
};

bool textField(int field, TextField& result)
{
    switch (field) {
    case KTB_HDR_OWNER:
        result = { KTB_HDR_OFS_OWNER, KTB_OWNER_MAX + 1 };
        return true;
    case KTB_HDR_NAME:
        result = { KTB_HDR_OFS_NAME, KTB_NAME_MAX + 1 };
        return true;
    case KTB_HDR_KEY:
        result = { KTB_HDR_OFS_KEY, KTB_KEY_MAX + 1 };
        return true;
    default:
        return false;
    }
}

} // namespace

namespace {

TKTBERROR openCatalog(TKTBHandle*& handle, const char* path, std::uint32_t flags, unsigned mode, bool exactMode)
{
    handle = nullptr;
    auto* record = new (std::nothrow) TKTBHandle {};
    if (record == nullptr || path == nullptr) {
        delete record;
        return KTB_ERR_BADHANDLE;
    }
    record->Magic = KTB_HANDLE_MAGIC;
    record->File = -1;
    const bool create = (flags & KTB_OPEN_CREATE) != 0;
    record->ReadOnly = !create && (flags & KTB_OPEN_READONLY) != 0;
    record->Scratch = create && (flags & KTB_OPEN_SCRATCH) != 0;

    // Resolved once: the journals name it, and the working folder may change while it is open.
    record->Path = ktbAbsolutePath(path);
    // A new catalog is built under a second name and gets its own name only with its whole header, so
    // a crash while creating leaves no empty or torn file under the name.
    const std::string building = record->Path + KTB_BUILDING_SUFFIX;
    // O_NONBLOCK: opening a FIFO or a device must not wait; anything but a plain file is refused below.
    if (create) {
        record->File = ::access(path, F_OK) == 0 ? -1 : ktbCreateBuilding(building, mode, exactMode);
    } else {
        record->File = ::open(path, (record->ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
    }
    if (record->File < 0) {
        closeHandleRecord(record);
        return create ? KTB_ERR_FILEEXISTS : KTB_ERR_FILENOTAVAILABLE;
    }
    struct stat status { };
    if (::fstat(record->File, &status) != 0 || !S_ISREG(status.st_mode)) {
        closeHandleRecord(record);
        return create ? KTB_ERR_FILEEXISTS : KTB_ERR_FILENOTAVAILABLE;
    }
    ::fcntl(record->File, F_SETFL, ::fcntl(record->File, F_GETFL) & ~O_NONBLOCK);
    // One writer at a time; plain readers (KTB_OPEN_READONLY) take no lock and are never refused.
    if (!record->ReadOnly && !ktbIoLock(record->File, record->Path.c_str())) {
        closeHandleRecord(record);
        return create ? KTB_ERR_FILEEXISTS : KTB_ERR_FILENOTAVAILABLE;
    }
    if (create) {
        std::uint8_t header[KTB_HEADER_SIZE] = {};
        std::memcpy(header + KTB_HDR_OFS_MAGIC, KTB_MAGIC, sizeof KTB_MAGIC);
        const std::uint32_t version = KTB_VERSION;
        const std::uint32_t stamp = ktbNowUtcDos();
        std::memcpy(header + KTB_HDR_OFS_VERSION, &version, 4);
        std::memcpy(header + KTB_HDR_OFS_CREATED, &stamp, 4);
        std::memcpy(header + KTB_HDR_OFS_MODIFIED, &stamp, 4);
        // A stale journal of an earlier file of this name must not be taken for this one's.
        if (!ktbRemoveStaleJournal(record->Path)
            || !ktbIoWrite(record->File, building.c_str(), header, sizeof header, 0)
            || (!record->Scratch && !ktbIoSync(record->File, building.c_str()))
            || !ktbIoRename(building.c_str(), record->Path.c_str(), false)) {
            ktbIoRemove(building.c_str());
            closeHandleRecord(record);
            return KTB_ERR_FILEEXISTS;
        }
        if (!record->Scratch && !ktbIoSyncFolder(record->Path.c_str())) {
            ktbNoteUnsynced(record->Path); // the file stands, whole; its name may not be on disk yet
        }
    } else if (!record->ReadOnly && ktbRecoverCatalog(record) != KTB_OK) {
        // What a crash left could not be rolled back; the journal stays for the next writer.
        closeHandleRecord(record);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    if (!ktbMapFile(record)) {
        if (create) {
            ktbIoRemove(path); // a creation that fails leaves no file behind
        }
        closeHandleRecord(record);
        return KTB_ERR_MAPPINGFAILED;
    }
    std::uint8_t header[KTB_HEADER_SIZE] = {};
    // A reader waits for a change under way, and reads the state before a crashed one.
    const bool headerRead = ktbReaderEnter(record) && ktbRead(record, header, KTB_HEADER_SIZE);
    ktbReaderLeave(record);
    if (!headerRead) {
        // A small file of the older format (an empty older fileset has 88 bytes) is still offered
        // for conversion.
        std::uint8_t start[sizeof KTB_OLDER_SIGNATURE] = {};
        const bool older
            = ktbGuardedCopy(start, record, 0, sizeof start) && startsWithOlderSignature(start, sizeof start);
        closeHandleRecord(record);
        return older ? KTB_ERR_WRONGVERSION : KTB_ERR_INVALIDHEADER;
    }
    if (std::memcmp(header, KTB_MAGIC, sizeof KTB_MAGIC) != 0) {
        closeHandleRecord(record);
        return startsWithOlderSignature(header, sizeof header) ? KTB_ERR_WRONGVERSION : KTB_ERR_INVALIDHEADER;
    }
    if (readU32(header + KTB_HDR_OFS_VERSION) != KTB_VERSION) {
        closeHandleRecord(record);
        return KTB_ERR_WRONGVERSION;
    }
    record->Locked = header[KTB_HDR_OFS_KEY] != 0;
    ktbStoreText(record->FileName, sizeof record->FileName, path);
    record->Position = KTB_HEADER_SIZE;
    handle = record;
    return KTB_OK;
}

} // namespace

TKTBERROR ktbOpen(TKTBHandle*& handle, const char* path, std::uint32_t flags)
{
    // A scratch catalog is private to the recording that makes it; a new catalog is as the umask allows.
    const bool scratch = (flags & KTB_OPEN_SCRATCH) != 0;
    return openCatalog(handle, path, flags, scratch ? 0600 : 0644, scratch);
}

TKTBERROR ktbCreateCatalog(TKTBHandle*& handle, const char* path, std::uint32_t flags, unsigned mode)
{
    return openCatalog(handle, path, flags | KTB_OPEN_CREATE, mode, true);
}

bool ktbClose(TKTBHandle*& handle)
{
    if (handle == nullptr) {
        return false;
    }
    closeHandleRecord(handle);
    handle = nullptr;
    return true;
}

TKTBERROR ktbTouch(TKTBHandle* handle)
{
    const TKTBERROR code = ktbCheckWritable(handle);
    if (code != KTB_OK) {
        return code;
    }
    const std::uint32_t stamp = ktbNowLocalDos();
    ktbSeek(handle, KTB_HDR_OFS_MODIFIED, 0);
    return ktbWrite(handle, &stamp, sizeof stamp) ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
}

TKTBERROR ktbGetHeaderField(TKTBHandle* handle, int field, void* buffer)
{
    const TKTBERROR code = ktbCheckHandle(handle);
    if (code != KTB_OK) {
        return code;
    }
    const std::uint32_t position = handle->Position;
    TextField text {};
    if (textField(field, text)) {
        if (field == KTB_HDR_KEY && handle->Locked) {
            return KTB_ERR_LOCKED;
        }
        char stored[KTB_NAME_MAX + 1] = {};
        if (!ktbGuardedCopy(stored, handle, text.offset, static_cast<std::uint32_t>(text.size))) {
            return KTB_ERR_FILENOTAVAILABLE;
        }
        // Delivers the text up to its first zero byte, at most the field's limit.
        const std::string_view value = ktbFieldText(stored, text.size - 1);
        std::memcpy(buffer, value.data(), value.size());
    } else if (field == KTB_HDR_CREATED || field == KTB_HDR_MODIFIED || field == KTB_HDR_VERSION) {
        const std::uint32_t offset = field == KTB_HDR_CREATED ? KTB_HDR_OFS_CREATED
            : field == KTB_HDR_MODIFIED                       ? KTB_HDR_OFS_MODIFIED
                                                              : KTB_HDR_OFS_VERSION;
        if (!ktbGuardedCopy(buffer, handle, offset, 4)) {
            return KTB_ERR_FILENOTAVAILABLE;
        }
    }
    handle->Position = position;
    return KTB_OK;
}

TKTBERROR ktbSetHeaderField(TKTBHandle* handle, int field, const void* buffer)
{
    const TKTBERROR code = ktbCheckWritable(handle);
    if (code != KTB_OK) {
        return code;
    }
    const std::uint32_t position = handle->Position;
    if (const TKTBERROR begun = ktbBeginChange(handle); begun != KTB_OK) {
        return begun;
    }
    TKTBERROR result = KTB_OK;
    bool written = true;
    TextField text {};
    if (textField(field, text)) {
        char stored[KTB_NAME_MAX + 1] = {};
        const char* value = static_cast<const char*>(buffer);
        ktbStoreText(stored, text.size, std::string_view(value, strnlen(value, UINT16_MAX)));
        ktbSeek(handle, text.offset, 0);
        written = ktbWrite(handle, stored, static_cast<std::uint32_t>(text.size));
    } else if (field == KTB_HDR_CREATED || field == KTB_HDR_MODIFIED) {
        ktbSeek(handle, field == KTB_HDR_CREATED ? KTB_HDR_OFS_CREATED : KTB_HDR_OFS_MODIFIED, 0);
        written = ktbWrite(handle, buffer, 4);
    } else if (field == KTB_HDR_VERSION) {
        result = KTB_ERR_NOTSUPPORTED;
    }
    if (field != KTB_HDR_MODIFIED) {
        written = ktbTouch(handle) == KTB_OK && written;
    }
    handle->Position = position;
    if (!ktbEndChange(handle, written) || !written) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    return result;
}

TKTBERROR ktbUnlock(TKTBHandle* handle, const char* key)
{
    const TKTBERROR code = ktbCheckHandle(handle);
    if (code != KTB_OK) {
        return code;
    }
    if (!handle->Locked) {
        return KTB_OK;
    }
    char stored[KTB_KEY_MAX + 1] = {};
    if (!ktbGuardedCopy(stored, handle, KTB_HDR_OFS_KEY, KTB_KEY_MAX + 1)) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    const std::string_view storedKey = ktbFieldText(stored, KTB_KEY_MAX);
    if (key != nullptr && storedKey == std::string_view(key)) {
        handle->Locked = false;
        return KTB_OK;
    }
    return KTB_ERR_LOCKED;
}

// ---------------------------------------------------------------------------------------------
// The record stream

namespace {

enum class Parse { Ok, BadTag, Truncated };

/// Where one record's parts lie in the view.
struct RecordInfo {
    std::uint8_t tag = 0;
    std::uint32_t end = 0; ///< offset after the record
    const std::uint8_t* disc = nullptr;
    const std::uint8_t* name = nullptr;
    std::uint16_t nameLength = 0;
    std::uint32_t size = 0;
    std::uint32_t dateTime = 0;
    const std::uint8_t* comment = nullptr;
    std::uint16_t commentLength = 0;
};

inline std::uint16_t readU16(const std::uint8_t* bytes)
{
    std::uint16_t value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

/// Reads the record whose tag is at p. The caller guarantees p < size.
inline Parse parseRecord(const std::uint8_t* view, std::uint32_t size, std::uint32_t p, RecordInfo& record)
{
    const std::uint64_t limit = size;
    std::uint64_t at = static_cast<std::uint64_t>(p) + 1;
    record.tag = view[p];
    switch (record.tag) {
    case KTB_TAG_DISC:
        if (at + sizeof(TKTBDisc) > limit) {
            return Parse::Truncated;
        }
        record.disc = view + at;
        at += sizeof(TKTBDisc);
        break;
    case KTB_TAG_FOLDER:
        if (at + 2 > limit) {
            return Parse::Truncated;
        }
        record.nameLength = readU16(view + at);
        record.name = view + at + 2;
        at += 2 + record.nameLength;
        if (at > limit) {
            return Parse::Truncated;
        }
        break;
    case KTB_TAG_FILE:
        if (at + 2 > limit) {
            return Parse::Truncated;
        }
        record.nameLength = readU16(view + at);
        record.name = view + at + 2;
        at += 2 + record.nameLength;
        if (at + 10 > limit) {
            return Parse::Truncated;
        }
        record.size = readU32(view + at);
        record.dateTime = readU32(view + at + 4);
        record.commentLength = readU16(view + at + 8);
        record.comment = view + at + 10;
        at += 10 + record.commentLength;
        if (at > limit) {
            return Parse::Truncated;
        }
        break;
    case KTB_TAG_ENDFOLDER:
    case KTB_TAG_ENDDISC:
        break;
    default:
        return Parse::BadTag;
    }
    record.end = static_cast<std::uint32_t>(at);
    return Parse::Ok;
}

/// The bytes of an entity's block for a record: the entity, its data and its texts.
std::size_t entityBytes(const RecordInfo& record)
{
    std::size_t payload = 0;
    switch (record.tag) {
    case KTB_TAG_DISC:
        payload = sizeof(TKTBDisc);
        break;
    case KTB_TAG_FOLDER:
        payload = record.nameLength + 1u;
        break;
    case KTB_TAG_FILE:
        payload = sizeof(TKTBFileData) + record.nameLength + 1u + record.commentLength + 1u;
        break;
    default:
        break;
    }
    return sizeof(TKTBEntity) + payload;
}

/// Writes the entity of a record, its data and its texts into a block of entityBytes(record) bytes.
void fillEntity(TKTBEntity* entity, std::uint32_t offset, const RecordInfo& record)
{
    entity->Offset = offset;
    entity->Kind = record.tag;
    entity->Data = entityBytes(record) > sizeof(TKTBEntity) ? static_cast<void*>(entity + 1) : nullptr;
    switch (record.tag) {
    case KTB_TAG_DISC:
        std::memcpy(entity->Data, record.disc, sizeof(TKTBDisc));
        break;
    case KTB_TAG_FOLDER: {
        auto* name = static_cast<char*>(entity->Data);
        std::memcpy(name, record.name, record.nameLength);
        name[record.nameLength] = '\0';
        break;
    }
    case KTB_TAG_FILE: {
        auto* file = static_cast<TKTBFileData*>(entity->Data);
        char* texts = reinterpret_cast<char*>(file + 1);
        file->Size = record.size;
        file->DateTime = record.dateTime;
        file->NameLength = record.nameLength;
        file->CommentLength = record.commentLength;
        file->Name = texts;
        std::memcpy(texts, record.name, record.nameLength);
        texts[record.nameLength] = '\0';
        file->Comment = texts + record.nameLength + 1;
        std::memcpy(file->Comment, record.comment, record.commentLength);
        file->Comment[record.commentLength] = '\0';
        break;
    }
    default:
        break;
    }
}

/// Makes the entity of a parsed record: one allocation for the entity, its data and its texts, or
/// the spare block of an entity released before when it is large enough. Stores the block in made
/// before copying, so a fault while copying cannot lose it.
void makeEntity(std::uint32_t offset, const RecordInfo& record, TKTBEntity*& made, TKTBEntity** spare = nullptr)
{
    const std::size_t bytes = entityBytes(record);
    TKTBEntity* entity = nullptr;
    if (spare != nullptr && *spare != nullptr && ::malloc_usable_size(*spare) >= bytes) {
        entity = *spare;
        *spare = nullptr;
    } else {
        entity = static_cast<TKTBEntity*>(std::malloc(bytes));
    }
    if (entity == nullptr) {
        return;
    }
    made = entity;
    // The stores above must stay before the copies below, which a fault may leave by a long jump.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    fillEntity(entity, offset, record);
}

inline void chainPush(TKTBCursor& cursor, std::uint32_t offset)
{
    if (cursor.ChainDepth < 64) {
        cursor.Chain[cursor.ChainDepth] = offset;
    }
    ++cursor.ChainDepth;
    cursor.ChainLength = cursor.ChainDepth < 64 ? cursor.ChainDepth : 64;
}

inline void chainPop(TKTBCursor& cursor)
{
    if (cursor.ChainDepth > 0) {
        --cursor.ChainDepth;
    }
    cursor.ChainLength = cursor.ChainDepth < 64 ? cursor.ChainDepth : 64;
}

#if defined(__SSE2__)
inline __m128i anyOf(__m128i bytes, __m128i one, __m128i other)
{
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, one), _mm_cmpeq_epi8(bytes, other));
}
#endif

// Bytes one scan ahead for the pattern covers. The fuzz build makes it tiny, so that small files cross
// many window ends.
#ifndef KTB_SEARCH_WINDOW
#define KTB_SEARCH_WINDOW 16384
#endif

/// Marks a findNeedle answer that is the end of the searched window, not an occurrence.
constexpr std::uint64_t s_unsearched = 1ull << 62;

#ifndef KTB_PREFETCH
#define KTB_PREFETCH 2048
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#define KTB_WIDE_SCAN 1
/// The bytes findNeedle tests at each position: the needle's first and last byte, each in both cases.
struct NeedleEnds {
    std::uint8_t first, firstOther, last, lastOther;
};

/// findNeedle's scan 32 positions at a time, on processors with AVX2: advances at (in steps of 32,
/// while both loads stay inside the view and at is below stop) and answers the first position whose
/// first and last bytes fit and where matches says the needle lies, or UINT64_MAX.
template <typename Matches>
__attribute__((target("avx2"))) std::uint64_t scanWide(const std::uint8_t* view, std::uint32_t size, std::uint64_t& at,
    std::uint64_t stop, std::size_t n, const NeedleEnds& ends, const Matches& matches)
{
    const __m256i first = _mm256_set1_epi8(static_cast<char>(ends.first));
    const __m256i firstOther = _mm256_set1_epi8(static_cast<char>(ends.firstOther));
    const __m256i last = _mm256_set1_epi8(static_cast<char>(ends.last));
    const __m256i lastOther = _mm256_set1_epi8(static_cast<char>(ends.lastOther));
    for (; at + n - 1 + 32 <= size && at < stop; at += 32) {
        _mm_prefetch(reinterpret_cast<const char*>(view + at) + KTB_PREFETCH, _MM_HINT_T0);
        const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(view + at));
        const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(view + at + n - 1));
        const __m256i headFits = _mm256_or_si256(_mm256_cmpeq_epi8(head, first), _mm256_cmpeq_epi8(head, firstOther));
        const __m256i tailFits = _mm256_or_si256(_mm256_cmpeq_epi8(tail, last), _mm256_cmpeq_epi8(tail, lastOther));
        auto candidates = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(headFits, tailFits)));
        for (; candidates != 0; candidates &= candidates - 1) {
            const std::uint64_t candidate = at + static_cast<unsigned>(__builtin_ctz(candidates));
            if (matches(candidate)) {
                return candidate;
            }
        }
    }
    return UINT64_MAX;
}

const bool s_hasAvx2 = [] {
    __builtin_cpu_init(); // this may run before the library's own start-up code
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

/// How far the needle is known not to occur from offset from on: the offset of its next occurrence in
/// the view (ASCII letter case folded when fold; the needle is upper-cased then), or the first offset
/// not searched yet marked with s_unsearched, or UINT64_MAX when it does not occur again. One call
/// searches a few kilobytes, just ahead of the records being parsed, so the bytes are read from memory
/// once. Sixteen positions are tested at once by the needle's first and last bytes in either case,
/// then candidates are compared whole; nothing past the view is read.
std::uint64_t findNeedle(
    const std::uint8_t* view, std::uint32_t size, std::uint64_t from, const std::string& needleText, bool fold)
{
    constexpr std::uint64_t Window = KTB_SEARCH_WINDOW;
    const auto* needle = reinterpret_cast<const std::uint8_t*>(needleText.data());
    const std::size_t n = needleText.size();
    if (n == 0 || n > size) {
        return from <= size ? from : UINT64_MAX;
    }
    const std::uint64_t last = size - n; // the last offset where the needle fits
    if (from > last) {
        return UINT64_MAX;
    }
    const auto other
        = [fold](std::uint8_t c) { return (fold && c >= 'A' && c <= 'Z') ? static_cast<std::uint8_t>(c | 0x20) : c; };
    const auto matchesAt
        = [&](std::uint64_t at) { return fold ? equalFolded(view + at, needle, n) : equalBytes(view + at, needle, n); };
    std::uint64_t at = from;
    const std::uint64_t stop = last - from > Window ? from + Window : last + 1; // first offset not searched
#if defined(KTB_WIDE_SCAN)
    if (s_hasAvx2) {
        const NeedleEnds ends { needle[0], other(needle[0]), needle[n - 1], other(needle[n - 1]) };
        if (const std::uint64_t found = scanWide(view, size, at, stop, n, ends, matchesAt); found != UINT64_MAX) {
            return found;
        }
    }
#endif
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(static_cast<char>(needle[0]));
    const __m128i firstOther = _mm_set1_epi8(static_cast<char>(other(needle[0])));
    const __m128i end = _mm_set1_epi8(static_cast<char>(needle[n - 1]));
    const __m128i endOther = _mm_set1_epi8(static_cast<char>(other(needle[n - 1])));
    // Both loads, at and at + n - 1, stay inside the view.
    for (; at + n - 1 + 16 <= size && at < stop; at += 16) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(view + at));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(view + at + n - 1));
        auto candidates = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(anyOf(head, first, firstOther), anyOf(tail, end, endOther))));
        for (; candidates != 0; candidates &= candidates - 1) {
            const std::uint64_t candidate = at + static_cast<unsigned>(__builtin_ctz(candidates));
            if (matchesAt(candidate)) {
                return candidate;
            }
        }
    }
#endif
    for (; at < stop; ++at) {
        if (matchesAt(at)) {
            return at;
        }
    }
    return at > last ? UINT64_MAX : (at | s_unsearched);
}

/// The criteria's name test on a name in the view. Whatever the rule, a name that passes holds the
/// needle (of one of the encodings); the cursor remembers how far each needle is known not to occur,
/// so the names before that are passed over without testing them, at the speed of a memory scan.
inline bool nameMatches(TKTBCursor& cursor, const TKTBCursor::Matcher& matcher, const std::uint8_t* view,
    std::uint32_t size, const std::uint8_t* name, std::uint16_t length)
{
    if (matcher.mode == TKTBCursor::Matcher::All) {
        return true;
    }
    using Matcher = TKTBCursor::Matcher;
    if (matcher.needleCount == 0) {
        return matcher.test(name, length); // a Unicode pattern without an ASCII part to look for
    }
    const auto start = static_cast<std::uint64_t>(name - view);
    bool possible = false;
    for (int i = 0; i < matcher.needleCount && i < 2 && !possible; ++i) {
        const std::size_t n = matcher.needles[i].size();
        if (n > length) {
            continue;
        }
        std::uint64_t& found = cursor.NextHit[i];
        if ((found & ~s_unsearched) < start) {
            found = findNeedle(view, size, start, matcher.needles[i], matcher.fold);
        }
        const std::uint64_t hit = found & ~s_unsearched;
        possible = n == 0 || hit <= start + length - n;
        // An occurrence inside the name answers the common rules at once.
        if (possible && found == hit && !matcher.unicode
            && (matcher.mode == Matcher::Contains || (matcher.mode == Matcher::Prefix && hit == start))) {
            return true;
        }
    }
    return possible && matcher.test(name, length);
}

/// Whether a needle of the pattern occurs in [from, end) of the view; the cursor's knowledge of where
/// each needle occurs next grows as for nameMatches.
bool needleOccursBefore(TKTBCursor& cursor, const TKTBCursor::Matcher& matcher, const std::uint8_t* view,
    std::uint32_t size, std::uint64_t from, std::uint64_t end)
{
    for (int i = 0; i < matcher.needleCount && i < 2; ++i) {
        std::uint64_t& found = cursor.NextHit[i];
        if ((found & ~s_unsearched) < from) {
            found = findNeedle(view, size, from, matcher.needles[i], matcher.fold);
        }
        while (found != UINT64_MAX && (found & s_unsearched) != 0 && (found & ~s_unsearched) < end) {
            found = findNeedle(view, size, found & ~s_unsearched, matcher.needles[i], matcher.fold);
        }
        if ((found & s_unsearched) == 0 && found < end) {
            return true;
        }
    }
    return false;
}

/// The end of the disc whose record is at p when its whole run can be passed over: the run is known
/// (RunLength ends on an end-of-disc mark, before the next disc or the end of the file) and no name in
/// it can pass the name test, since no needle of the pattern occurs in it. 0 otherwise.
std::uint32_t endOfDiscWithoutMatch(TKTBCursor& cursor, const TKTBCursor::Matcher& matcher, const std::uint8_t* view,
    std::uint32_t size, std::uint32_t p, const RecordInfo& record)
{
    const std::uint64_t end = static_cast<std::uint64_t>(p) + readU32(record.disc + offsetof(TKTBDisc, RunLength));
    if (end <= record.end || end > size || view[end - 1] != KTB_TAG_ENDDISC
        || (end < size && view[end] != KTB_TAG_DISC)) {
        return 0;
    }
    return needleOccursBefore(cursor, matcher, view, size, record.end, end) ? 0 : static_cast<std::uint32_t>(end);
}

/// Names that end before this offset hold no needle of the pattern, as far as the cursor knows.
inline std::uint64_t passableBound(const TKTBCursor& cursor, const TKTBCursor::Matcher& matcher)
{
    std::uint64_t bound = UINT64_MAX;
    for (int i = 0; i < matcher.needleCount && i < 2; ++i) {
        bound = std::min(bound, (cursor.NextHit[i] & ~s_unsearched) + matcher.needles[i].size());
    }
    return bound;
}

/// The offset after the run of whole file records from p on whose names end before bound; p when the
/// first one does not.
inline std::uint32_t passFilesBefore(const std::uint8_t* view, std::uint32_t size, std::uint32_t p, std::uint64_t bound)
{
    while (static_cast<std::uint64_t>(p) + 3 <= size && view[p] == KTB_TAG_FILE) {
        const std::uint64_t nameEnd = static_cast<std::uint64_t>(p) + 3 + readU16(view + p + 1);
        if (nameEnd >= bound || nameEnd + 10 > size) {
            break;
        }
        // Files rarely carry a comment: when the branch guesses so, the next record's offset does not
        // wait for the comment's length to be read, and the loop runs at the speed of one read a record.
        std::uint64_t end = nameEnd + 10;
        if (const std::uint16_t commentLength = readU16(view + nameEnd + 8); __builtin_expect(commentLength != 0, 0)) {
            end += commentLength;
        }
        if (end > size) {
            break;
        }
        p = static_cast<std::uint32_t>(end);
    }
    return p;
}

struct ScanJob {
    TKTBCursor* cursor;
    TKTBERROR result;
    TKTBEntity* made;
    TKTBBatch* batch = nullptr; ///< ktbFindBatch: reports go here, many a call
};

/// Room for the texts of any one record: a disc record, or a name and a comment of 65,535 bytes each.
constexpr std::uint32_t s_largestRecordTexts = 2 * 65535u + sizeof(TKTBDisc);
static_assert(TKTBBatch::TextCapacity >= 2 * s_largestRecordTexts);

inline bool batchFull(const TKTBBatch& batch)
{
    return batch.Count == TKTBBatch::Capacity || TKTBBatch::TextCapacity - batch.TextsUsed < s_largestRecordTexts;
}

/// Copies a short text without a library call: names are mostly a few dozen bytes. Overlapping
/// fixed-size copies read and write nothing outside the count bytes.
inline void copyText(char* to, const std::uint8_t* from, std::size_t count)
{
    if (count > 32) {
        std::memcpy(to, from, count);
    } else if (count >= 16) {
        std::memcpy(to, from, 16);
        std::memcpy(to + count - 16, from + count - 16, 16);
    } else if (count >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + count - 8, from + count - 8, 8);
    } else if (count >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + count - 4, from + count - 4, 4);
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            to[i] = static_cast<char>(from[i]);
        }
    }
}

/// Copies a parsed record into the batch; Count grows only once the copy is whole.
inline void appendRecord(TKTBBatch& batch, std::uint32_t offset, const RecordInfo& record)
{
    TKTBRecord& out = batch.Records[batch.Count];
    out.Offset = offset;
    out.Kind = record.tag;
    out.Text = batch.TextsUsed;
    out.NameLength = 0;
    out.CommentLength = 0;
    out.Size = 0;
    out.DateTime = 0;
    char* texts = batch.Texts + batch.TextsUsed;
    switch (record.tag) {
    case KTB_TAG_DISC:
        std::memcpy(texts, record.disc, sizeof(TKTBDisc));
        batch.TextsUsed += sizeof(TKTBDisc);
        break;
    case KTB_TAG_FILE:
        out.Size = record.size;
        out.DateTime = record.dateTime;
        out.CommentLength = record.commentLength;
        copyText(texts + record.nameLength, record.comment, record.commentLength);
        [[fallthrough]];
    case KTB_TAG_FOLDER:
        out.NameLength = record.nameLength;
        copyText(texts, record.name, record.nameLength);
        batch.TextsUsed += record.nameLength + out.CommentLength;
        break;
    default:
        break;
    }
    // The copies above must be whole before the record counts; a fault may leave them by a long jump.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    ++batch.Count;
}

bool testFileNamesOf(const TCompare* criteria) { return criteria != nullptr && (criteria->Flags & KTB_CMP_NAME) != 0; }

// One step of ktbFindNext over the view, run under the fault guard: it owns nothing that needs a
// destructor. Reads records from the cursor's Position until one is to be reported, the scope
// ends, or a record is bad.
void scanNext(void* context)
{
    auto& job = *static_cast<ScanJob*>(context);
    TKTBCursor& cursor = *job.cursor;
    const std::uint8_t* view = cursor.Handle->View;
    const std::uint32_t size = cursor.Handle->Size;
    const std::uint32_t flags = cursor.Flags;
    const bool children = (flags & KTB_FIND_CHILDREN) != 0;
    const TCompare* criteria = cursor.Criteria;
    const TKTBCursor::Matcher* matcher = cursor.NameMatcher;
    const bool testFileNames = testFileNamesOf(criteria);
    // A disc none of whose names can pass the name test may be passed over whole: nothing in it is reported.
    const bool skipDiscs = (flags & KTB_FIND_SKIPDISCS) != 0 && matcher != nullptr
        && matcher->mode != TKTBCursor::Matcher::All && matcher->needleCount > 0
        && (testFileNamesOf(criteria) || (flags & KTB_FIND_NOFILES) != 0) && !children
        && (flags & KTB_FIND_ENDMARKS) == 0;
    const bool testFileOthers = criteria != nullptr
        && (criteria->Flags
               & (KTB_CMP_DATE_EQ | KTB_CMP_DATE_AFTER | KTB_CMP_DATE_BEFORE | KTB_CMP_SIZE_EQ | KTB_CMP_SIZE_GREATER
                   | KTB_CMP_SIZE_SMALLER))
            != 0;

    // File records whose names end before any needle can occur are passed over by a short loop that
    // reads only their lengths: whatever the rule, such a name cannot pass, and every walk passes over
    // a file that fails the name test. Listing a folder's children counts levels, so it keeps the long way.
    const bool passFiles = testFileNames && matcher->mode != TKTBCursor::Matcher::All && matcher->needleCount > 0
        && !children
        && std::none_of(matcher->needles, matcher->needles + std::min(matcher->needleCount, 2),
            [](const std::string& needle) { return needle.empty(); });

    std::uint32_t position = cursor.Position;
    RecordInfo record;
    while (position < size) {
        if (job.batch != nullptr && batchFull(*job.batch)) {
            // Every record before position is taken whole; the next call goes on from there.
            cursor.Position = position;
            job.result = KTB_OK;
            return;
        }
        if (passFiles && view[position] == KTB_TAG_FILE) {
            const std::uint64_t bound = passableBound(cursor, *matcher);
            const std::uint32_t from = position;
            position = passFilesBefore(view, size, position, bound);
            if (position != from) {
                cursor.Position = position;
                continue;
            }
        }
        const std::uint32_t at = position;
        if (parseRecord(view, size, at, record) != Parse::Ok) {
            ktbSetErrorDetail(at, record.tag);
            job.result = KTB_ERR_BADENTITY;
            return;
        }
        position = record.end;
        switch (record.tag) {
        case KTB_TAG_DISC: {
            cursor.Position = position;
            ++cursor.Depth;
            cursor.ChainDepth = 0;
            chainPush(cursor, at);
            if (skipDiscs) {
                if (const std::uint32_t end = endOfDiscWithoutMatch(cursor, *matcher, view, size, at, record)) {
                    // As if its records and its end mark had been read.
                    cursor.Position = end;
                    position = end;
                    --cursor.Depth;
                }
            }
            if ((flags & KTB_FIND_NODISCS) != 0) {
                continue;
            }
            ++cursor.Discs;
            if ((flags & KTB_FIND_NOFOLDERS) != 0 && (flags & KTB_FIND_NOFILES) != 0) {
                // Discs only: the next read starts at the next disc.
                const std::uint32_t runLength = readU32(record.disc + offsetof(TKTBDisc, RunLength));
                if (runLength > 0) {
                    const std::uint64_t next = static_cast<std::uint64_t>(at) + runLength;
                    cursor.Position = next < size ? static_cast<std::uint32_t>(next) : size;
                }
            }
            break;
        }
        case KTB_TAG_FOLDER:
            chainPush(cursor, at);
            if (children && cursor.Depth != 0) {
                ++cursor.Depth;
                continue;
            }
            ++cursor.Depth;
            cursor.Position = position;
            if ((flags & KTB_FIND_NOFOLDERS) != 0) {
                continue;
            }
            if (matcher != nullptr && !nameMatches(cursor, *matcher, view, size, record.name, record.nameLength)) {
                continue;
            }
            ++cursor.Folders;
            if ((flags & KTB_FIND_COUNTONLY) != 0) {
                continue;
            }
            break;
        case KTB_TAG_FILE:
            if (children && cursor.Depth > 0) {
                continue;
            }
            cursor.Position = position;
            if ((flags & KTB_FIND_NOFILES) != 0) {
                continue;
            }
            if (testFileNames && !nameMatches(cursor, *matcher, view, size, record.name, record.nameLength)) {
                continue;
            }
            if (testFileOthers && !fileDateAndSizePass(record.size, record.dateTime, *criteria)) {
                continue;
            }
            ++cursor.Files;
            cursor.Bytes += record.size;
            if ((flags & KTB_FIND_COUNTONLY) != 0) {
                continue;
            }
            break;
        case KTB_TAG_ENDFOLDER:
            if (cursor.Depth == 0) {
                // Only the folder a listing started at ends the scope this way; at a disc's top level
                // the mark closes nothing, and a walk that took it for the end would lose the rest.
                if (cursor.ChainDepth != 1 || view[cursor.Chain[0]] != KTB_TAG_FOLDER) {
                    ktbSetErrorDetail(at, record.tag);
                    job.result = KTB_ERR_BADENTITY;
                    return;
                }
                cursor.Position = position;
                chainPop(cursor);
                return; // the scope is finished
            }
            cursor.Position = position;
            chainPop(cursor);
            --cursor.Depth;
            if ((flags & KTB_FIND_NOFOLDERS) != 0 || (flags & KTB_FIND_ENDMARKS) == 0) {
                continue;
            }
            break;
        case KTB_TAG_ENDDISC:
            if (cursor.Depth < 0) {
                // A mark that ends no disc: what stood before it was no disc's run.
                ktbSetErrorDetail(at, record.tag);
                job.result = KTB_ERR_BADENTITY;
                return;
            }
            cursor.Position = position;
            if (children && cursor.Depth == 0) {
                return; // the scope is finished
            }
            --cursor.Depth;
            if ((flags & KTB_FIND_ENDMARKS) == 0 || (flags & KTB_FIND_NODISCS) != 0) {
                continue;
            }
            break;
        default:
            break;
        }
        if (job.batch != nullptr) {
            appendRecord(*job.batch, at, record);
            continue;
        }
        makeEntity(at, record, job.made, &cursor.Spare);
        job.result = job.made != nullptr ? KTB_OK : KTB_ERR_BADHANDLE;
        return;
    }
}

} // namespace

TKTBCursor* ktbFindFirst(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, TCompare* criteria)
{
    if (ktbCheckHandle(handle) != KTB_OK) {
        return nullptr;
    }
    // A reader's walk holds the shared lock to its end, so no change begins under it.
    if (!ktbReaderEnter(handle)) {
        ktbReaderLeave(handle);
        ktbSetLastError(KTB_ERR_FILENOTAVAILABLE);
        return nullptr;
    }
    if (start < KTB_HEADER_SIZE) {
        start = KTB_HEADER_SIZE;
    } else if (start >= handle->Size) {
        ktbReaderLeave(handle);
        return nullptr;
    }
    auto* cursor = new (std::nothrow) TKTBCursor {};
    if (cursor == nullptr) {
        ktbReaderLeave(handle);
        ktbSetLastError(KTB_ERR_BADHANDLE);
        return nullptr;
    }
    cursor->ReaderHeld = true;
    cursor->Handle = handle;
    cursor->Flags = flags;
    cursor->Position = start;
    cursor->Depth = -1;
    cursor->Criteria = criteria;
    if (criteria != nullptr) {
        upperCriteria(*criteria);
        cursor->NameMatcher = new TKTBCursor::Matcher;
        cursor->NameMatcher->prepare(criteria->Name, criteria->Flags);
    }
    if (ktbFindNext(cursor) != KTB_OK) {
        ktbFindClose(cursor);
        return nullptr;
    }
    return cursor;
}

TKTBCursor* ktbFindFirstAll(TKTBHandle* handle, std::uint32_t flags)
{
    return ktbFindFirst(handle, flags, KTB_HEADER_SIZE, nullptr);
}

TKTBERROR ktbFindNext(TKTBCursor* cursor)
{
    ktbSetLastError(KTB_NOENTITIES);
    if (cursor == nullptr) {
        ktbSetLastError(KTB_ERR_BADHANDLE);
        return KTB_ERR_BADHANDLE;
    }
    if ((cursor->Flags & KTB_FIND_KEEP) == 0 && cursor->Current != nullptr) {
        // The released entity's block serves the next report: a walk does not allocate per record.
        std::free(cursor->Spare);
        cursor->Spare = cursor->Current;
    }
    cursor->Current = nullptr;
    const TKTBERROR check = ktbCheckHandle(cursor->Handle);
    if (check != KTB_OK) {
        return check;
    }
    ScanJob job { cursor, KTB_NOENTITIES, nullptr };
    if (!ktbGuarded(scanNext, &job)) {
        // The file was shortened under the mapping by someone else.
        ktbFreeEntity(job.made);
        job.result = KTB_ERR_FILENOTAVAILABLE;
    } else if (job.result == KTB_NOENTITIES && !ktbReaderUnchanged(cursor->Handle)) {
        job.result = KTB_ERR_FILENOTAVAILABLE; // the file changed under a walk that could hold no lock
    }
    ktbSetLastError(job.result);
    if (job.result == KTB_OK) {
        cursor->Current = job.made;
    }
    return job.result;
}

TKTBERROR ktbFindBatch(TKTBCursor* cursor, TKTBBatch& batch)
{
    batch.Count = 0;
    batch.TextsUsed = 0;
    ktbSetLastError(KTB_NOENTITIES);
    if (cursor == nullptr) {
        ktbSetLastError(KTB_ERR_BADHANDLE);
        return KTB_ERR_BADHANDLE;
    }
    if ((cursor->Flags & KTB_FIND_KEEP) == 0) {
        ktbFreeEntity(cursor->Current);
    }
    cursor->Current = nullptr;
    const TKTBERROR check = ktbCheckHandle(cursor->Handle);
    if (check != KTB_OK) {
        return check;
    }
    ScanJob job { cursor, KTB_NOENTITIES, nullptr, &batch };
    if (!ktbGuarded(scanNext, &job)) {
        // The file was shortened under the mapping by someone else; the records copied whole stay.
        job.result = KTB_ERR_FILENOTAVAILABLE;
    } else if (job.result == KTB_NOENTITIES && !ktbReaderUnchanged(cursor->Handle)) {
        job.result = KTB_ERR_FILENOTAVAILABLE;
    }
    ktbSetLastError(job.result);
    return job.result;
}

void ktbFindClose(TKTBCursor*& cursor)
{
    if (cursor == nullptr) {
        return;
    }
    if ((cursor->Flags & KTB_FIND_KEEP) == 0) {
        ktbFreeEntity(cursor->Current);
    }
    std::free(cursor->Spare);
    delete cursor->NameMatcher;
    if (cursor->ReaderHeld) {
        ktbReaderLeave(cursor->Handle);
    }
    delete cursor;
    cursor = nullptr;
}

namespace {

struct ReadJob {
    const TKTBHandle* handle;
    std::uint32_t offset;
    Parse parse;
    std::uint8_t tag;
    TKTBEntity* made;
};

void readRecord(void* context)
{
    auto& job = *static_cast<ReadJob*>(context);
    RecordInfo record;
    job.parse = parseRecord(job.handle->View, job.handle->Size, job.offset, record);
    job.tag = record.tag;
    if (job.parse == Parse::Ok) {
        makeEntity(job.offset, record, job.made);
    }
}

} // namespace

namespace {

/// The record of a folder or file that holds these values, as a walk reads it.
RecordInfo recordOf(std::uint8_t kind, const char* name, std::uint16_t nameLength, std::uint32_t size,
    std::uint32_t dateTime, const char* comment, std::uint16_t commentLength)
{
    static const std::uint8_t none = 0;
    RecordInfo record;
    record.tag = kind;
    record.name = name != nullptr ? reinterpret_cast<const std::uint8_t*>(name) : &none;
    record.nameLength = name != nullptr ? nameLength : 0;
    if (kind == KTB_TAG_FILE) {
        record.size = size;
        record.dateTime = dateTime;
        record.comment = comment != nullptr ? reinterpret_cast<const std::uint8_t*>(comment) : &none;
        record.commentLength = comment != nullptr ? commentLength : 0;
    }
    return record;
}

} // namespace

std::size_t ktbEntityBytes(std::uint8_t kind, std::uint16_t nameLength, std::uint16_t commentLength)
{
    if (kind != KTB_TAG_FOLDER && kind != KTB_TAG_FILE) {
        return 0;
    }
    return entityBytes(recordOf(kind, "", nameLength, 0, 0, "", commentLength));
}

TKTBEntity* ktbPlaceEntity(void* memory, std::uint32_t offset, std::uint8_t kind, const char* name,
    std::uint16_t nameLength, std::uint32_t size, std::uint32_t dateTime, const char* comment,
    std::uint16_t commentLength)
{
    if (memory == nullptr || (kind != KTB_TAG_FOLDER && kind != KTB_TAG_FILE)) {
        return nullptr;
    }
    auto* entity = static_cast<TKTBEntity*>(memory);
    fillEntity(entity, offset, recordOf(kind, name, nameLength, size, dateTime, comment, commentLength));
    return entity;
}

TKTBERROR ktbReadEntity(TKTBHandle* handle, std::uint32_t offset, TKTBEntity*& entity)
{
    entity = nullptr;
    if (handle == nullptr || handle->View == nullptr) {
        return KTB_ERR_BADHANDLE;
    }
    if (offset >= handle->Size) {
        return KTB_ERR_BADENTITY;
    }
    ReadJob job { handle, offset, Parse::Ok, 0, nullptr };
    if (!ktbGuarded(readRecord, &job)) {
        ktbFreeEntity(job.made);
        ktbSetLastError(KTB_ERR_BADENTITY);
        return KTB_ERR_BADENTITY;
    }
    if (job.parse != Parse::Ok || job.made == nullptr) {
        ktbSetLastError(KTB_ERR_BADENTITY);
        return KTB_ERR_BADENTITY;
    }
    entity = job.made;
    return KTB_OK;
}

namespace {

struct RunJob {
    const TKTBHandle* handle;
    std::uint32_t offset;
    std::uint32_t runLength;
    bool whole;
};

void checkRun(void* context)
{
    auto& job = *static_cast<RunJob*>(context);
    const std::uint32_t end = job.offset + job.runLength;
    RecordInfo record;
    if (parseRecord(job.handle->View, end, job.offset, record) != Parse::Ok || record.tag != KTB_TAG_DISC) {
        return;
    }
    std::int64_t depth = 0;
    for (std::uint32_t at = record.end; at < end; at = record.end) {
        if (parseRecord(job.handle->View, end, at, record) != Parse::Ok) {
            return;
        }
        switch (record.tag) {
        case KTB_TAG_FOLDER:
            ++depth;
            break;
        case KTB_TAG_ENDFOLDER:
            if (--depth < 0) {
                return;
            }
            break;
        case KTB_TAG_FILE:
            break;
        case KTB_TAG_ENDDISC:
            job.whole = depth == 0 && record.end == end;
            return;
        default:
            return;
        }
    }
}

} // namespace

bool ktbRunIsWhole(const TKTBHandle* handle, std::uint32_t offset, std::uint32_t runLength)
{
    if (ktbCheckHandle(handle) != KTB_OK || runLength == 0 || offset < KTB_HEADER_SIZE
        || static_cast<std::uint64_t>(offset) + runLength > handle->Size) {
        return false;
    }
    RunJob job { handle, offset, runLength, false };
    return ktbGuarded(checkRun, &job) && job.whole;
}
