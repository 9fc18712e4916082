#include "core/compare/comparecsv.h"

#include "core/compare/duplicatefinder.h"
#include "core/compare/missingfinder.h"
#include "core/compare/treecomparison.h"
#include "core/text/catalogtext.h"
#include "core/text/csvtext.h"

#include <QDateTime>

namespace {

const QString s_lineEnd = QStringLiteral("\r\n");

QString line(const QStringList& fields) { return csvRecord(fields) + s_lineEnd; }

QString sizeText(std::uint64_t size) { return QString::number(size); }

} // namespace

QString isoDosDateTime(std::uint32_t packed)
{
    const QDateTime time = dosToDateTime(packed);
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString differenceName(int difference)
{
    switch (static_cast<Difference>(difference)) {
    case Difference::OnlyFirst:
        return QStringLiteral("only in first");
    case Difference::OnlySecond:
        return QStringLiteral("only in second");
    case Difference::Changed:
        return QStringLiteral("changed");
    case Difference::None:
        break;
    }
    return QStringLiteral("same");
}

QString comparisonCsv(const TreeComparison& comparison)
{
    QString text = line(
        { QStringLiteral("Difference"), QStringLiteral("Kind"), QStringLiteral("Path"), QStringLiteral("First size"),
            QStringLiteral("First date"), QStringLiteral("Second size"), QStringLiteral("Second date") });
    ComparedPaths paths;
    for (const ComparedEntry& entry : comparison.entries) {
        const std::string& path = paths.next(entry);
        if (entry.difference == Difference::None) {
            continue;
        }
        const bool first = entry.difference != Difference::OnlySecond;
        const bool second = entry.difference != Difference::OnlyFirst;
        const bool file = !entry.folder;
        text += line({ differenceName(static_cast<int>(entry.difference)),
            entry.folder ? QStringLiteral("folder") : QStringLiteral("file"),
            decodeCatalogText(path) + (entry.folder ? QStringLiteral("\\") : QString()),
            first && file ? sizeText(entry.firstSize) : QString(),
            first && file ? isoDosDateTime(entry.firstDate) : QString(),
            second && file ? sizeText(entry.secondSize) : QString(),
            second && file ? isoDosDateTime(entry.secondDate) : QString() });
    }
    return text;
}

QString duplicatesCsv(const DuplicateReport& report)
{
    QString text = line({ QStringLiteral("Group"), QStringLiteral("Size"), QStringLiteral("Copies"),
        QStringLiteral("Wasted"), QStringLiteral("Name"), QStringLiteral("Folder"), QStringLiteral("Date") });
    int number = 0;
    for (const DuplicateGroup& group : report.groups) {
        ++number;
        for (const FileLocation& file : group.files) {
            text += line({ QString::number(number), sizeText(group.size()), QString::number(group.files.size()),
                sizeText(group.wasted()), file.name, file.folderPath, isoDosDateTime(file.dateTime) });
        }
    }
    return text;
}

QString missingCsv(const MissingReport& report)
{
    QString text = line({ QStringLiteral("Status"), QStringLiteral("Path"), QStringLiteral("Size"),
        QStringLiteral("Date"), QStringLiteral("Held by") });
    for (const LocalFile& file : report.files) {
        text += line({ file.held() ? QStringLiteral("held") : QStringLiteral("missing"),
            QString::fromUtf8(file.path.data(), static_cast<qsizetype>(file.path.size())), sizeText(file.size),
            isoDosDateTime(file.dateTime), file.shownHolders.join(QStringLiteral("; ")) });
    }
    return text;
}
