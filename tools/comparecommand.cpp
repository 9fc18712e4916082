// ktb compare, ktb dupes and ktb missing: what differs between two discs, filesets or a disc and a
// folder; which files are stored more than once; which files of a folder are on no disc yet.
#include "tools/ktbtool.h"

#include "tools/companiontask.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/comparecsv.h"
#include "core/compare/comparesource.h"
#include "core/compare/duplicatefinder.h"
#include "core/compare/missingfinder.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"

#include <QFile>
#include <QFileInfo>
#include <cinttypes>
#include <cstdio>
#include <memory>

namespace ktbtool {

namespace {

    /// One side of ktb compare: a catalog file (and a disc of it) or a location.
    struct Side {
        std::string operand;
        bool hasDisc = false;
        std::uint32_t disc = 0;
    };

    bool isCatalogFile(const QString& path)
    {
        const QFileInfo info(path);
        return info.isFile() && info.suffix().compare(QStringLiteral("ktb"), Qt::CaseInsensitive) == 0;
    }

    /// The index among catalogs of the catalog file at path, adding it when needed; -1 (reported) when
    /// it cannot be read.
    int catalogIndex(CompanionCatalogs& catalogs, const QString& path)
    {
        const QString wanted = QFileInfo(path).canonicalFilePath();
        const auto find = [&]() {
            for (int index = 0; index < catalogs.count(); ++index) {
                if (QFileInfo(catalogs.at(index).fileName).canonicalFilePath() == wanted) {
                    return index;
                }
            }
            return -1;
        };
        int index = find();
        if (index < 0 && catalogs.addPath(path)) {
            index = find();
        }
        return index;
    }

    void printEntry(const ComparedEntry& entry, const std::string& entryPath)
    {
        static const char* const marks[] = { " ", "-", "+", "~" };
        std::string path = terminalText(decodeCatalogText(entryPath));
        if (entry.folder) {
            path += '\\';
        }
        std::printf("%s\t%s", marks[static_cast<int>(entry.difference)], path.c_str());
        if (entry.difference == Difference::Changed) {
            std::printf("\t%" PRIu32 " %s\t%" PRIu32 " %s", entry.firstSize, displayDate(entry.firstDate).c_str(),
                entry.secondSize, displayDate(entry.secondDate).c_str());
        }
        std::printf("\n");
    }

    std::string countText(const DifferenceCount& count)
    {
        return std::to_string(count.files) + " files, " + std::to_string(count.folders) + " folders";
    }

} // namespace

int runCompare(const std::vector<std::string>& arguments)
{
    std::vector<std::string> rest = arguments;
    const bool csv = takeSwitch(rest, "--csv");
    std::vector<Side> sides;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& argument = rest[i];
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            return printHelp("compare");
        }
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (argument == "--disc" || argument.starts_with("--disc="))) {
            std::string value = argument.size() > 6 ? argument.substr(7) : "";
            if (argument == "--disc") {
                if (i + 1 == rest.size()) {
                    return usageError("compare", "--disc needs an offset");
                }
                value = rest[++i];
            }
            if (sides.empty() || sides.back().hasDisc) {
                return usageError("compare", "--disc follows the catalog file it is a disc of");
            }
            if (!parseOffset(value, sides.back().disc)) {
                return usageError("compare", "'" + value + "' is no offset");
            }
            sides.back().hasDisc = true;
            continue;
        }
        if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            return usageError("compare", "unknown option '" + argument + "'");
        }
        sides.push_back({ argument });
    }
    if (sides.size() != 2) {
        return usageError("compare", "two catalogs, discs or folders are compared");
    }

    CompanionCatalogs catalogs;
    CompareSource sources[2];
    for (int i = 0; i < 2; ++i) {
        const QString path = pathText(sides[i].operand);
        if (!isCatalogFile(path)) {
            if (sides[i].hasDisc) {
                return usageError("compare", sides[i].operand + " is no catalog file (*.ktb): --disc takes none");
            }
            sources[i] = CompareSource::place(path);
            continue;
        }
        const int index = catalogIndex(catalogs, path);
        if (index < 0) {
            reportProblems("compare", catalogs);
            return ExitError;
        }
        if (sides[i].hasDisc
            && !checkDiscOffset("compare", sides[i].operand, catalogs.at(index).fileset->handle(), sides[i].disc)) {
            return ExitError;
        }
        sources[i] = sides[i].hasDisc ? CompareSource::discOf(index, sides[i].disc) : CompareSource::fileset(index);
    }

    CatalogWalk walk(comparisonTargets(sources[0], sources[1], catalogs));
    TaskRun run("compare", walk);
    TreeComparison comparison;
    try {
        comparison = compareSources(sources[0], sources[1], catalogs, walk);
    } catch (const CatalogError& error) {
        reportError("compare", terminalText(error.message()));
        return ExitError;
    }
    if (run.interrupted()) {
        return run.endBySignal();
    }
    if (csv) {
        printCsv(comparisonCsv(comparison));
    } else {
        ComparedPaths paths;
        for (const ComparedEntry& entry : comparison.entries) {
            const std::string& path = paths.next(entry);
            if (entry.difference != Difference::None) {
                printEntry(entry, path);
            }
        }
        std::printf(
            "Only in %s: %s\n", terminalText(comparison.firstName).c_str(), countText(comparison.onlyFirst).c_str());
        std::printf(
            "Only in %s: %s\n", terminalText(comparison.secondName).c_str(), countText(comparison.onlySecond).c_str());
        std::printf("Changed: %" PRIu64 " files\n", comparison.changed.files);
    }
    std::fflush(stdout);
    if (reportFaults("compare", comparison.faults)) {
        return ExitError;
    }
    return comparison.differs() ? ExitNothingFound : ExitOk;
}

