#include "tests/fuzz/importexercise.h"

#include "core/export/catalogimport.h"
#include "engine/ktb_owners.h"
#include "engine/ktb_utils.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

/// A folder of the fuzzer's own, in memory where the system has /dev/shm: each run makes a catalog.
/// It goes at the end of the process.
const std::string& workFolder()
{
    struct Folder {
        std::string path;
        Folder()
            : path(std::filesystem::is_directory("/dev/shm") ? "/dev/shm/katalox-import-fuzz-XXXXXX"
                                                             : "/tmp/katalox-import-fuzz-XXXXXX")
        {
            if (::mkdtemp(path.data()) == nullptr) {
                std::abort();
            }
        }
        ~Folder() { std::filesystem::remove_all(path); }
    };
    static const Folder folder;
    return folder.path;
}

/// The discs of a catalog: each must be whole and hold the files and folders its record counts.
std::string checkDiscs(TKTBHandle* handle, std::size_t& discs)
{
    discs = 0;
    KtbCursorPtr cursor(ktbFindFirstAll(handle, 0));
    TKTBDisc disc {};
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    const auto finishDisc = [&]() -> std::string {
        if (discs > 0 && (files != disc.Files || folders != disc.Folders)) {
            return "disc " + std::to_string(discs) + " counts " + std::to_string(disc.Files) + " files and "
                + std::to_string(disc.Folders) + " folders, its tree holds " + std::to_string(files) + " and "
                + std::to_string(folders);
        }
        return {};
    };
    TKTBERROR answer = cursor != nullptr || ktbFileSize(handle) <= KTB_HEADER_SIZE ? KTB_NOENTITIES : ktbLastError();
    for (bool more = cursor != nullptr; more; more = (answer = ktbFindNext(cursor.get())) == KTB_OK) {
        const TKTBEntity& entity = *cursor->Current;
        if (entity.Kind == KTB_TAG_DISC) {
            if (std::string problem = finishDisc(); !problem.empty()) {
                return problem;
            }
            disc = *entity.disc();
            ++discs;
            files = 0;
            folders = 0;
            if (!ktbRunIsWhole(handle, entity.Offset, disc.RunLength)) {
                return "disc " + std::to_string(discs) + " is not whole";
            }
            if (disc.Used < 0 || disc.Capacity < 0) {
                return "disc " + std::to_string(discs) + " has a negative size";
            }
        } else if (entity.Kind == KTB_TAG_FOLDER) {
            ++folders;
        } else if (entity.Kind == KTB_TAG_FILE) {
            ++files;
        }
    }
    if (answer != KTB_NOENTITIES) {
        return "the walk of the imported catalog failed with " + std::string(ktbErrorName(answer));
    }
    return finishDisc();
}

} // namespace

std::string exerciseImport(const std::uint8_t* data, std::size_t size, ImportKind kind)
{
    const std::string& folder = workFolder();
    const std::string input = folder + "/input";
    const std::string target = folder + "/target.ktb";
    const std::string scratch = folder + "/scratch";
    std::filesystem::remove(target);
    std::filesystem::create_directory(scratch);
    std::ofstream(input, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);

    ImportResult result;
    {
        KtbHandlePtr handle;
        if (ktbOpenOwned(handle, target.c_str(), KTB_OPEN_CREATE) != KTB_OK) {
            return "the catalog cannot be made";
        }
        CatalogImport import(handle.get(), QStringLiteral("target.ktb"),
            { QString::fromStdString(scratch), QStringLiteral("import-"), QStringLiteral("import.ktb"), false });
        const QString path = QString::fromStdString(input);
        result = kind == ImportKind::Json ? import.importJson(path, {}) : import.importList(path, {});
    }
    if (!std::filesystem::is_empty(scratch)) {
        return "a scratch file is left";
    }
    if (result.cancelled) {
        return "cancelled without being asked to";
    }
    if (result.imported.empty() && result.refused.isEmpty() && result.error.isEmpty() && kind == ImportKind::List) {
        return "a list made no disc and said nothing";
    }
    KtbHandlePtr handle;
    if (ktbOpenOwned(handle, target.c_str(), KTB_OPEN_READONLY) != KTB_OK) {
        return "the imported catalog cannot be opened";
    }
    std::size_t discs = 0;
    if (std::string problem = checkDiscs(handle.get(), discs); !problem.empty()) {
        return problem;
    }
    if (discs != result.imported.size()) {
        return "the catalog holds " + std::to_string(discs) + " discs, the import tells of "
            + std::to_string(result.imported.size());
    }
    return {};
}
