// ktb export: catalogs out to CSV, JSON, HTML or text, as the export window writes them.
#include "tools/ktbtool.h"

#include "core/companion/companioncatalogs.h"
#include "core/export/catalogexport.h"
#include "core/export/exportfile.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"

#include <QFile>
#include <charconv>
#include <memory>

namespace ktbtool {

namespace {

    std::string localText(const QString& text) { return QFile::encodeName(text).toStdString(); }

} // namespace

int runExport(const std::vector<std::string>& arguments)
{
    // The switches; the shared parser knows long options with values only.
    std::vector<std::string> rest;
    ExportOptions options;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--folders-only") {
            options.selection.foldersOnly = true;
            continue;
        }
        if (!optionsEnded && argument == "--bom") {
            options.byteOrderMark = true;
            continue;
        }
        optionsEnded = optionsEnded || argument == "--";
        rest.push_back(argument);
    }
    const ParsedArguments parsed
        = parseArguments("export", rest, "", { "format", "output", "disc", "folder", "depth" });
    if (parsed.help) {
        return printHelp("export");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    const std::string* format = parsed.value("format");
    if (format == nullptr) {
        return usageError("export", "--format csv|json|html|text is needed");
    }
    if (!exportFormatFromName(QString::fromStdString(*format), options.format)) {
        return usageError("export", "--format takes csv, json, html or text, not '" + *format + "'");
    }
    if (const std::string* depth = parsed.value("depth")) {
        const char* end = depth->data() + depth->size();
        if (std::from_chars(depth->data(), end, options.selection.depth).ptr != end || options.selection.depth < 1) {
            return usageError("export", "--depth takes a number of levels from 1, not '" + *depth + "'");
        }
    }
    if (parsed.operands.empty()) {
        return usageError("export", "no catalog file or folder given");
    }
    std::uint32_t disc = 0;
    const std::string* discText = parsed.value("disc");
    if (discText != nullptr && !parseOffset(*discText, disc)) {
        return usageError("export", "--disc takes a disc's offset as 'ktb ls' lists it, not '" + *discText + "'");
    }

    CompanionCatalogs catalogs;
    for (const std::string& operand : parsed.operands) {
        catalogs.addPath(QFile::decodeName(QByteArray::fromStdString(operand)));
    }
    for (const CatalogProblem& problem : catalogs.problems()) {
        const std::string path = localText(problem.path);
        reportError("export",
            problem.code == KTB_OK ? path + ": no such file or folder" : path + ": " + describeCode(problem.code));
    }
    if (!catalogs.problems().empty()) {
        return ExitError;
    }
    std::vector<WalkTarget> targets;
    for (int index = 0; index < catalogs.count(); ++index) {
        targets.push_back({ index, catalogs.at(index).fileset, {} });
    }
    if (discText != nullptr) {
        if (targets.size() != 1) {
            return usageError("export", "--disc needs one catalog file");
        }
        const std::string path = localText(catalogs.at(0).fileName);
        if (!checkDiscOffset("export", path, catalogs.at(0).fileset->handle(), disc)) {
            return ExitError;
        }
        targets[0].discs.push_back(disc);
        if (const std::string* folder = parsed.value("folder")) {
            if (!findExportFolder(catalogs.at(0).fileset->handle(), disc, QString::fromStdString(*folder),
                    options.selection.folder)) {
                reportError("export", path + ": the disc holds no folder " + *folder);
                return ExitError;
            }
        }
    } else if (parsed.value("folder") != nullptr) {
        return usageError("export", "--folder needs --disc");
    }

    const std::string* outputPath = parsed.value("output");
    const std::unique_ptr<ExportFile> output = outputPath == nullptr
        ? std::make_unique<ExportFile>()
        : std::make_unique<ExportFile>(QFile::decodeName(QByteArray::fromStdString(*outputPath)));
    const std::unique_ptr<CatalogWalk> walk = makeExportWalk(std::move(targets));
    std::unique_ptr<Progress> progress;
    InterruptGuard interrupt;
    walk->onProgress = [&](std::uint64_t done, std::uint64_t total) {
        if (InterruptGuard::requested()) {
            walk->requestStop();
        }
        if (progress == nullptr) {
            progress = std::make_unique<Progress>("export", outputPath != nullptr ? *outputPath : "", total);
        }
        progress->update(done);
    };
    ExportResult result;
    try {
        result = exportCatalogs(catalogs, *walk, options, *output);
    } catch (const CatalogError& error) {
        result.error = error.message();
    }
    progress.reset();
    if (InterruptGuard::requested()) {
        reportError("export", "interrupted; nothing was written");
        return interrupt.endBySignal();
    }
    if (!result.written) {
        for (const QString& line : result.error.split(QLatin1Char('\n'))) {
            reportError("export", localText(line));
        }
        if (outputPath != nullptr) {
            reportError("export", *outputPath + " was not written");
        }
        return ExitError;
    }
    if (outputPath != nullptr) {
        std::printf("Exported %llu folders and %llu files to %s.\n", static_cast<unsigned long long>(result.folders),
            static_cast<unsigned long long>(result.files), outputPath->c_str());
    }
    return ExitOk;
}

} // namespace ktbtool
