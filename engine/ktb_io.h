#pragma once
// Opening and closing catalog files, their header fields and protection key, the record stream's
// cursor and the name matching rules.

#include "engine/ktb32.h"
#include "engine/ktb_utils.h"
#include "engine/ktbdef.h"

#include <cstdint>
#include <memory>
#include <string_view>

/// Opens an existing catalog file (flags 0), creates a new one (KTB_OPEN_CREATE) or opens one for
/// reading only (KTB_OPEN_READONLY). On success handle is set and its position is 256; on failure it
/// is null and nothing stays open. A writer holds an exclusive lock on the file: a second writer, in
/// this process or another, answers KTB_ERR_FILENOTAVAILABLE (KTB_ERR_FILEEXISTS when creating). Anything
/// but a plain file is refused at once (KTB_ERR_FILENOTAVAILABLE). A writer first rolls back what a crash
/// left (ktb_journal.h); a reader reads the state before such a change. A new file is built under
/// PATH-building and takes its name with its whole header, synced with its folder before the answer.
/// A writer waits a few seconds for the lock of a process on its way out (one just killed).
TKTBERROR ktbOpen(TKTBHandle*& handle, const char* path, std::uint32_t flags);
/// ktbOpen with KTB_OPEN_CREATE for a catalog made from another one: the new file gets exactly the
/// permission bits mode (the other's). ktbOpen gives a new catalog 0644 less the umask, and a scratch
/// catalog 0600.
TKTBERROR ktbCreateCatalog(TKTBHandle*& handle, const char* path, std::uint32_t flags, unsigned mode);
/// Unmaps, closes and releases the handle and clears the reference; false for a null reference.
bool ktbClose(TKTBHandle*& handle);

/// KTB_ERR_LOCKED on a locked handle; otherwise stamps Modified with the local time. The position is
/// left after the Modified field.
TKTBERROR ktbTouch(TKTBHandle* handle);
/// Copies one header field into buffer (zero-filled by the caller and one byte longer than the text
/// limit; 4 bytes for the dates and the version). The key is refused on a locked handle. An id above 5
/// copies nothing and answers KTB_OK. The position is restored.
TKTBERROR ktbGetHeaderField(TKTBHandle* handle, int field, void* buffer);
/// Stores one header field (texts cut to 63, 127 or 43 bytes), refused on a locked handle; the version
/// answers KTB_ERR_NOTSUPPORTED. Every id but Modified also stamps Modified. The position is restored.
TKTBERROR ktbSetHeaderField(TKTBHandle* handle, int field, const void* buffer);
/// Unlocks the handle when key equals the stored key byte for byte; KTB_OK on an unlocked handle.
TKTBERROR ktbUnlock(TKTBHandle* handle, const char* key);

/// State of one iteration.
struct TKTBCursor {
    TKTBEntity* Current; ///< the entity most recently reported, or null
    TKTBHandle* Handle;
    std::uint32_t Flags; ///< KTB_FIND_ flags; KTB_FIND_COUNTONLY may be added between calls
    std::uint32_t Position; ///< where the next ktbFindNext resumes
    std::int32_t Depth; ///< nesting counter, -1 at the start
    TCompare* Criteria; ///< caller-owned, or null
    std::uint32_t Chain[64]; ///< offsets of the enclosing disc and folders, outermost first
    std::uint32_t ChainLength; ///< valid entries of Chain, at most 64
    std::uint32_t Discs;
    std::uint64_t Files;
    std::uint32_t Folders;
    std::uint64_t Bytes;

    // Beyond the Chain's 64 entries the cursor keeps counting the true nesting here, so that the
    // scope and the Chain stay right when the walk climbs back out.
    std::uint32_t ChainDepth;
    struct Matcher;
    Matcher* NameMatcher; ///< the criteria's pattern, prepared once
    TKTBEntity* Spare; ///< the block of the entity released last, reused for the next report
    /// How far each encoding of the criteria's pattern is known not to occur in the file (UINT64_MAX: not
    /// again); the names before that cannot match and are not tested.
    std::uint64_t NextHit[2];
    bool ReaderHeld; ///< the cursor holds a reader's lock on its handle (ktb_journal.h)
};

