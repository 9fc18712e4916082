#pragma once
// Types, constants and result codes shared by every operation of the catalog engine.
// The engine is plain C++ with no Qt; every operation answers a result code and never throws.

#include "platform/direntry.h"

#include <cstddef>
#include <cstdint>
#include <string>

static_assert(sizeof(void*) == 8, "the catalog engine is built for 64-bit targets");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "catalog records are stored little-endian as in memory");

/// Result code of every engine operation; its value names are its printable texts.
enum TKTBERROR : std::uint8_t {
    KTB_OK = 0,
    KTB_ERR_BADHANDLE = 1,
    KTB_ERR_FILENOTAVAILABLE = 2,
    KTB_ERR_MAPPINGFAILED = 3,
    KTB_ERR_INVALIDHEADER = 4,
    KTB_ERR_WRONGVERSION = 5,
    KTB_ERR_FILEEXISTS = 6,
    KTB_ERR_DISCEXISTS = 7,
    KTB_ERR_DISCNOTEXISTS = 8,
    KTB_NOENTITIES = 9,
    KTB_ERR_BADENTITY = 10,
    KTB_ERR_LOCKED = 11,
    KTB_ERR_INTERRUPTED = 12,
    KTB_ERR_NOTSUPPORTED = 13,
};
constexpr int KTB_ERROR_COUNT = 14;

// Record tags of the body of a catalog file. Every other value is invalid.
constexpr std::uint8_t KTB_TAG_DISC = 2;
constexpr std::uint8_t KTB_TAG_FOLDER = 3;
constexpr std::uint8_t KTB_TAG_FILE = 4;
constexpr std::uint8_t KTB_TAG_ENDFOLDER = 5;
constexpr std::uint8_t KTB_TAG_ENDDISC = 6;

// Header layout.
constexpr char KTB_MAGIC[4] = { 'K', 'T', 'B', '!' };
constexpr std::uint32_t KTB_VERSION = 0x00050000;
constexpr std::uint32_t KTB_HEADER_SIZE = 256;
constexpr char KTB_OLDER_SIGNATURE[] = "Katalox Data Set";

constexpr std::uint32_t KTB_HDR_OFS_MAGIC = 0;
constexpr std::uint32_t KTB_HDR_OFS_VERSION = 4;
constexpr std::uint32_t KTB_HDR_OFS_RESERVED = 8;
constexpr std::uint32_t KTB_HDR_OFS_CREATED = 12;
constexpr std::uint32_t KTB_HDR_OFS_MODIFIED = 16;
constexpr std::uint32_t KTB_HDR_OFS_OWNER = 20;
constexpr std::uint32_t KTB_HDR_OFS_NAME = 84;
constexpr std::uint32_t KTB_HDR_OFS_KEY = 212;

// Longest texts the header and disc fields keep (each field is one byte longer for the zero byte).
constexpr std::size_t KTB_OWNER_MAX = 63;
constexpr std::size_t KTB_NAME_MAX = 127;
constexpr std::size_t KTB_KEY_MAX = 43;
constexpr std::size_t KTB_TITLE_MAX = 63;
constexpr std::size_t KTB_COMMENT_MAX = 59;

// Header field ids of ktbGetHeaderField / ktbSetHeaderField.
constexpr int KTB_HDR_OWNER = 0;
constexpr int KTB_HDR_CREATED = 1;
constexpr int KTB_HDR_NAME = 2;
constexpr int KTB_HDR_VERSION = 3;
constexpr int KTB_HDR_KEY = 4;
constexpr int KTB_HDR_MODIFIED = 5;

// Flags of ktbOpen.
constexpr std::uint32_t KTB_OPEN_CREATE = 1;
/// Opens an existing file read-only, without the writer's lock, for plain readers; every changing
/// operation on such a handle answers KTB_ERR_LOCKED.
constexpr std::uint32_t KTB_OPEN_READONLY = 2;
/// With KTB_OPEN_CREATE: a scratch catalog that is thrown away after use (a recording's). Its changes
/// are neither journaled nor synced; a failed one is still cut back to the size before it.
constexpr std::uint32_t KTB_OPEN_SCRATCH = 4;

// Iteration flags of ktbFindFirst.
constexpr std::uint32_t KTB_FIND_NODISCS = 1;
constexpr std::uint32_t KTB_FIND_NOFOLDERS = 2;
constexpr std::uint32_t KTB_FIND_NOFILES = 4;
constexpr std::uint32_t KTB_FIND_CHILDREN = 8;
constexpr std::uint32_t KTB_FIND_KEEP = 32;
constexpr std::uint32_t KTB_FIND_ENDMARKS = 64;
/// Folders and files that pass the tests are counted (Folders, Files, Bytes) but not reported; discs
/// still are. May be added to a cursor's Flags between two calls of ktbFindNext: a search that holds
/// all the results it keeps goes on counting without an entity per match.
constexpr std::uint32_t KTB_FIND_COUNTONLY = 128;
/// With criteria that test names: a disc in whose run the pattern does not occur at all is reported
/// (unless KTB_FIND_NODISCS) and its records are passed over by its RunLength, when that ends on the
/// disc's end mark. Damage inside such a disc is then not seen: for searches, not for checks.
constexpr std::uint32_t KTB_FIND_SKIPDISCS = 256;

