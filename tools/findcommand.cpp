// ktb find: the program's own search over catalogs and folders of catalogs, printed the way its search
// panel names the results: each folder and file by its path in the navigation tree, then the summary.
#include "tools/ktbtool.h"

#include "core/filesets/catalogerror.h"
#include "core/filesets/filesetregistry.h"
#include "core/search/catalogsearch.h"
#include "engine/Containers.h"
#include "engine/DirTravel.h"
#include "engine/ktb_io.h"

#include <QDate>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace ktbtool {

namespace {

    /// Registers one catalog after opening it read-only once: a catalog that cannot be read is reported
    /// with the engine's code, never skipped in silence.
    bool addCatalog(FilesetRegistry& registry, const std::string& path)
    {
        if (openCatalog("find", path) == nullptr) {
            return false;
        }
        try {
            registry.addFile(QFile::decodeName(QByteArray::fromStdString(path)));
        } catch (const CatalogError& error) {
            reportError("find", path + ": " + describeCode(error.code));
            return false;
        }
        return true;
    }

    /// Registers a catalog, or the catalogs directly inside a folder as the program finds them there.
    bool addOperand(FilesetRegistry& registry, const std::string& operand)
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
    void printResult(const EntityEntry& entry)
    {
        const std::string path = terminalText(CatalogSearch::resultPath(entry));
        if (const TKTBFileData* file = entry.entity->file()) {
            std::printf("%s%s\t%u\t%s\n", path.c_str(),
                displayText(std::string_view(file->Name, file->NameLength)).c_str(), file->Size,
                displayDate(file->DateTime).c_str());
        } else {
            std::printf("%s\t-\t-\n", path.c_str());
        }
    }

    /// N, NK, NM or NG (KiB, MiB, GiB).
    bool parseSize(const std::string& text, std::uint64_t& size)
    {
        std::string digits = text;
        int shift = 0;
        if (!digits.empty()) {
            switch (digits.back()) {
            case 'K':
            case 'k':
                shift = 10;
                break;
            case 'M':
            case 'm':
                shift = 20;
                break;
            case 'G':
            case 'g':
                shift = 30;
                break;
            default:
                break;
            }
        }
        if (shift != 0) {
            digits.pop_back();
        }
        if (digits.empty() || digits.size() > 12 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) {
            return false;
        }
        size = std::stoull(digits) << shift;
        return true;
    }

    /// Reads the filter options into filter; false after reporting a bad one.
    bool parseFilter(const ParsedArguments& parsed, SearchFilter& filter)
    {
        for (const auto& [name, bound] :
            { std::pair { "min-size", &filter.minSize }, std::pair { "max-size", &filter.maxSize } }) {
            if (const std::string* text = parsed.value(name)) {
                std::uint64_t size = 0;
                if (!parseSize(*text, size)) {
                    usageError("find",
                        std::string("--") + name + " takes a number of bytes (may end in K, M or G), not '" + *text
                            + "'");
                    return false;
                }
                *bound = size;
            }
        }
        for (const auto& [name, bound] : { std::pair { "newer", &filter.from }, std::pair { "older", &filter.to } }) {
            if (const std::string* text = parsed.value(name)) {
                const QDate day = QDate::fromString(QString::fromStdString(*text), Qt::ISODate);
                if (!day.isValid() || text->size() != 10) {
                    usageError("find", std::string("--") + name + " takes a day as YYYY-MM-DD, not '" + *text + "'");
                    return false;
                }
                *bound = day;
            }
        }
        if (const std::string* text = parsed.value("type")) {
            if (*text != "f" && *text != "d") {
                usageError("find", "--type takes f (files) or d (folders), not '" + *text + "'");
                return false;
            }
            filter.kinds = *text == "f" ? SearchFilter::Kinds::FilesOnly : SearchFilter::Kinds::FoldersOnly;
        }
        if (const QString why = filter.contradiction(); !why.isEmpty()) {
            usageError("find", why.toStdString());
            return false;
        }
        return true;
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
    const ParsedArguments parsed
        = parseArguments("find", arguments, "c", { "limit", "min-size", "max-size", "newer", "older", "type" });
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
    SearchFilter filter;
    if (!parseFilter(parsed, filter)) {
        return ExitError;
    }
    const std::string& pattern = parsed.operands[0];

    FilesetRegistry registry(FilesetRegistry::Options { .useListFile = false, .readOnly = true });
    bool failed = false;
    for (auto operand = parsed.operands.begin() + 1; operand != parsed.operands.end(); ++operand) {
        failed = !addOperand(registry, *operand) || failed;
    }
    TIntegerList chosen;
    for (int index = 0; index < registry.count(); ++index) {
        chosen.Add(index);
    }

    CatalogSearch search(&registry);
    // Counting needs no results kept: beyond its limit the search only counts.
    search.setResultLimit(countOnly ? 1 : limit);
    search.setSearchText(QString::fromUtf8(pattern.data(), static_cast<qsizetype>(pattern.size())));
    search.setFilter(filter);
    std::unique_ptr<Progress> progress;
    search.onProgress = [&](CatalogSearch* sender) {
        if (progress == nullptr) {
            progress = std::make_unique<Progress>("find", "'" + pattern + "'", sender->totalBytes());
        }
        progress->update(sender->doneBytes());
    };
    try {
        search.search(chosen);
    } catch (const CatalogError& error) {
        reportError("find", terminalText(error.message()));
        failed = true;
    }
    progress.reset();

    const std::uint64_t matches = search.fileMatches() + search.folderMatches();
    if (countOnly) {
        std::printf("%" PRIu64 "\n", matches);
    } else {
        try {
            for (int row = 0; row < search.fileResults.count(); ++row) {
                printResult(*search.fileResults.at(row));
            }
        } catch (const CatalogError& error) {
            std::fflush(stdout);
            reportError("find", terminalText(error.message()));
            failed = true;
        }
        std::printf("%d Discs with matches. %" PRIu64 " File matches. %" PRIu64 " Folder matches. \n",
            search.discResultCount(), search.fileMatches(), search.folderMatches());
        if (search.isLimited() && matches > static_cast<std::uint64_t>(search.fileResults.count())) {
            std::printf("Displaying the first %d items. \n", search.resultLimit());
        }
    }
    // A damaged record ends that catalog's walk: what was found before it is shown, and the damage is
    // an error, never passed over in silence.
    std::fflush(stdout);
    for (const CatalogSearch::WalkFault& fault : search.walkFaults()) {
        reportError("find",
            terminalText(fault.fileset->fileName) + ": damaged record at offset " + std::to_string(fault.offset)
                + ", the rest of this catalog was not searched (" + describeCode(fault.code) + ")");
        failed = true;
    }
    for (const QString& name : search.notSearched()) {
        reportError("find", terminalText(name) + ": the catalog cannot be opened, it was not searched");
        failed = true;
    }
    if (failed) {
        return ExitError;
    }
    return matches > 0 || search.discResultCount() > 0 ? ExitOk : ExitNothingFound;
}

} // namespace ktbtool
