#include "tests/engine/catalogexercise.h"

#include "engine/ktb_io.h"
#include "tests/engine/heapview.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint32_t s_findFlagBits[]
    = { KTB_FIND_NODISCS, KTB_FIND_NOFOLDERS, KTB_FIND_NOFILES, KTB_FIND_CHILDREN, KTB_FIND_KEEP, KTB_FIND_ENDMARKS };

/// Offsets met on the way, to start further walks from.
struct Found {
    std::vector<std::uint32_t> containers; ///< discs and folders
    std::vector<std::uint32_t> files;
    std::string fileName;
};

class Exercise {
public:
    explicit Exercise(TKTBHandle* handle)
        : m_handle(handle)
        , m_size(ktbFileSize(handle))
    {
    }

    const std::string& failure() const { return m_failure; }

    void run()
    {
        checkHeader();
        Found found;
        for (std::uint32_t combination = 0; combination < 64 && m_failure.empty(); ++combination) {
            std::uint32_t flags = 0;
            for (int bit = 0; bit < 6; ++bit) {
                if ((combination & (1u << bit)) != 0) {
                    flags |= s_findFlagBits[bit];
                }
            }
            walk(flags, KTB_HEADER_SIZE, nullptr, combination == 0 ? &found : nullptr);
        }
        std::vector<std::uint32_t> starts = found.containers;
        starts.insert(starts.end(), found.files.begin(), found.files.end());
        for (const std::uint32_t extra : { m_size / 3, m_size / 2, m_size - 1 }) {
            if (extra >= KTB_HEADER_SIZE) {
                starts.push_back(extra);
            }
        }
        for (const std::uint32_t start : starts) {
            for (const std::uint32_t flags : { 0u, 9u, 13u, 41u, 64u, 72u }) {
                walk(flags, start, nullptr, nullptr);
            }
        }
        walkWithCriteria(found);
        readEverywhere();
    }

private:
    bool fail(const std::string& what, std::uint32_t flags = 0, std::uint32_t start = 0)
    {
        if (m_failure.empty()) {
            m_failure = what + " (flags " + std::to_string(flags) + ", start " + std::to_string(start) + ")";
        }
        return false;
    }

    void checkHeader()
    {
        for (int field = 0; field <= 6; ++field) {
            char buffer[KTB_NAME_MAX + 1] = {};
            const TKTBERROR code = ktbGetHeaderField(m_handle, field, buffer);
            if (code != KTB_OK && code != KTB_ERR_LOCKED) {
                fail(std::string("ktbGetHeaderField answered ") + ktbErrorName(code));
            }
            if (ktbSetHeaderField(m_handle, field, buffer) != KTB_ERR_LOCKED) {
                fail("a read-only handle accepted ktbSetHeaderField");
            }
        }
        ktbUnlock(m_handle, "");
    }

