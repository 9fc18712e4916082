#pragma once
// Exporting catalogs: the targets of a walk are written one after the other, in the order given, by
// one writer into one output, record by record as the walk reads them (nothing is gathered in memory
// but the output's buffer). The window, `ktb export` and the tests all export through exportCatalogs.
//
//     std::unique_ptr<CatalogWalk> walk = makeExportWalk(targets);
//     ExportFile output(path);
//     const ExportResult result = exportCatalogs(catalogs, *walk, { ExportFormat::Csv }, output);

#include "core/companion/catalogwalk.h"
#include "core/export/exportfile.h"
#include "core/export/exportfilter.h"
#include "core/export/exportwriter.h"

#include <QString>
#include <QStringList>
#include <memory>

class CompanionCatalogs;

struct ExportOptions {
    ExportFormat format = ExportFormat::Csv;
    bool byteOrderMark = false; ///< CSV only: the CSV for spreadsheet programs (csvexportwriter.h)
    ExportSelection selection;
};

struct ExportResult {
    bool written = false; ///< the output is whole under its name
    bool cancelled = false;
    /// Why nothing was written, for the user: the output's error, or the catalogs that could not be
    /// read to their end (an export is all or nothing). Empty when written or cancelled.
    QString error;
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
};

/// The walk an export runs: the targets in order, on one worker.
std::unique_ptr<CatalogWalk> makeExportWalk(std::vector<WalkTarget> targets);

/// Runs walk (made by makeExportWalk; walk.onProgress is called on this thread) and writes what it
/// reads in the format of options into output, which is opened here and committed only when every
/// target was read to its end and every byte written. A stop request (walk.requestStop()) or a failure
/// leaves no file under the output's name; an output that names a catalog file is refused.
ExportResult exportCatalogs(
    const CompanionCatalogs& catalogs, CatalogWalk& walk, const ExportOptions& options, ExportFile& output);

/// The offset of the folder at path in the disc at discOffset: the folders' names from the disc's top,
/// each after a "/" ("/Music/Rock"), compared as UTF-8 (names stored in Windows-1252 as their
/// characters). False when the disc holds no such folder or cannot be read.
bool findExportFolder(TKTBHandle* handle, std::uint32_t discOffset, const QString& path, std::uint32_t& offset);

/// The file name extension of a format: "csv", "json", "html", "txt".
QString exportExtension(ExportFormat format);
/// The format of a name ("csv", "json", "html", "text"); false for any other.
bool exportFormatFromName(const QString& name, ExportFormat& format);