int runDupes(const std::vector<std::string>& arguments)
{
    std::vector<std::string> rest = arguments;
    const bool csv = takeSwitch(rest, "--csv");
    DuplicateOptions options;
    options.sizeOnly = takeSwitch(rest, "--size-only");
    options.sameDate = takeSwitch(rest, "--same-date");
    const ParsedArguments parsed = parseArguments("dupes", rest, "", { "min-size" });
    if (parsed.help) {
        return printHelp("dupes");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (const std::string* minimum = parsed.value("min-size")) {
        std::uint32_t value = 0;
        if (!parseOffset(*minimum, value)) {
            return usageError("dupes", "--min-size takes a number of bytes, not '" + *minimum + "'");
        }
        options.minimumSize = std::max<std::uint32_t>(value, 1);
    }
    if (parsed.operands.empty()) {
        return usageError("dupes", "no catalog file or folder given");
    }
    CompanionCatalogs catalogs;
    bool failed = false;
    loadOperands("dupes", catalogs, parsed.operands, failed);
    CatalogWalk walk(catalogs.wholeTargets());
    TaskRun run("dupes", walk);
    DuplicateReport report;
    try {
        report = findDuplicates(catalogs, walk, options);
    } catch (const CatalogError& error) {
        reportError("dupes", terminalText(error.message()));
        return ExitError;
    }
    if (run.interrupted()) {
        return run.endBySignal();
    }
    if (csv) {
        printCsv(duplicatesCsv(report));
    } else {
        for (const DuplicateGroup& group : report.groups) {
            std::printf("%" PRIu32 "\t%zu copies\t%" PRIu64 " bytes wasted\t%s\n", group.size(), group.files.size(),
                group.wasted(), terminalText(group.files.front().name).c_str());
            for (const FileLocation& file : group.files) {
                std::printf("\t%s\t%s\n", terminalText(file.folderPath + file.name).c_str(),
                    displayDate(file.dateTime).c_str());
            }
        }
        for (const RepeatedDisc& repeated : report.discs) {
            std::printf("%s\n",
                repeated.reason == RepeatedDisc::Reason::SameSerial
                    ? "Disc catalogued twice (the same serial number):"
                    : "Disc catalogued twice (the same folders and files under other serial numbers):");
            for (const DiscLocation& disc : repeated.discs) {
                std::printf("\t%s\\%s\\\t%08" PRIX32 "\t%" PRIu32 "\n",
                    terminalText(catalogs.at(disc.catalog).description).c_str(), terminalText(disc.title).c_str(),
                    disc.serial, disc.offset);
            }
        }
        std::printf("%zu groups, %" PRIu64 " duplicate files, %" PRIu64 " bytes wasted, %zu discs catalogued twice; "
                    "%" PRIu64 " files walked\n",
            report.groups.size(), report.duplicateFiles(), report.wasted(), report.discs.size(), report.filesWalked);
    }
    std::fflush(stdout);
    failed = reportFaults("dupes", report.faults) || failed;
    if (failed) {
        return ExitError;
    }
    return report.groups.empty() && report.discs.empty() ? ExitOk : ExitNothingFound;
}

int runMissing(const std::vector<std::string>& arguments)
{
    std::vector<std::string> rest = arguments;
    const bool csv = takeSwitch(rest, "--csv");
    const bool listHeld = takeSwitch(rest, "--held");
    MissingOptions options;
    options.sameDate = takeSwitch(rest, "--same-date");
    const ParsedArguments parsed = parseArguments("missing", rest, "");
    if (parsed.help) {
        return printHelp("missing");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.size() < 2) {
        return usageError("missing", "a local folder and at least one catalog file or folder are needed");
    }
    CompanionCatalogs catalogs;
    bool failed = false;
    loadOperands("missing", catalogs, { parsed.operands.begin() + 1, parsed.operands.end() }, failed);
    CatalogWalk walk(catalogs.wholeTargets());
    TaskRun run("missing", walk);
    MissingReport report;
    try {
        report = findMissing(pathText(parsed.operands[0]), catalogs, walk, options);
    } catch (const CatalogError& error) {
        reportError("missing", terminalText(error.message()));
        return ExitError;
    }
    if (run.interrupted()) {
        return run.endBySignal();
    }
    if (report.files.empty() && !report.faults.isEmpty()) {
        reportFaults("missing", report.faults);
        return ExitError;
    }
    if (csv) {
        printCsv(missingCsv(report));
    } else {
        for (const LocalFile& file : report.files) {
            const std::string path = displayText(file.path);
            if (!file.held()) {
                std::printf(
                    "missing\t%" PRIu64 "\t%s\t%s\n", file.size, displayDate(file.dateTime).c_str(), path.c_str());
            } else if (listHeld) {
                std::printf("held\t%" PRIu64 "\t%s\t%s\t%s\n", file.size, displayDate(file.dateTime).c_str(),
                    path.c_str(), terminalText(file.shownHolders.join(QStringLiteral("; "))).c_str());
            }
        }
        std::printf("%" PRIu64 " of %zu files are on no disc (%" PRIu64 " bytes); %" PRIu64 " are held\n",
            report.missingFiles, report.files.size(), report.missingBytes, report.heldFiles);
    }
    std::fflush(stdout);
    failed = reportFaults("missing", report.faults) || failed;
    if (failed) {
        return ExitError;
    }
    return report.missingFiles > 0 ? ExitNothingFound : ExitOk;
}

} // namespace ktbtool