    bool checkEntity(const TKTBCursor& cursor, const TKTBEntity* entity, std::uint32_t flags, std::uint32_t start,
        const TCompare* criteria)
    {
        if (entity == nullptr) {
            return fail("KTB_OK without Current", flags, start);
        }
        if (entity->Offset < KTB_HEADER_SIZE || entity->Offset < start || entity->Offset >= m_size) {
            return fail("an entity outside the body at " + std::to_string(entity->Offset), flags, start);
        }
        const std::uint8_t kind = entity->Kind;
        const bool allowed = (kind == KTB_TAG_DISC && (flags & KTB_FIND_NODISCS) == 0)
            || (kind == KTB_TAG_FOLDER && (flags & KTB_FIND_NOFOLDERS) == 0)
            || (kind == KTB_TAG_FILE && (flags & KTB_FIND_NOFILES) == 0)
            || (kind == KTB_TAG_ENDFOLDER && (flags & (KTB_FIND_ENDMARKS | KTB_FIND_NOFOLDERS)) == KTB_FIND_ENDMARKS)
            || (kind == KTB_TAG_ENDDISC && (flags & (KTB_FIND_ENDMARKS | KTB_FIND_NODISCS)) == KTB_FIND_ENDMARKS);
        if (!allowed) {
            return fail("kind " + std::to_string(kind) + " reported against the flags", flags, start);
        }
        if (cursor.ChainLength > 64) {
            return fail("ChainLength above 64", flags, start);
        }
        for (std::uint32_t i = 0; i < cursor.ChainLength; ++i) {
            if (cursor.Chain[i] < KTB_HEADER_SIZE || cursor.Chain[i] >= m_size) {
                return fail("a Chain entry outside the body", flags, start);
            }
        }
        if (kind == KTB_TAG_DISC && (cursor.ChainLength != 1 || cursor.Chain[0] != entity->Offset)) {
            return fail("a disc that is not the Chain's only entry", flags, start);
        }
        if (kind == KTB_TAG_FOLDER && cursor.ChainDepth <= 64
            && (cursor.ChainLength == 0 || cursor.Chain[cursor.ChainLength - 1] != entity->Offset)) {
            return fail("a folder that is not the Chain's last entry", flags, start);
        }
        if (criteria != nullptr && (kind == KTB_TAG_FOLDER || kind == KTB_TAG_FILE)) {
            // Names are tested as stored: a name may hold a zero byte, where the entity's copy ends.
            TCompare check = *criteria;
            const bool nameTested = kind == KTB_TAG_FOLDER || (check.Flags & KTB_CMP_NAME) != 0;
            if (nameTested && !ktbMatchName(storedName(entity->Offset), check)) {
                return fail(std::string(kind == KTB_TAG_FOLDER ? "folder" : "file") + " at "
                        + std::to_string(entity->Offset) + " reported, which fails ktbMatchName with \""
                        + criteria->Name + "\" and flags " + std::to_string(criteria->Flags),
                    flags, start);
            }
            check.Flags &= ~KTB_CMP_NAME;
            if (kind == KTB_TAG_FILE && !ktbMatchFile(*entity->file(), &check)) {
                return fail("a file reported that fails the size or date test", flags, start);
            }
        }
        // The iteration parsed a record there; reading it on its own must agree.
        TKTBEntity* again = nullptr;
        if (ktbReadEntity(m_handle, entity->Offset, again) != KTB_OK || again->Kind != kind
            || std::string_view(again->name()) != std::string_view(entity->name())) {
            ktbFreeEntity(again);
            return fail(
                "ktbReadEntity disagrees with the iteration at " + std::to_string(entity->Offset), flags, start);
        }
        ktbFreeEntity(again);
        return true;
    }

    /// The name bytes of the folder or file record at offset, as stored.
    std::string_view storedName(std::uint32_t offset) const
    {
        const std::uint8_t* record = m_handle->View + offset;
        const auto length = static_cast<std::uint16_t>(record[1] | (record[2] << 8));
        return { reinterpret_cast<const char*>(record + 3), length };
    }

