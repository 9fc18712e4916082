// ktb ls: the discs of a catalog, or the direct folders and files of one disc or folder.
#include "tools/ktbtool.h"

#include "engine/ktb_io.h"

#include <cinttypes>
#include <cstdio>

namespace ktbtool {

namespace {

    void printDisc(const TKTBEntity& entity)
    {
        const TKTBDisc& disc = *entity.disc();
        std::printf("%10u  %08X  %7u  %7u  %14" PRId64 "  %-19s  %s\n", entity.Offset, disc.Serial, disc.Files,
            disc.Folders, disc.Used, displayDate(disc.ScanTime).c_str(),
            displayText(ktbFieldText(disc.Title, sizeof disc.Title)).c_str());
    }

    void printItem(const TKTBEntity& entity)
    {
        if (entity.Kind == KTB_TAG_FOLDER) {
            std::printf(
                "%10u  folder  %14s  %-19s  %s\n", entity.Offset, "-", "-", displayText(entity.folderName()).c_str());
            return;
        }
        const TKTBFileData& file = *entity.file();
        std::printf("%10u  file    %14u  %-19s  %s\n", entity.Offset, file.Size, displayDate(file.DateTime).c_str(),
            displayText(std::string_view(file.Name, file.NameLength)).c_str());
    }

    /// Walks from start with flags, printing each entity; false (reported) when the walk broke off.
    bool list(const std::string& path, TKTBHandle* handle, std::uint32_t flags, std::uint32_t start)
    {
        return walkCatalog("ls", path, handle, flags, start, nullptr, [](const TKTBCursor& cursor) {
            if (cursor.Current->Kind == KTB_TAG_DISC) {
                printDisc(*cursor.Current);
            } else {
                printItem(*cursor.Current);
            }
        });
    }

} // namespace

int runLs(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("ls", arguments, "");
    if (parsed.help) {
        return printHelp("ls");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.empty() || parsed.operands.size() > 2) {
        return usageError("ls", parsed.operands.empty() ? "no catalog file given" : "too many arguments");
    }
    std::uint32_t offset = 0;
    if (parsed.operands.size() == 2 && !parseOffset(parsed.operands[1], offset)) {
        return usageError("ls", "'" + parsed.operands[1] + "' is not an offset");
    }
    const std::string& path = parsed.operands[0];
    const KtbHandlePtr catalog = openCatalog("ls", path);
    if (catalog == nullptr) {
        return ExitError;
    }
    TKTBHandle* handle = catalog.get();
    bool ok = true;
    if (parsed.operands.size() == 1) {
        ok = list(path, handle, KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES, KTB_HEADER_SIZE);
    } else {
        KtbEntityPtr entity;
        const bool container = offset >= KTB_HEADER_SIZE && ktbReadEntityOwned(handle, offset, entity) == KTB_OK
            && (entity->Kind == KTB_TAG_DISC || entity->Kind == KTB_TAG_FOLDER);
        if (container) {
            ok = list(path, handle, KTB_FIND_NODISCS | KTB_FIND_CHILDREN, offset);
        } else {
            reportError("ls", path + ": offset " + std::to_string(offset) + " holds no disc or folder");
            ok = false;
        }
    }
    return ok ? ExitOk : ExitError;
}

} // namespace ktbtool
