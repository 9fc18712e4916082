// ktb fit: which media of the catalogs have room for an amount of bytes or a folder, and how a folder's
// top-level entries go onto new media of one size.
#include "tools/ktbtool.h"

#include "tools/companiontask.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/fitfinder.h"

#include <QFileInfo>
#include <cinttypes>
#include <cstdio>

namespace ktbtool {

namespace {

    /// The bytes a FOLDER holds (measured, reported when it cannot be) or a SIZE stands for; false
    /// (reported) when the operand is neither.
    bool neededBytes(const std::string& operand, std::uint64_t& bytes, std::string& shown)
    {
        const QString path = pathText(operand);
        // A file or folder of that name comes first.
        if (!QFileInfo::exists(path)) {
            if (parseByteAmount(path, bytes)) {
                shown = std::to_string(bytes) + " bytes";
                return true;
            }
            usageError("fit", "'" + operand + "' is no amount of bytes, file or folder");
            return false;
        }
        const FolderMeasure measure = measureFolder(path);
        if (!measure.complete) {
            reportError("fit", terminalText(measure.failure));
            return false;
        }
        bytes = measure.bytes;
        shown
            = operand + " (" + std::to_string(measure.bytes) + " bytes in " + std::to_string(measure.files) + " files)";
        return true;
    }

    int planOntoNewMedia(const std::string& sizeText, const std::vector<std::string>& operands)
    {
        std::uint64_t mediumSize = 0;
        if (!parseByteAmount(pathText(sizeText), mediumSize)) {
            return usageError(
                "fit", "--new takes the size of a medium (25G, 4.7GB, 700M, dvd), not '" + sizeText + "'");
        }
        if (operands.size() != 1) {
            return usageError("fit", "--new plans one folder onto new media; no catalogs are read");
        }
        const FolderMeasure measure = measureFolder(pathText(operands[0]));
        if (!measure.complete) {
            reportError("fit", terminalText(measure.failure));
            return ExitError;
        }
        const MediaPlan plan = planNewMedia(measure.entries, mediumSize);
        const auto entryLine = [&measure](std::size_t index, const char* lead) {
            const FolderEntryBytes& entry = measure.entries[index];
            std::printf(
                "%s\t%" PRIu64 "\t%s%s\n", lead, entry.bytes, displayText(entry.name).c_str(), entry.folder ? "/" : "");
        };
        for (std::size_t medium = 0; medium < plan.media.size(); ++medium) {
            const PlannedMedium& planned = plan.media[medium];
            std::printf("medium %zu\t%" PRIu64 " of %" PRIu64 " bytes\t%zu entries\n", medium + 1, planned.bytes,
                mediumSize, planned.entries.size());
            for (const std::size_t index : planned.entries) {
                entryLine(index, "");
            }
        }
        for (const std::size_t index : plan.tooLarge) {
            entryLine(index, "too large");
        }
        std::printf("%zu entries, %" PRIu64 " bytes, on %zu new media of %" PRIu64 " bytes; %zu larger than a "
                    "medium\n",
            measure.entries.size(), measure.bytes, plan.media.size(), mediumSize, plan.tooLarge.size());
        return plan.tooLarge.empty() ? ExitOk : ExitNothingFound;
    }

} // namespace

int runFit(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("fit", arguments, "", { "new" });
    if (parsed.help) {
        return printHelp("fit");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (const std::string* size = parsed.value("new")) {
        return planOntoNewMedia(*size, parsed.operands);
    }
    if (parsed.operands.size() < 2) {
        return usageError("fit", "an amount of bytes or a folder, and at least one catalog file or folder, are needed");
    }
    std::uint64_t needed = 0;
    std::string shown;
    if (!neededBytes(parsed.operands[0], needed, shown)) {
        return ExitError;
    }
    CompanionCatalogs catalogs;
    bool failed = false;
    loadOperands("fit", catalogs, { parsed.operands.begin() + 1, parsed.operands.end() }, failed);
    QStringList faults;
    const std::vector<MediumRoom> media = readMediaRoom(catalogs, catalogs.wholeTargets(), faults);
    const std::vector<MediumRoom> holding = mediaThatHold(media, needed);
    for (const MediumRoom& medium : holding) {
        std::printf("%" PRIu64 "\t%" PRId64 "\t%s\t%s\n", medium.free(), medium.capacity,
            displayDate(medium.scanTime).c_str(), terminalText(medium.path).c_str());
    }
    std::printf("%zu of %zu media have room for %s\n", holding.size(), media.size(), shown.c_str());
    std::fflush(stdout);
    failed = reportFaults("fit", faults) || failed;
    if (failed) {
        return ExitError;
    }
    return holding.empty() ? ExitNothingFound : ExitOk;
}

} // namespace ktbtool