    void walk(std::uint32_t flags, std::uint32_t start, TCompare* criteria, Found* found)
    {
        ktbSetLastError(KTB_ERR_NOTSUPPORTED); // so that a start past the end is seen to leave it alone
        TKTBCursor* cursor = ktbFindFirst(m_handle, flags, start, criteria);
        TKTBERROR result = ktbLastError();
        if (start >= m_size) {
            if (cursor != nullptr || result != KTB_ERR_NOTSUPPORTED) {
                fail("a start past the end began an iteration or set the last error", flags, start);
            }
            ktbFindClose(cursor);
            return;
        }
        std::uint64_t discs = 0;
        std::uint64_t folders = 0;
        std::uint64_t files = 0;
        std::uint64_t bytes = 0;
        std::uint64_t steps = 0;
        while (cursor != nullptr) {
            TKTBEntity* entity = cursor->Current;
            if (!checkEntity(*cursor, entity, flags, start, criteria)) {
                break;
            }
            switch (entity->Kind) {
            case KTB_TAG_DISC:
                ++discs;
                break;
            case KTB_TAG_FOLDER:
                ++folders;
                break;
            case KTB_TAG_FILE:
                ++files;
                bytes += entity->file()->Size;
                break;
            default:
                break;
            }
            if (found != nullptr && found->containers.size() < 48
                && (entity->Kind == KTB_TAG_DISC || entity->Kind == KTB_TAG_FOLDER)) {
                found->containers.push_back(entity->Offset);
            }
            if (found != nullptr && entity->Kind == KTB_TAG_FILE && found->files.size() < 8) {
                found->files.push_back(entity->Offset);
                if (found->fileName.empty()) {
                    found->fileName = entity->file()->Name;
                }
            }
            if ((flags & KTB_FIND_KEEP) != 0) {
                ktbFreeEntity(entity);
            }
            result = ktbFindNext(cursor);
            if (++steps > m_size) {
                fail("more steps than bytes: the iteration does not advance", flags, start);
                break;
            }
            if (result != KTB_OK) {
                break;
            }
        }
        if (cursor != nullptr && m_failure.empty()
            && (cursor->Discs != discs || cursor->Folders != folders || cursor->Files != files
                || cursor->Bytes != bytes)) {
            fail("the counters disagree with what was reported", flags, start);
        }
        ktbFindClose(cursor);
        if (result != KTB_OK && result != KTB_NOENTITIES && result != KTB_ERR_BADENTITY) {
            fail(std::string("the iteration ended with ") + ktbErrorName(result), flags, start);
        }
        if (result == KTB_ERR_BADENTITY) {
            TKTBErrorDetail detail;
            ktbErrorDetail(detail);
            if (detail.Offset < KTB_HEADER_SIZE || detail.Offset >= m_size) {
                fail("an error detail outside the body: " + std::to_string(detail.Offset) + " of "
                        + std::to_string(m_size),
                    flags, start);
            }
        }
    }

    void walkWithCriteria(const Found& found)
    {
        std::vector<std::string> patterns
            = { "", "*", "**", "a", "A*", "*a", "*b*", "*.txt", "\xC3\xA9", "\xE9", "*\xC3\x89*" };
        if (!found.fileName.empty()) {
            patterns.push_back(found.fileName);
            patterns.push_back("*" + found.fileName.substr(found.fileName.size() / 2));
        }
        const std::uint32_t criteriaFlags[] = { 0, KTB_CMP_NAME, KTB_CMP_NAME | KTB_CMP_CASE,
            KTB_CMP_NAME | KTB_CMP_WHOLENAME, KTB_CMP_SIZE_GREATER | KTB_CMP_DATE_BEFORE,
            KTB_CMP_NAME | KTB_CMP_SIZE_SMALLER | KTB_CMP_DATE_EQ, KTB_CMP_DATE_AFTER | KTB_CMP_SIZE_EQ };
        std::vector<std::uint32_t> starts = { KTB_HEADER_SIZE };
        if (!found.containers.empty()) {
            starts.push_back(found.containers.back());
        }
        for (const std::string& pattern : patterns) {
            for (const std::uint32_t flags : criteriaFlags) {
                for (const std::uint32_t start : starts) {
                    TCompare criteria;
                    criteria.Name = pattern;
                    criteria.Flags = flags;
                    criteria.Size = 100;
                    criteria.Date = 0x2E210000;
                    TCompare copy = criteria;
                    walk(KTB_FIND_KEEP, start, &copy, nullptr);
                    copy = criteria;
                    walk(KTB_FIND_NODISCS | KTB_FIND_CHILDREN, start, &copy, nullptr);
                    for (const std::uint32_t flags : { 0u, KTB_FIND_NODISCS | KTB_FIND_CHILDREN }) {
                        const std::string difference = compareCriteriaWalk(m_handle, flags, start, criteria);
                        if (!difference.empty()) {
                            fail(difference + " with \"" + pattern + "\"", flags, start);
                        }
                    }
                }
            }
        }
    }

