#include "engine/ktb_discs.h"

#include "engine/DirTravel.h"
#include "engine/ktb_io.h"
#include "engine/ktb_journal.h"
#include "platform/drivelayer.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr std::int64_t s_capacity650 = 681574400;
constexpr std::int64_t s_capacity680 = 713031680;
constexpr std::int64_t s_capacity700 = 734003200;

thread_local std::string t_walkFailure;
thread_local std::string t_walkProblem;
thread_local bool t_walkFoundNothing = false;

bool walkFailed(const std::string& path, std::string problem)
{
    t_walkFailure = path;
    t_walkProblem = std::move(problem);
    return false;
}

std::uint32_t reverseBytes(std::uint32_t value) { return __builtin_bswap32(value); }

// Walks one listing; path is the walk path of the folder listed ("D:\Music\").
bool walkListing(DriveFolderListing& listing, std::string& path, const std::string& mask, TKTBWalkCallback callback,
    void* userData, std::size_t* entries = nullptr)
{
    TKTBDirEntry entry {};
    while (listing.next(entry)) {
        const std::string name(entry.Name, strnlen(entry.Name, sizeof entry.Name));
        if (name == "." || name == ".." || !ktbMaskMatches(mask, name)) {
            continue;
        }
        if (entries != nullptr) {
            ++*entries;
        }
        if ((entry.Attributes & KTB_ATTR_DIRECTORY) == 0) {
            if (!callback(KTB_WALK_FILE, path.c_str(), &entry, userData)) {
                return false;
            }
            continue;
        }
        if (!callback(KTB_WALK_FOLDER, path.c_str(), &entry, userData)) {
            return false;
        }
        const std::size_t parentLength = path.size();
        path += name;
        path += '\\';
        std::unique_ptr<DriveFolderListing> sub = listing.openSubfolder(entry);
        if (sub == nullptr) {
            walkFailed(path, listing.problem());
            path.resize(parentLength);
            return false;
        }
        const bool finished = walkListing(*sub, path, mask, callback, userData);
        path.resize(parentLength);
        if (!finished || !callback(KTB_WALK_ENDFOLDER, path.c_str(), &entry, userData)) {
            return false;
        }
    }
    // A listing that ends at damage would record the folder cut short, as if it were whole.
    return !listing.failed() || walkFailed(path, listing.problem());
}

/// What a recording keeps while the walk runs.
struct RecordingState {
    TKTBAppender* appender;
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t bytes = 0;
    TKTBWalkCallback callback;
    void* userData;
};

// Writes first, then asks the caller whether to go on.
bool recordEntry(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* userData)
{
    auto& state = *static_cast<RecordingState*>(userData);
    TKTBAppender& out = *state.appender;
    const std::string_view name(entry->Name, strnlen(entry->Name, sizeof entry->Name));
    switch (kind) {
    case KTB_WALK_FOLDER:
        out.appendByte(KTB_TAG_FOLDER);
        out.appendString(name);
        ++state.folders;
        break;
    case KTB_WALK_FILE: {
        const auto size = static_cast<std::uint32_t>(entry->Size);
        const std::uint32_t dateTime = ktbUnixToLocalDos(entry->LastWriteTime);
        const std::uint16_t noComment = 0;
        out.appendByte(KTB_TAG_FILE);
        out.appendString(name);
        out.append(&size, sizeof size);
        out.append(&dateTime, sizeof dateTime);
        out.append(&noComment, sizeof noComment);
        ++state.files;
        state.bytes += size;
        break;
    }
    case KTB_WALK_ENDFOLDER:
        out.appendByte(KTB_TAG_ENDFOLDER);
        break;
    default:
        break;
    }
    if (!out.ok()) {
        return false;
    }
    return state.callback == nullptr || state.callback(kind, path, entry, state.userData);
}

