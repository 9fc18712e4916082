// ktb find: the program's own search over catalogs and folders of catalogs, printed the way its search
// panel names the results: each folder and file by its path in the navigation tree, then the summary.
#include "tools/ktbtool.h"

#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "engine/Containers.h"
#include "engine/DirTravel.h"
#include "engine/ktb_io.h"

#include <QFile>
#include <QString>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace ktbtool {

namespace {

    /// Registers one catalog after opening it read-only once: a catalog that cannot be read is reported
    /// with the engine's code, never skipped in silence.
    bool addCatalog(TKTBFiles& registry, const std::string& path)
    {
        TKTBHandle* probe = openCatalog("find", path);
        if (probe == nullptr) {
            return false;
        }
        ktbClose(probe);
        try {
            registry.AddFile(QFile::decodeName(QByteArray::fromStdString(path)));
        } catch (const EKTBException& error) {
            reportError("find", path + ": " + describeCode(error.Code));
            return false;
        }
        return true;
    }

    /// Registers a catalog, or the catalogs directly inside a folder as the program finds them there.
    bool addOperand(TKTBFiles& registry, const std::string& operand)
    {
        struct stat status { };
        if (::stat(operand.c_str(), &status) != 0) {
            reportError("find", operand + ": no such file or folder");
            return false;
        }
        if (!S_ISDIR(status.st_mode)) {
            return addCatalog(registry, operand);
        }
        std::vector<std::string> files;
        ktbListFiles(operand, "*.ktb", files, true);
        bool ok = true;
        for (const std::string& file : files) {
            ok = addCatalog(registry, file) && ok;
        }
        return ok;
    }

    /// A path or name for the terminal: control characters become "?".
    std::string terminalText(const QString& text)
    {
        const QByteArray bytes = text.toUtf8();
        return displayText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }

    /// One result line: its path as the tree names it (a folder's ends with the folder itself), size, date.
    void printResult(const TEntityEntry& entry)
    {
        const std::string path = terminalText(TSearchHelper::ResultPath(entry));
        if (const _int_File* file = entry.Entity->file()) {
            std::printf("%s%s\t%u\t%s\n", path.c_str(),
                displayText(std::string_view(file->Name, file->NameLength)).c_str(), file->Size,
                displayDate(file->DateTime).c_str());
        } else {
            std::printf("%s\t-\t-\n", path.c_str());
        }
    }

    bool parseLimit(const std::string& text, int& limit)
    {
        std::uint32_t value = 0;
        if (!parseOffset(text, value) || value == 0 || value > INT_MAX) {
            return false;
        }
        limit = static_cast<int>(value);
        return true;
    }

} // namespace

int runFind(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("find", arguments, "c", { "limit" });
    if (parsed.help) {
        return printHelp("find");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.size() < 2) {
        return usageError("find", parsed.operands.empty() ? "no pattern given" : "no catalog file or folder given");
    }
    const bool countOnly = parsed.has('c');
    int limit = INT_MAX;
    if (const std::string* text = parsed.value("limit"); text != nullptr && !parseLimit(*text, limit)) {
        return usageError("find", "--limit takes a number of results from 1 on, not '" + *text + "'");
    }
    const std::string& pattern = parsed.operands[0];

    TKTBFiles registry(TKTBFiles::Options { .useListFile = false, .readOnly = true });
    bool failed = false;
    for (auto operand = parsed.operands.begin() + 1; operand != parsed.operands.end(); ++operand) {
        failed = !addOperand(registry, *operand) || failed;
    }
    TIntegerList chosen;
    for (int index = 0; index < registry.Count(); ++index) {
        chosen.Add(index);
    }

    TSearchHelper search(&registry);
    // Counting needs no results kept: beyond its limit the search only counts.
    search.SetResultLimit(countOnly ? 1 : limit);
    search.SetSearchText(QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size())));
    std::unique_ptr<Progress> progress;
    search.OnProgress = [&](TSearchHelper* sender) {
        if (progress == nullptr) {
            progress = std::make_unique<Progress>("find", "'" + pattern + "'", sender->TotalBytes());
        }
        progress->update(sender->DoneBytes());
    };
    try {
        search.Search(chosen);
    } catch (const EKTBException& error) {
        reportError("find", terminalText(error.message()));
        failed = true;
    }
    progress.reset();

    const std::uint64_t matches = search.FileMatches() + search.FolderMatches();
    if (countOnly) {
        std::printf("%" PRIu64 "\n", matches);
    } else {
        try {
            for (int row = 0; row < search.FileResults.Count(); ++row) {
                printResult(*search.FileResults.Items(row));
            }
        } catch (const EKTBException& error) {
            std::fflush(stdout);
            reportError("find", terminalText(error.message()));
            failed = true;
        }
        std::printf("%d Discs with matches. %" PRIu64 " File matches. %" PRIu64 " Folder matches. \n",
            search.DiscResultCount(), search.FileMatches(), search.FolderMatches());
        if (search.Limited() && matches > static_cast<std::uint64_t>(search.FileResults.Count())) {
            std::printf("Displaying the first %d items. \n", search.ResultLimit());
        }
    }
    // A damaged record ends that catalog's walk: what was found before it is shown, and the damage is
    // an error, never passed over in silence.
    std::fflush(stdout);
    for (const TSearchHelper::TWalkFault& fault : search.WalkFaults()) {
        reportError("find",
            terminalText(fault.Fileset->FileName) + ": damaged record at offset " + std::to_string(fault.Offset)
                + ", the rest of this catalog was not searched (" + describeCode(fault.Code) + ")");
        failed = true;
    }
    if (failed) {
        return ExitError;
    }
    return matches > 0 || search.DiscResultCount() > 0 ? ExitOk : ExitNothingFound;
}

} // namespace ktbtool
