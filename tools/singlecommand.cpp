// ktb single: the files of the catalogs that are held on one medium only, grouped by medium with the
// bytes a loss of that medium would take.
#include "tools/ktbtool.h"

#include "tools/companiontask.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/fitfinder.h"
#include "core/compare/singlecopyfinder.h"
#include "core/filesets/catalogerror.h"

#include "engine/ktb_utils.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace ktbtool {

namespace {

    void printText(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

    /// displayText appended: plain printable ASCII, nearly every name, is copied as it is.
    void appendDisplayText(std::string& text, std::string_view bytes)
    {
        const bool plain = std::all_of(bytes.begin(), bytes.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte >= 0x20 && byte < 0x7F;
        });
        if (plain) {
            text.append(bytes);
            return;
        }
        text += displayText(bytes);
    }

    /// displayDate written at out, without the C library's formatting (ten million lines are written);
    /// answers the end.
    char* writeDate(char* out, std::uint32_t dosDateTime)
    {
        std::tm time {};
        if (dosDateTime == 0 || !ktbUnpackDosDateTime(dosDateTime, time)) {
            *out = '-';
            return out + 1;
        }
        const auto put = [](char* at, unsigned value, int digits, char after) {
            for (int digit = digits - 1; digit >= 0; --digit) {
                at[digit] = static_cast<char>('0' + value % 10);
                value /= 10;
            }
            at[digits] = after;
            return at + digits + 1;
        };
        out = put(out, static_cast<unsigned>(time.tm_year + 1900), 4, '-');
        out = put(out, static_cast<unsigned>(time.tm_mon + 1), 2, '-');
        out = put(out, static_cast<unsigned>(time.tm_mday), 2, ' ');
        out = put(out, static_cast<unsigned>(time.tm_hour), 2, ':');
        out = put(out, static_cast<unsigned>(time.tm_min), 2, ':');
        return put(out, static_cast<unsigned>(time.tm_sec), 2, '\t') - 1;
    }

    /// "\tSIZE\tDATE\tPATH\n", the path on the medium.
    void formatFile(const SingleCopyFile& file, std::string& text)
    {
        // The folder's path is shown once for all its files; each worker keeps its own.
        thread_local std::pair<int, std::uint32_t> s_folder { -1, 0 };
        thread_local std::string s_folderText;
        if (s_folder != std::make_pair(file.catalog, file.folderOffset)) {
            s_folder = { file.catalog, file.folderOffset };
            s_folderText = displayText(file.pathInDisc);
        }
        char line[48];
        char* at = line;
        *at++ = '\t';
        at = std::to_chars(at, line + 12, file.size).ptr;
        *at++ = '\t';
        at = writeDate(at, file.dateTime);
        *at++ = '\t';
        text.append(line, at);
        text += s_folderText;
        appendDisplayText(text, file.name);
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