TKTBERROR readDiscEntity(TKTBHandle* handle, std::uint32_t offset, TKTBDisc& disc)
{
    TKTBEntity* entity = nullptr;
    const TKTBERROR code = ktbReadEntity(handle, offset, entity);
    if (code != KTB_OK) {
        return code;
    }
    const bool isDisc = entity->Kind == KTB_TAG_DISC;
    if (isDisc) {
        std::memcpy(&disc, entity->Data, sizeof disc);
    }
    ktbFreeEntity(entity);
    return isDisc ? KTB_OK : KTB_ERR_DISCNOTEXISTS;
}

} // namespace

std::string ktbLastWalkFailure() { return t_walkFailure; }

std::string ktbLastWalkProblem() { return t_walkProblem; }

bool ktbLastWalkFoundNothing() { return t_walkFoundNothing; }

bool ktbDiscFromDrive(char drive, TKTBDisc& disc)
{
    VolumeFacts facts;
    Drive* source = driveTable().drive(drive);
    if (source != nullptr) {
        source->volumeFacts(facts);
    }
    disc.Used = facts.TotalBytes;
    // The NT family reports the serial with its bytes in the other order; catalogs store it reversed.
    disc.Serial = reverseBytes(facts.NtSerial);
    if (disc.Serial == 0) {
        return false;
    }
    ktbStoreText(disc.Title, sizeof disc.Title, facts.Label);
    std::memset(disc.Comment, 0, sizeof disc.Comment);
    disc.ScanTime = 0;
    disc.Capacity = ktbRoundCapacity(disc.Used);
    disc.Files = 0;
    disc.RunLength = 0;
    return true;
}

std::int64_t ktbRoundCapacity(std::int64_t bytes)
{
    if (bytes < s_capacity650) {
        return s_capacity650;
    }
    if (bytes < s_capacity680) {
        return s_capacity680;
    }
    if (bytes < s_capacity700) {
        return s_capacity700;
    }
    return bytes;
}

bool ktbWalkFolder(const char* path, const char* mask, TKTBWalkCallback callback, void* userData)
{
    t_walkFailure.clear();
    t_walkProblem.clear();
    t_walkFoundNothing = false;
    char letter = 0;
    std::string relative;
    if (path == nullptr || callback == nullptr || !splitDrivePath(path, letter, relative)) {
        return walkFailed(path != nullptr ? path : "", {});
    }
    Drive* drive = driveTable().drive(letter);
    if (drive == nullptr) {
        return walkFailed(path, {});
    }
    return ktbWalkDriveFolder(*drive, relative, path, mask, callback, userData);
}

bool ktbWalkDriveFolder(Drive& drive, const std::string& relativePath, const std::string& walkPath, const char* mask,
    TKTBWalkCallback callback, void* userData)
{
    t_walkFailure.clear();
    t_walkProblem.clear();
    t_walkFoundNothing = false;
    if (callback == nullptr) {
        return walkFailed(walkPath, {});
    }
    std::unique_ptr<DriveFolderListing> listing = drive.openFolder(relativePath);
    if (listing == nullptr) {
        return walkFailed(walkPath, {});
    }
    std::string path = walkPath;
    std::size_t entries = 0;
    if (!walkListing(*listing, path, mask != nullptr ? mask : "*.*", callback, userData, &entries)) {
        return false;
    }
    // A drive's top folder has no "." and ".." entries, so a medium with nothing on it cannot even be
    // listed: such a walk fails, as on the platform of origin (a folder below the top is merely empty).
    if (entries == 0 && relativePath.empty()) {
        t_walkFoundNothing = true;
        return walkFailed(walkPath, {});
    }
    return true;
}

