// ktb stats: the figures of the statistics window on the command line: totals, file kinds and
// extensions, sizes, years and discs of catalogs and folders of catalogs.
#include "tools/ktbtool.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/filesets/catalogerror.h"
#include "core/statistics/statisticscollector.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cinttypes>
#include <cstdio>
#include <memory>

namespace ktbtool {

namespace {

    std::string terminalText(const QString& text)
    {
        const QByteArray bytes = text.toUtf8();
        return displayText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }

    QString dateText(std::uint32_t dosDateTime) { return QString::fromStdString(displayDate(dosDateTime)); }

    QString serialText(std::uint32_t serial)
    {
        return QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper();
    }

    /// One table: a header line and rows, tab-separated.
    void printRow(const QStringList& fields)
    {
        std::string line;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0) {
                line += '\t';
            }
            line += terminalText(fields.at(i));
        }
        std::printf("%s\n", line.c_str());
    }

    QString number(std::uint64_t value) { return QString::number(value); }
    QString number(std::int64_t value) { return QString::number(value); }

    void printTotals(const CollectionStatistics& figures)
    {
        std::printf("Owners:    %" PRIu64 "\n", figures.owners);
        std::printf("Filesets:  %" PRIu64 "\n", figures.filesets);
        std::printf("Discs:     %" PRIu64 "\n", figures.discs);
        std::printf("Folders:   %" PRIu64 "\n", figures.folders);
        std::printf("Files:     %" PRIu64 "\n", figures.files.files);
        std::printf("Bytes:     %" PRIu64 "\n", figures.files.bytes);
    }

    void printTable(const CollectionStatistics& figures, const std::string& by)
    {
        std::printf("\n");
        if (by == "kind") {
            printRow({ QStringLiteral("Kind"), QStringLiteral("Files"), QStringLiteral("Bytes") });
            for (int kind = 0; kind < FileKindCount; ++kind) {
                const FileCount& count = figures.kinds[static_cast<std::size_t>(kind)];
                printRow({ fileKindName(static_cast<FileKind>(kind)), number(count.files), number(count.bytes) });
            }
        } else if (by == "ext") {
            printRow({ QStringLiteral("Extension"), QStringLiteral("Kind"), QStringLiteral("Files"),
                QStringLiteral("Bytes") });
            for (const ExtensionFigures& extension : figures.extensions) {
                printRow({ extensionLabel(extension.extension), fileKindName(extension.kind),
                    number(extension.count.files), number(extension.count.bytes) });
            }
        } else if (by == "year") {
            printRow({ QStringLiteral("Year"), QStringLiteral("Files"), QStringLiteral("Bytes") });
            for (const YearFigures& year : figures.years) {
                printRow({ year.year == 0 ? QStringLiteral("unknown") : QString::number(year.year),
                    number(year.count.files), number(year.count.bytes) });
            }
        } else if (by == "size") {
            printRow({ QStringLiteral("Size"), QStringLiteral("Files"), QStringLiteral("Bytes") });
            for (int size = 0; size < SizeClassCount; ++size) {
                const FileCount& count = figures.sizes[static_cast<std::size_t>(size)];
                printRow({ sizeClassName(size), number(count.files), number(count.bytes) });
            }
        } else {
            printRow({ QStringLiteral("Fileset"), QStringLiteral("Offset"), QStringLiteral("Title"),
                QStringLiteral("Serial"), QStringLiteral("Scanned"), QStringLiteral("Used"), QStringLiteral("Capacity"),
                QStringLiteral("Fill"), QStringLiteral("Folders"), QStringLiteral("Files"), QStringLiteral("Bytes") });
            for (const DiscFigures& disc : figures.discRows) {
                const double fill = disc.fillPercent();
                printRow({ disc.fileset, QString::number(disc.offset), disc.title, serialText(disc.serial),
                    dateText(disc.scanTime), number(disc.used), number(disc.capacity),
                    disc.damaged() ? QStringLiteral("damaged")
                        : fill < 0 ? QStringLiteral("-")
                                   : QString::number(fill, 'f', 1) + QLatin1Char('%'),
                    number(disc.folders), number(disc.files.files), number(disc.files.bytes) });
            }
        }
    }

    QJsonObject countObject(const FileCount& count)
    {
        return { { QStringLiteral("files"), static_cast<qint64>(count.files) },
            { QStringLiteral("bytes"), static_cast<qint64>(count.bytes) } };
    }

    QJsonValue dateValue(std::uint32_t dosDateTime)
    {
        const std::string text = displayDate(dosDateTime);
        return text == "-" ? QJsonValue() : QJsonValue(QString::fromStdString(text));
    }

    QJsonObject totalsObject(const CollectionStatistics& figures)
    {
        QJsonObject totals = countObject(figures.files);
        totals.insert(QStringLiteral("owners"), static_cast<qint64>(figures.owners));
        totals.insert(QStringLiteral("filesets"), static_cast<qint64>(figures.filesets));
        totals.insert(QStringLiteral("discs"), static_cast<qint64>(figures.discs));
        totals.insert(QStringLiteral("folders"), static_cast<qint64>(figures.folders));
        return totals;
    }

    QJsonArray filesetsArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (const FilesetFigures& fileset : figures.filesetRows) {
            QJsonObject row = countObject(fileset.files);
            row.insert(QStringLiteral("file"), fileset.fileName);
            row.insert(QStringLiteral("owner"), fileset.owner);
            row.insert(QStringLiteral("name"), fileset.description);
            row.insert(QStringLiteral("discs"), static_cast<qint64>(fileset.discs));
            row.insert(QStringLiteral("folders"), static_cast<qint64>(fileset.folders));
            row.insert(QStringLiteral("used"), static_cast<qint64>(fileset.used));
            row.insert(QStringLiteral("capacity"), static_cast<qint64>(fileset.capacity));
            rows.append(row);
        }
        return rows;
    }

    QJsonArray discsArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (const DiscFigures& disc : figures.discRows) {
            QJsonObject row = countObject(disc.files);
            row.insert(QStringLiteral("fileset"), disc.fileset);
            row.insert(QStringLiteral("offset"), static_cast<qint64>(disc.offset));
            row.insert(QStringLiteral("title"), disc.title);
            row.insert(QStringLiteral("serial"), serialText(disc.serial));
            row.insert(QStringLiteral("audio"), (disc.flags & KTB_DISC_AUDIO) != 0);
            row.insert(QStringLiteral("scanned"), dateValue(disc.scanTime));
            row.insert(QStringLiteral("used"), static_cast<qint64>(disc.used));
            row.insert(QStringLiteral("capacity"), static_cast<qint64>(disc.capacity));
            const double fill = disc.fillPercent();
            row.insert(QStringLiteral("fillPercent"), fill < 0 ? QJsonValue() : QJsonValue(fill));
            if (disc.damaged()) {
                row.insert(QStringLiteral("damaged"), true);
            }
            row.insert(QStringLiteral("folders"), static_cast<qint64>(disc.folders));
            rows.append(row);
        }
        return rows;
    }

    QJsonArray kindsArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (int kind = 0; kind < FileKindCount; ++kind) {
            QJsonObject row = countObject(figures.kinds[static_cast<std::size_t>(kind)]);
            row.insert(QStringLiteral("kind"), fileKindName(static_cast<FileKind>(kind)));
            rows.append(row);
        }
        return rows;
    }

    QJsonArray extensionsArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (const ExtensionFigures& extension : figures.extensions) {
            QJsonObject row = countObject(extension.count);
            row.insert(QStringLiteral("extension"), extension.extension);
            row.insert(QStringLiteral("kind"), fileKindName(extension.kind));
            rows.append(row);
        }
        return rows;
    }

    QJsonArray sizesArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (int size = 0; size < SizeClassCount; ++size) {
            QJsonObject row = countObject(figures.sizes[static_cast<std::size_t>(size)]);
            row.insert(QStringLiteral("size"), sizeClassName(size));
            row.insert(QStringLiteral("from"), static_cast<qint64>(sizeClassStart(size)));
            rows.append(row);
        }
        return rows;
    }

    QJsonArray yearsArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (const YearFigures& year : figures.years) {
            QJsonObject row = countObject(year.count);
            row.insert(QStringLiteral("year"), year.year == 0 ? QJsonValue() : QJsonValue(year.year));
            rows.append(row);
        }
        return rows;
    }

    QJsonArray scanMonthsArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (const ScanMonthFigures& month : figures.scanMonths) {
            const QJsonValue name = month.year == 0
                ? QJsonValue()
                : QJsonValue(QStringLiteral("%1-%2").arg(month.year).arg(month.month, 2, 10, QLatin1Char('0')));
            rows.append(QJsonObject { { QStringLiteral("month"), name },
                { QStringLiteral("discs"), static_cast<qint64>(month.discs) },
                { QStringLiteral("used"), static_cast<qint64>(month.used) } });
        }
        return rows;
    }

    QJsonArray largestArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (const LargestFile& file : figures.largestFiles) {
            rows.append(QJsonObject { { QStringLiteral("path"), file.folderPath },
                { QStringLiteral("name"), file.name }, { QStringLiteral("size"), static_cast<qint64>(file.size) },
                { QStringLiteral("modified"), dateValue(file.dateTime) } });
        }
        return rows;
    }

    QJsonArray largestFoldersArray(const CollectionStatistics& figures)
    {
        QJsonArray rows;
        for (const LargestFolder& folder : figures.largestFolders) {
            QJsonObject row = countObject(folder.below);
            row.insert(QStringLiteral("path"), folder.path);
            rows.append(row);
        }
        return rows;
    }

    void printJson(const CollectionStatistics& figures, const std::string* by)
    {
        QJsonObject document { { QStringLiteral("totals"), totalsObject(figures) } };
        const auto section = [by](const char* name) { return by == nullptr || *by == name; };
        if (by == nullptr) {
            document.insert(QStringLiteral("filesets"), filesetsArray(figures));
            document.insert(QStringLiteral("scanMonths"), scanMonthsArray(figures));
            document.insert(QStringLiteral("largestFiles"), largestArray(figures));
            document.insert(QStringLiteral("largestFolders"), largestFoldersArray(figures));
        }
        if (section("disc")) {
            document.insert(QStringLiteral("discs"), discsArray(figures));
        }
        if (section("kind")) {
            document.insert(QStringLiteral("kinds"), kindsArray(figures));
        }
        if (section("ext")) {
            document.insert(QStringLiteral("extensions"), extensionsArray(figures));
        }
        if (section("size")) {
            document.insert(QStringLiteral("sizes"), sizesArray(figures));
        }
        if (section("year")) {
            document.insert(QStringLiteral("years"), yearsArray(figures));
        }
        const QByteArray text = QJsonDocument(document).toJson(QJsonDocument::Indented);
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    }

} // namespace