// Flags of TCompare.
constexpr std::uint32_t KTB_CMP_NAME = 1;
constexpr std::uint32_t KTB_CMP_DATE_EQ = 2;
constexpr std::uint32_t KTB_CMP_SIZE_EQ = 4;
constexpr std::uint32_t KTB_CMP_WHOLENAME = 8;
constexpr std::uint32_t KTB_CMP_CASE = 16;
constexpr std::uint32_t KTB_CMP_DATE_AFTER = 128;
constexpr std::uint32_t KTB_CMP_DATE_BEFORE = 256;
constexpr std::uint32_t KTB_CMP_SIZE_GREATER = 512;
constexpr std::uint32_t KTB_CMP_SIZE_SMALLER = 1024;
/// Without KTB_CMP_CASE: a pattern holding non-ASCII characters is compared with names by Unicode
/// simple case folding (ktbFoldCase), in both stored encodings. An ASCII-only pattern still folds the
/// letters a-z only.
constexpr std::uint32_t KTB_CMP_UNICODE = 2048;

// Disc flags and the update mask of ktbUpdateDisc.
constexpr std::uint32_t KTB_DISC_AUDIO = 1;

constexpr std::uint32_t KTB_DISC_TITLE = 1;
constexpr std::uint32_t KTB_DISC_COMMENT = 2;
constexpr std::uint32_t KTB_DISC_SCANTIME = 4;
constexpr std::uint32_t KTB_DISC_USED = 8;
constexpr std::uint32_t KTB_DISC_CAPACITY = 16;
constexpr std::uint32_t KTB_DISC_FILES = 32;
constexpr std::uint32_t KTB_DISC_FOLDERS = 64;
constexpr std::uint32_t KTB_DISC_FLAGS = 128;

// Kinds handed to a TKTBWalkCallback.
constexpr std::uint8_t KTB_WALK_FOLDER = 3;
constexpr std::uint8_t KTB_WALK_FILE = 4;
constexpr std::uint8_t KTB_WALK_ENDFOLDER = 5;

#pragma pack(push, 1)
/// One disc record, 164 bytes, held in memory exactly as it is stored.
struct TKTBDisc {
    std::uint32_t Serial; ///< volume serial number; 0 means unknown and disables the duplicate check
    char Title[64]; ///< zero-terminated, at most 63 bytes
    char Comment[60]; ///< zero-terminated, at most 59 bytes
    std::uint32_t Flags; ///< bit 0: KTB_DISC_AUDIO
    std::uint32_t ScanTime; ///< packed DOS date-time, 0 if unknown
    std::int64_t Used;
    std::int64_t Capacity;
    std::uint32_t Files;
    std::uint32_t Folders;
    std::uint32_t RunLength; ///< bytes from the disc's tag through its end-of-disc tag; 0 while being written
};
#pragma pack(pop)
static_assert(sizeof(TKTBDisc) == 164);

/// A folder entity's data: its own name, zero-terminated.
struct TKTBFolderData {
    char* Name;
};

/// A file entity's data.
struct TKTBFileData {
    std::uint32_t Size; ///< low 32 bits of the file's size
    std::uint32_t DateTime; ///< packed DOS date-time of the last write, local time
    char* Name; ///< zero-terminated
    char* Comment; ///< zero-terminated; empty for everything the program records
    std::uint16_t NameLength; ///< bytes of Name without the zero byte
    std::uint16_t CommentLength;
};

/// What iteration and ktbReadEntity hand out. Data by Kind: TKTBDisc* (a copy of the record),
/// char* (a folder's zero-terminated name), TKTBFileData*, nothing for the two end marks.
/// An entity is one block: Data and its texts live in the same allocation, released by ktbFreeEntity.
struct TKTBEntity {
    std::uint32_t Offset; ///< file offset of the record's tag byte: the record's identity
    std::uint8_t Kind; ///< one of the KTB_TAG_ values
    void* Data;

    const TKTBDisc* disc() const { return Kind == KTB_TAG_DISC ? static_cast<const TKTBDisc*>(Data) : nullptr; }
    const TKTBFileData* file() const { return Kind == KTB_TAG_FILE ? static_cast<const TKTBFileData*>(Data) : nullptr; }
    const char* folderName() const { return Kind == KTB_TAG_FOLDER ? static_cast<const char*>(Data) : nullptr; }
    /// The disc's title, the folder's or the file's name; empty for the marks.
    const char* name() const;
};

/// Search criteria of an iteration.
struct TCompare {
    /// The name pattern; empty matches every name. Unless KTB_CMP_CASE is set, the first name test
    /// replaces it by its upper-case form in place.
    std::string Name;
    std::uint32_t Size = 0;
    std::uint32_t Date = 0; ///< packed DOS date-time, compared as a signed value
    std::uint32_t Flags = 0;
};

/// The process-wide error detail: the offending tag byte and its file offset.
struct TKTBErrorDetail {
    std::uint32_t Offset = 0;
    std::uint8_t Tag = 0;
};

/// Called for each entry of a walk: kind (KTB_WALK_), the path of the folder being listed (ending in
/// a backslash, "D:\" at the top), the entry, and the caller's data. Answers false to stop the walk.
using TKTBWalkCallback = bool (*)(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* userData);

/// Called after each record copied by the older-version conversion; setting cancel stops it.
using TKTBConvertProgress
    = void (*)(std::uint32_t newPosition, std::uint32_t oldPosition, std::uint8_t tag, void* userData, bool& cancel);

struct TKTBHandle;
struct TKTBCursor;

/// The last result code recorded by handle validation, iteration, ktbReadEntity and ktbDeleteDisc.
TKTBERROR ktbLastError();
/// Records a result code as the last error.
void ktbSetLastError(TKTBERROR code);
/// The identifier of a code ("KTB_ERR_LOCKED"); "" for a value outside the table.
const char* ktbErrorName(TKTBERROR code);
/// Copies the process-wide error detail.
void ktbErrorDetail(TKTBErrorDetail& detail);
/// Sets the process-wide error detail.
void ktbSetErrorDetail(std::uint32_t offset, std::uint8_t tag);
/// Releases an entity and clears the reference; answers false for a null reference or an unknown kind.
bool ktbFreeEntity(TKTBEntity*& entity);