TKTBERROR ktbRecordDrive(TKTBHandle* handle, char drive, TKTBDisc disc, void* userData, TKTBWalkCallback callback)
{
    const TKTBERROR check = ktbCheckHandle(handle);
    if (check != KTB_OK) {
        return check;
    }
    const TKTBERROR touch = ktbTouch(handle);
    if (touch != KTB_OK) {
        return touch;
    }
    TKTBEntity* existing = nullptr;
    if (ktbFindDiscBySerial(handle, disc.Serial, existing)) {
        ktbFreeEntity(existing);
        return KTB_ERR_DISCEXISTS;
    }
    // The whole recording is one change: a failure or a crash takes the file back to its former end.
    if (const TKTBERROR begun = ktbBeginChange(handle); begun != KTB_OK) {
        return begun;
    }
    // The new disc's bytes are gathered in memory and the file grows once per flush; the bytes of the
    // file afterwards are those of a record-by-record write.
    TKTBAppender out(handle);
    const std::uint64_t start = out.position();
    out.appendByte(KTB_TAG_DISC);
    out.append(&disc, sizeof disc);

    RecordingState state { &out, 0, 0, 0, callback, userData };
    TKTBERROR result = KTB_OK;
    if (disc.Serial != 0) {
        result = KTB_ERR_INTERRUPTED;
        const char root[4] = { drive, ':', '\\', '\0' };
        if (ktbWalkFolder(root, "*.*", recordEntry, &state)) {
            result = KTB_OK;
        }
    }
    out.appendByte(KTB_TAG_ENDDISC);
    disc.Files = static_cast<std::uint32_t>(state.files);
    disc.Folders = static_cast<std::uint32_t>(state.folders);
    if (static_cast<std::int64_t>(state.bytes) > disc.Used) {
        disc.Used = static_cast<std::int64_t>(state.bytes);
    }
    disc.Capacity = ktbRoundCapacity(disc.Used);
    disc.RunLength = static_cast<std::uint32_t>(out.position() - start);
    const bool written = out.patch(start + 1, &disc, sizeof disc) && out.flush();
    if (!ktbEndChange(handle, written) || !written) {
        return KTB_ERR_MAPPINGFAILED;
    }
    ktbSeek(handle, static_cast<std::int64_t>(start + 1 + sizeof disc), 0);
    return result;
}

bool ktbFindDiscBySerial(TKTBHandle* handle, std::uint32_t serial, TKTBEntity*& entity)
{
    entity = nullptr;
    if (serial == 0) {
        return false;
    }
    TKTBCursor* cursor
        = ktbFindFirst(handle, KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES | KTB_FIND_KEEP, KTB_HEADER_SIZE, nullptr);
    bool found = false;
    while (cursor != nullptr) {
        TKTBEntity* current = cursor->Current;
        cursor->Current = nullptr;
        if (current != nullptr && current->disc() != nullptr && current->disc()->Serial == serial) {
            entity = current;
            found = true;
            break;
        }
        ktbFreeEntity(current);
        if (ktbFindNext(cursor) != KTB_OK) {
            break;
        }
    }
    ktbFindClose(cursor);
    return found;
}

bool ktbReadDisc(TKTBHandle* handle, std::uint32_t offset, TKTBDisc& disc)
{
    TKTBDisc read {};
    if (readDiscEntity(handle, offset, read) != KTB_OK) {
        return false;
    }
    disc = read;
    return true;
}

TKTBERROR ktbGetDiscSerial(TKTBHandle* handle, std::uint32_t offset, std::uint32_t& serial)
{
    TKTBDisc disc {};
    if (readDiscEntity(handle, offset, disc) != KTB_OK) {
        return KTB_ERR_BADENTITY;
    }
    serial = disc.Serial;
    return KTB_OK;
}

