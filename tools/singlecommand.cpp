// ktb single: the files of the catalogs that are held on one medium only, grouped by medium with the
// bytes a loss of that medium would take.
#include "tools/ktbtool.h"

#include "tools/companiontask.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/fitfinder.h"
#include "core/compare/singlecopyfinder.h"
#include "core/filesets/catalogerror.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace ktbtool {

namespace {

    void printText(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

    /// "\tSIZE\tDATE\tPATH\n"
    void formatFile(const SingleCopyFile& file, std::string& text)
    {
        char size[16];
        const auto end = std::to_chars(size, size + sizeof size, file.size).ptr;
        text += '\t';
        text.append(size, end);
        text += '\t';
        text += displayDate(file.dateTime);
        text += '\t';
        text += displayText(file.folderPath);
        text += displayText(file.name);
        text += '\n';
    }

} // namespace

int runSingle(const std::vector<std::string>& arguments)
{
    std::vector<std::string> rest = arguments;
    const bool csv = takeSwitch(rest, "--csv");
    SingleCopyOptions options;
    options.sameDate = takeSwitch(rest, "--same-date");
    const ParsedArguments parsed = parseArguments("single", rest, "", { "min-size" });
    if (parsed.help) {
        return printHelp("single");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (const std::string* minimum = parsed.value("min-size")) {
        std::uint64_t value = 0;
        if (*minimum != "0" && (!parseByteAmount(pathText(*minimum), value) || value > UINT32_MAX)) {
            return usageError("single", "--min-size takes a number of bytes (K, M, G allowed), not '" + *minimum + "'");
        }
        options.minimumSize = static_cast<std::uint32_t>(std::max<std::uint64_t>(value, 1));
    }
    if (parsed.operands.empty()) {
        return usageError("single", "no catalog file or folder given");
    }
    CompanionCatalogs catalogs;
    bool failed = false;
    loadOperands("single", catalogs, parsed.operands, failed);
    CatalogWalk walk(catalogs.wholeTargets());
    TaskRun run("single", walk);
    SingleCopyReport report;
    QStringList faults;
    try {
        report = findSingleCopies(catalogs, walk, options);
        faults = report.faults;
        if (csv) {
            printCsv(singleCopyCsvHeader());
            listSingleCopies(
                catalogs, report, {}, walk,
                [&report](const SingleCopyFile& file, std::string& text) {
                    text += singleCopyCsvLine(report.media[file.medium], file).toStdString();
                },
                [](std::size_t, const std::string& text) { printText(text); }, faults);
        } else {
            listSingleCopies(
                catalogs, report, {}, walk, formatFile,
                [&report](std::size_t index, const std::string& text) {
                    const SingleCopyMedium& medium = report.media[index];
                    std::printf("%s\t%" PRIu64 " files\t%" PRIu64 " bytes at risk\tscanned %s\tserial %08" PRIX32 "\n",
                        terminalText(medium.path).c_str(), medium.files, medium.bytes,
                        displayDate(medium.scanTime).c_str(), medium.serial);
                    printText(text);
                },
                faults);
        }
    } catch (const CatalogError& error) {
        reportError("single", terminalText(error.message()));
        return ExitError;
    }
    if (run.interrupted()) {
        return run.endBySignal();
    }
    if (!csv) {
        std::printf("%" PRIu64 " files on one medium only, %" PRIu64 " bytes at risk, on %zu media; %" PRIu64
                    " files walked\n",
            report.singleFiles, report.bytesAtRisk, report.media.size(), report.filesWalked);
    }
    std::fflush(stdout);
    failed = reportFaults("single", faults) || failed;
    if (failed) {
        return ExitError;
    }
    return report.media.empty() ? ExitOk : ExitNothingFound;
}

} // namespace ktbtool