    void readEverywhere()
    {
        const std::uint32_t step = m_size <= 8192 ? 1 : m_size / 4096;
        for (std::uint64_t offset = 0; offset <= m_size; offset += step) {
            TKTBEntity* entity = nullptr;
            const TKTBERROR code = ktbReadEntity(m_handle, static_cast<std::uint32_t>(offset), entity);
            if (code == KTB_OK
                && (entity == nullptr || entity->Offset != offset || entity->Kind < KTB_TAG_DISC
                    || entity->Kind > KTB_TAG_ENDDISC)) {
                fail("ktbReadEntity answered KTB_OK with a wrong entity at " + std::to_string(offset));
            }
            if (code != KTB_OK && (code != KTB_ERR_BADENTITY || entity != nullptr)) {
                fail(std::string("ktbReadEntity answered ") + ktbErrorName(code) + " at " + std::to_string(offset));
            }
            ktbFreeEntity(entity);
        }
    }

    TKTBHandle* m_handle;
    std::uint32_t m_size;
    std::string m_failure;
};

} // namespace

namespace {

/// The offsets an iteration reports, and how it ended.
std::vector<std::uint32_t> reportedOffsets(
    TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, TCompare* criteria, const TCompare* filter)
{
    std::vector<std::uint32_t> offsets;
    TKTBCursor* cursor = ktbFindFirst(handle, flags, start, criteria);
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        bool passes = true;
        if (filter != nullptr && (entity->Kind == KTB_TAG_FOLDER || entity->Kind == KTB_TAG_FILE)) {
            // Names as stored, which may hold a zero byte where the entity's copy ends.
            const std::uint8_t* record = handle->View + entity->Offset;
            const std::string_view name(
                reinterpret_cast<const char*>(record + 3), static_cast<std::uint16_t>(record[1] | (record[2] << 8)));
            TCompare check = *filter;
            if (entity->Kind == KTB_TAG_FOLDER || (check.Flags & KTB_CMP_NAME) != 0) {
                passes = ktbMatchName(name, check);
            }
            check.Flags &= ~KTB_CMP_NAME;
            passes = passes && (entity->Kind == KTB_TAG_FOLDER || ktbMatchFile(*entity->file(), &check));
        }
        if (passes) {
            offsets.push_back(entity->Offset);
        }
        if ((flags & KTB_FIND_KEEP) != 0) {
            TKTBEntity* kept = cursor->Current;
            ktbFreeEntity(kept);
        }
        if (ktbFindNext(cursor) != KTB_OK) {
            break;
        }
    }
    ktbFindClose(cursor);
    offsets.push_back(ktbLastError()); // how it ended belongs to the comparison
    return offsets;
}

} // namespace

std::string compareCriteriaWalk(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, const TCompare& criteria)
{
    TCompare used = criteria;
    const std::vector<std::uint32_t> walked = reportedOffsets(handle, flags, start, &used, nullptr);
    const std::vector<std::uint32_t> expected = reportedOffsets(handle, flags, start, nullptr, &criteria);
    if (walked == expected) {
        return {};
    }
    std::size_t i = 0;
    while (i < walked.size() && i < expected.size() && walked[i] == expected[i]) {
        ++i;
    }
    return "the walk with criteria reported " + (i < walked.size() ? std::to_string(walked[i]) : std::string("nothing"))
        + " where the criteria pass " + (i < expected.size() ? std::to_string(expected[i]) : std::string("nothing"))
        + " (entry " + std::to_string(i) + ")";
}

std::string exerciseCatalog(const std::string& path)
{
    TKTBHandle* handle = nullptr;
    const TKTBERROR code = ktbOpen(handle, path.c_str(), KTB_OPEN_READONLY);
    if (code != KTB_OK) {
        if (handle != nullptr) {
            return "ktbOpen failed but handed out a handle";
        }
        if (code != KTB_ERR_MAPPINGFAILED && code != KTB_ERR_INVALIDHEADER && code != KTB_ERR_WRONGVERSION) {
            return std::string("ktbOpen answered ") + ktbErrorName(code);
        }
        return {};
    }
    std::string failure;
    {
        HeapView heap(handle);
        Exercise exercise(handle);
        exercise.run();
        failure = exercise.failure();
    }
    ktbClose(handle);
    return failure;
}