TKTBERROR ktbUpdateDisc(TKTBHandle* handle, std::uint32_t offset, const TKTBDisc& disc, std::uint32_t mask)
{
    const TKTBERROR check = ktbCheckHandle(handle);
    if (check != KTB_OK) {
        return check;
    }
    const std::uint32_t position = ktbPosition(handle);
    if (const TKTBERROR writable = ktbCheckWritable(handle); writable != KTB_OK) {
        return writable;
    }
    if (const TKTBERROR begun = ktbBeginChange(handle, { { offset + 1, sizeof(TKTBDisc) } }); begun != KTB_OK) {
        return begun;
    }
    const TKTBERROR touch = ktbTouch(handle);
    TKTBDisc stored {};
    const TKTBERROR read = touch != KTB_OK ? touch : readDiscEntity(handle, offset, stored);
    if (read != KTB_OK) {
        ktbSeek(handle, position, 0);
        return ktbEndChange(handle, touch == KTB_OK) ? read : KTB_ERR_FILENOTAVAILABLE;
    }
    if ((mask & KTB_DISC_TITLE) != 0) {
        std::memcpy(stored.Title, disc.Title, sizeof stored.Title);
    }
    if ((mask & KTB_DISC_COMMENT) != 0) {
        std::memcpy(stored.Comment, disc.Comment, sizeof stored.Comment);
    }
    if ((mask & KTB_DISC_SCANTIME) != 0) {
        stored.ScanTime = disc.ScanTime;
    }
    if ((mask & KTB_DISC_USED) != 0) {
        stored.Used = disc.Used;
    }
    if ((mask & KTB_DISC_CAPACITY) != 0) {
        stored.Capacity = disc.Capacity;
    }
    if ((mask & KTB_DISC_FILES) != 0) {
        stored.Files = disc.Files;
    }
    if ((mask & KTB_DISC_FOLDERS) != 0) {
        stored.Folders = disc.Folders;
    }
    if ((mask & KTB_DISC_FLAGS) != 0) {
        stored.Flags = disc.Flags;
    }
    ktbSeek(handle, static_cast<std::int64_t>(offset) + 1, 0);
    const bool written = ktbWrite(handle, &stored, sizeof stored);
    ktbSeek(handle, position, 0);
    return ktbEndChange(handle, written) && written ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
}

TKTBERROR ktbDeleteDisc(TKTBHandle* handle, std::uint32_t offset)
{
    const TKTBERROR check = ktbCheckWritable(handle);
    if (check != KTB_OK) {
        return check;
    }
    TKTBDisc disc {};
    if (readDiscEntity(handle, offset, disc) != KTB_OK) {
        ktbSetLastError(KTB_ERR_DISCNOTEXISTS);
        return KTB_ERR_DISCNOTEXISTS;
    }
    // A run length that does not lead to the disc's own end mark would cut away the wrong bytes.
    if (!ktbRunIsWhole(handle, offset, disc.RunLength)) {
        ktbSetLastError(KTB_ERR_BADENTITY);
        ktbSetErrorDetail(offset, KTB_TAG_DISC);
        return KTB_ERR_BADENTITY;
    }
    if (const TKTBERROR begun = ktbBeginChange(handle, { { offset, ktbFileSize(handle) - offset } }); begun != KTB_OK) {
        return begun;
    }
    const bool cut = ktbTouch(handle) == KTB_OK && ktbCutBytes(handle, disc.RunLength, offset);
    return ktbEndChange(handle, cut) && cut ? KTB_OK : KTB_ERR_FILENOTAVAILABLE;
}