int runStats(const std::vector<std::string>& arguments)
{
    // --json is a switch; the shared parser knows long options with values only.
    std::vector<std::string> rest;
    bool json = false;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--json") {
            json = true;
            continue;
        }
        optionsEnded = optionsEnded || argument == "--";
        rest.push_back(argument);
    }
    const ParsedArguments parsed = parseArguments("stats", rest, "", { "by" });
    if (parsed.help) {
        return printHelp("stats");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    const std::string* by = parsed.value("by");
    if (by != nullptr && *by != "kind" && *by != "ext" && *by != "year" && *by != "size" && *by != "disc") {
        return usageError("stats", "--by takes kind, ext, year, size or disc, not '" + *by + "'");
    }
    if (parsed.operands.empty()) {
        return usageError("stats", "no catalog file or folder given");
    }

    CompanionCatalogs catalogs;
    for (const std::string& operand : parsed.operands) {
        catalogs.addPath(QFile::decodeName(QByteArray::fromStdString(operand)));
    }
    bool failed = false;
    for (const CatalogProblem& problem : catalogs.problems()) {
        const std::string path = terminalText(problem.path);
        reportError("stats",
            problem.code == KTB_OK ? path + ": no such file or folder" : path + ": " + describeCode(problem.code));
        failed = true;
    }
    CatalogWalk walk(catalogs.wholeTargets());
    std::unique_ptr<Progress> progress;
    InterruptGuard interrupt;
    walk.onProgress = [&](std::uint64_t done, std::uint64_t total) {
        if (InterruptGuard::requested()) {
            walk.requestStop();
        }
        if (progress == nullptr) {
            progress = std::make_unique<Progress>("stats", "walking the catalogs", total);
        }
        progress->update(done);
    };
    CollectionStatistics figures;
    try {
        figures = collectStatistics(catalogs, walk);
    } catch (const CatalogError& error) {
        reportError("stats", terminalText(error.message()));
        failed = true;
    }
    progress.reset();
    if (InterruptGuard::requested()) {
        return interrupt.endBySignal();
    }

    if (json) {
        printJson(figures, by);
    } else {
        printTotals(figures);
        printTable(figures, by != nullptr ? *by : "kind");
    }
    std::fflush(stdout);
    // A damaged record ends that catalog's walk: the figures hold what was read before it.
    for (const QString& fault : figures.faults + figures.damagedDiscs) {
        reportError("stats", terminalText(fault));
        failed = true;
    }
    return failed ? ExitError : ExitOk;
}

} // namespace ktbtool
