// ktb find: folders and files whose names match a pattern, by the engine's own search rules.
#include "tools/KtbTool.h"

#include "engine/ktb_io.h"

#include <cinttypes>
#include <cstdio>

namespace ktbtool {

namespace {

    /// Names of the discs and folders of the Chain, read once and kept while the walk stays below them.
    class PathCache {
    public:
        explicit PathCache(TKTBHandle* handle)
            : m_handle(handle)
        {
        }

        /// The disc title and "/folder/path/" of the first count Chain entries (the disc, then folders).
        void describe(const TKTBCursor& cursor, std::uint32_t count, std::string& disc, std::string& path)
        {
            std::size_t same = 0;
            while (same < m_offsets.size() && same < count && m_offsets[same] == cursor.Chain[same]) {
                ++same;
            }
            m_offsets.resize(same);
            m_names.resize(same);
            for (std::uint32_t i = static_cast<std::uint32_t>(same); i < count; ++i) {
                m_offsets.push_back(cursor.Chain[i]);
                m_names.push_back(nameAt(cursor.Chain[i]));
            }
            disc = count > 0 ? m_names[0] : std::string();
            path.assign(1, '/');
            for (std::uint32_t i = 1; i < count; ++i) {
                path += m_names[i];
                path += '/';
            }
        }

    private:
        std::string nameAt(std::uint32_t offset)
        {
            TKTBEntity* entity = nullptr;
            std::string name;
            if (ktbReadEntity(m_handle, offset, entity) == KTB_OK) {
                name = entity->Kind == KTB_TAG_DISC ? std::string(ktbFieldText(entity->disc()->Title, 64))
                                                    : std::string(entity->name());
            }
            ktbFreeEntity(entity);
            return displayText(name);
        }

        TKTBHandle* m_handle;
        std::vector<std::uint32_t> m_offsets;
        std::vector<std::string> m_names;
    };

    struct FindResult {
        bool ok = true;
        std::uint64_t matches = 0;
    };

    FindResult findIn(const std::string& pattern, const std::string& path, bool countOnly, bool withFileName)
    {
        FindResult result;
        TKTBHandle* handle = openCatalog("find", path);
        if (handle == nullptr) {
            result.ok = false;
            return result;
        }
        TCompare criteria;
        criteria.Name = pattern;
        criteria.Flags = KTB_CMP_NAME;
        PathCache paths(handle);
        const std::string prefix = withFileName ? path + "\t" : std::string();
        std::string disc;
        std::string folders;
        result.ok = walkCatalog(
            "find", path, handle, KTB_FIND_NODISCS, KTB_HEADER_SIZE, &criteria, [&](const TKTBCursor& cursor) {
                result.matches = cursor.Files + cursor.Folders;
                if (countOnly) {
                    return;
                }
                const TKTBEntity& entity = *cursor.Current;
                // A folder is the last entry of its own Chain; a walk nested deeper than the Chain holds
                // shows the levels it lost as "...".
                const bool folder = entity.Kind == KTB_TAG_FOLDER;
                const bool deeper = cursor.ChainDepth > cursor.ChainLength;
                const std::uint32_t enclosing
                    = folder && !deeper && cursor.ChainLength > 0 ? cursor.ChainLength - 1 : cursor.ChainLength;
                paths.describe(cursor, enclosing, disc, folders);
                if (deeper) {
                    folders += ".../";
                }
                if (folder) {
                    std::printf("%s%s\t%s%s/\t-\t-\n", prefix.c_str(), disc.c_str(), folders.c_str(),
                        displayText(entity.folderName()).c_str());
                } else {
                    const _int_File& file = *entity.file();
                    std::printf("%s%s\t%s%s\t%u\t%s\n", prefix.c_str(), disc.c_str(), folders.c_str(),
                        displayText(std::string_view(file.Name, file.NameLength)).c_str(), file.Size,
                        displayDate(file.DateTime).c_str());
                }
            });
        ktbClose(handle);
        return result;
    }

} // namespace

int runFind(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("find", arguments, "c");
    if (parsed.help) {
        return printHelp("find");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.size() < 2) {
        return usageError("find", parsed.operands.empty() ? "no pattern given" : "no catalog file given");
    }
    const std::string& pattern = parsed.operands[0];
    const std::vector<std::string> files(parsed.operands.begin() + 1, parsed.operands.end());
    const bool countOnly = parsed.has('c');
    const bool several = files.size() > 1;
    bool failed = false;
    std::uint64_t total = 0;
    for (const std::string& file : files) {
        const FindResult result = findIn(pattern, file, countOnly, several);
        failed = failed || !result.ok;
        total += result.matches;
        if (countOnly && result.ok) {
            if (several) {
                std::printf("%s\t%" PRIu64 "\n", file.c_str(), result.matches);
            } else {
                std::printf("%" PRIu64 "\n", result.matches);
            }
        }
    }
    if (failed) {
        return ExitError;
    }
    return total > 0 ? ExitOk : ExitNothingFound;
}

} // namespace ktbtool