TKTBERROR ktbCopyDisc(TKTBHandle* source, TKTBHandle* destination, std::uint32_t offset, std::uint32_t& newOffset)
{
    newOffset = 0;
    if (offset < KTB_HEADER_SIZE) {
        offset = KTB_HEADER_SIZE;
    }
    TKTBERROR code = ktbCheckHandle(source);
    if (code != KTB_OK) {
        return code;
    }
    code = ktbCheckHandle(destination);
    if (code != KTB_OK) {
        return code;
    }
    code = ktbCheckWritable(destination);
    if (code != KTB_OK) {
        return code;
    }
    std::uint32_t serial = 0;
    if (ktbGetDiscSerial(source, offset, serial) != KTB_OK) {
        return KTB_ERR_BADENTITY;
    }
    TKTBEntity* existing = nullptr;
    if (ktbFindDiscBySerial(destination, serial, existing)) {
        ktbFreeEntity(existing);
        return KTB_ERR_DISCEXISTS;
    }
    TKTBDisc disc {};
    ktbReadDisc(source, offset, disc);
    // A run that does not end on its end-of-disc mark would carry damage into the destination. As for
    // a delete, the detail names the disc.
    if (!ktbRunIsWhole(source, offset, disc.RunLength)) {
        ktbSetLastError(KTB_ERR_BADENTITY);
        ktbSetErrorDetail(offset, KTB_TAG_DISC);
        return KTB_ERR_BADENTITY;
    }
    std::vector<std::uint8_t> run(disc.RunLength);
    if (!ktbGuardedCopy(run.data(), source, offset, disc.RunLength)) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    const std::uint32_t end = ktbFileSize(destination);
    if (static_cast<std::uint64_t>(end) + run.size() > UINT32_MAX) {
        return KTB_ERR_MAPPINGFAILED;
    }
    if (const TKTBERROR begun = ktbBeginChange(destination); begun != KTB_OK) {
        return begun;
    }
    bool written = ktbTouch(destination) == KTB_OK;
    ktbSeek(destination, 0, 2);
    written = written && ktbWrite(destination, run.data(), static_cast<std::uint32_t>(run.size()));
    if (!ktbEndChange(destination, written) || !written) {
        return KTB_ERR_MAPPINGFAILED;
    }
    newOffset = end;
    return KTB_OK;
}

namespace {

/// The run length of the whole disc at offset, or 0.
std::uint32_t wholeRunAt(const TKTBHandle* handle, std::uint32_t offset)
{
    std::uint8_t record[1 + sizeof(TKTBDisc)] = {};
    if (!ktbGuardedCopy(record, handle, offset, sizeof record) || record[0] != KTB_TAG_DISC) {
        return 0;
    }
    std::uint32_t runLength = 0;
    std::memcpy(&runLength, record + 1 + offsetof(TKTBDisc, RunLength), sizeof runLength);
    return ktbRunIsWhole(handle, offset, runLength) ? runLength : 0;
}

} // namespace

TKTBERROR ktbSalvageCatalog(
    TKTBHandle* source, const char* newPath, std::vector<TKTBRange>& leftOut, std::uint32_t& discs)
{
    leftOut.clear();
    discs = 0;
    if (const TKTBERROR check = ktbCheckHandle(source); check != KTB_OK) {
        return check;
    }
    // What is saved of the catalog is no more open to others than the catalog.
    struct stat status { };
    const unsigned mode = ::fstat(source->File, &status) == 0 ? static_cast<unsigned>(status.st_mode & 0777) : 0600;
    TKTBHandle* out = nullptr;
    if (const TKTBERROR created = ktbCreateStaged(out, newPath, mode); created != KTB_OK) {
        return created;
    }
    std::vector<std::uint8_t> bytes(KTB_HEADER_SIZE);
    bool written = ktbGuardedCopy(bytes.data(), source, 0, KTB_HEADER_SIZE) && ktbSeek(out, 0, 0)
        && ktbWrite(out, bytes.data(), KTB_HEADER_SIZE);
    const std::uint32_t size = ktbFileSize(source);
    std::uint32_t gap = 0; // where the bytes being left out began; 0: none
    for (std::uint32_t at = KTB_HEADER_SIZE; written && at < size;) {
        const std::uint32_t run = wholeRunAt(source, at);
        if (run == 0) {
            gap = gap == 0 ? at : gap;
            ++at;
            continue;
        }
        if (gap != 0) {
            leftOut.push_back({ gap, at - gap });
            gap = 0;
        }
        bytes.resize(run);
        written
            = ktbGuardedCopy(bytes.data(), source, at, run) && ktbSeek(out, 0, 2) && ktbWrite(out, bytes.data(), run);
        ++discs;
        at += run;
    }
    if (gap != 0) {
        leftOut.push_back({ gap, size - gap });
    }
    return ktbFinishStaged(out, newPath, written);
}