/// Starts an iteration and answers a cursor whose Current is the first entity reported, or null.
/// A start below 256 is taken as 256; a start at or past the end answers null without touching the
/// last error; a failing first ktbFindNext releases the cursor and answers null (see ktbLastError).
TKTBCursor* ktbFindFirst(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, TCompare* criteria);
/// ktbFindFirst from offset 256 without criteria.
TKTBCursor* ktbFindFirstAll(TKTBHandle* handle, std::uint32_t flags);
/// Advances to the next entity to report: KTB_OK (Current set), KTB_NOENTITIES at the end of the
/// scope or the file, KTB_ERR_BADENTITY for an unknown tag or a truncated record (error detail set).
/// The answer is also the last error.
TKTBERROR ktbFindNext(TKTBCursor* cursor);
/// One record as ktbFindBatch hands it out: what a walk over every record looks at, its texts copied
/// into the batch (not zero-terminated).
struct TKTBRecord {
    std::uint32_t Offset; ///< file offset of the record's tag byte: the record's identity
    std::uint32_t
        Text; ///< where its texts start in the batch's Texts: the disc record; the name, then a file's comment
    std::uint32_t Size; ///< files: low 32 bits of the size
    std::uint32_t DateTime; ///< files: packed DOS date-time of the last write
    std::uint16_t NameLength; ///< folders and files
    std::uint16_t CommentLength; ///< files
    std::uint8_t Kind; ///< one of the KTB_TAG_ values
};

/// Many records of an iteration at once, for walks that look at every record (statistics, exports):
/// one call of ktbFindBatch instead of one ktbFindNext and one entity a record. Allocate it once (it
/// is large) and reuse it.
struct TKTBBatch {
    static constexpr std::uint32_t Capacity = 1024;
    static constexpr std::uint32_t TextCapacity = 512 * 1024;

    TKTBRecord Records[Capacity];
    std::uint32_t Count = 0;
    std::uint32_t TextsUsed = 0;
    char Texts[TextCapacity];

    std::string_view name(const TKTBRecord& record) const { return { Texts + record.Text, record.NameLength }; }
    std::string_view comment(const TKTBRecord& record) const
    {
        return { Texts + record.Text + record.NameLength, record.CommentLength };
    }
    /// A disc record's copy (the record is packed: any address will do).
    const TKTBDisc& disc(const TKTBRecord& record) const
    {
        return *reinterpret_cast<const TKTBDisc*>(Texts + record.Text);
    }
};

/// ktbFindNext for many records at once: fills batch with the next records the cursor reports (its
/// flags and criteria apply as they do to ktbFindNext), as many as fit. KTB_OK: the batch holds records
/// and more may follow. Any other answer ends the walk after the records the batch holds (there may be
/// some): KTB_NOENTITIES at the end of the scope or the file, KTB_ERR_BADENTITY at a bad record (error
/// detail set; without KTB_FIND_CHILDREN, Position is that record's offset), KTB_ERR_FILENOTAVAILABLE
/// when the file was shortened under the mapping. The cursor's Chain and counters are those after the last record
/// taken; Current is released (unless KTB_FIND_KEEP) and left null. The answer is also the last error.
TKTBERROR ktbFindBatch(TKTBCursor* cursor, TKTBBatch& batch);
/// Releases the cursor (and Current unless KTB_FIND_KEEP) and clears the reference; null does nothing.
void ktbFindClose(TKTBCursor*& cursor);

/// Reads the record at offset into a new entity the caller owns. KTB_ERR_BADENTITY when offset is at
/// or past the end (last error untouched), or the tag is not 2 to 6 (last error set). Position restored.
TKTBERROR ktbReadEntity(TKTBHandle* handle, std::uint32_t offset, TKTBEntity*& entity);

/// The bytes ktbPlaceEntity writes for a folder or file entity with texts of these lengths; 0 for
/// another kind.
std::size_t ktbEntityBytes(std::uint8_t kind, std::uint16_t nameLength, std::uint16_t commentLength);
/// Writes the entity of a folder or file record that holds these values, as a walk reports it, into
/// memory the caller owns, at least ktbEntityBytes long and aligned for a pointer, and answers it; the
/// caller releases that memory (never ktbFreeEntity). Null for another kind.
TKTBEntity* ktbPlaceEntity(void* memory, std::uint32_t offset, std::uint8_t kind, const char* name,
    std::uint16_t nameLength, std::uint32_t size, std::uint32_t dateTime, const char* comment,
    std::uint16_t commentLength);

/// Whether the disc at offset is whole: its records parse from its tag to an end-of-disc mark that is
/// the last byte of its run, with every folder closed and no other disc inside.
bool ktbRunIsWhole(const TKTBHandle* handle, std::uint32_t offset, std::uint32_t runLength);

/// The name test of TCompare (upper-cases criteria.Name in place unless KTB_CMP_CASE).
bool ktbMatchName(std::string_view name, TCompare& criteria);
/// A name in the form in which the search compares it when letter case is ignored: two names are the
/// same name exactly when their folded forms are equal. ktbFoldCase, with a quicker pass for names of
/// ASCII characters only. Reuses folded's storage.
void ktbFoldName(std::string_view name, std::string& folded);
/// The file test: name (with KTB_CMP_NAME), date and size; true without criteria.
bool ktbMatchFile(const TKTBFileData& file, TCompare* criteria);
/// Only an asterisk at either end is special; "" matches everything, and so does a pattern made of
/// asterisks only.
bool ktbWildcardMatch(std::string_view pattern, std::string_view text);
