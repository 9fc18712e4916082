#include "core/export/catalogexport.h"

#include "core/companion/companioncatalogs.h"
#include "core/export/csvexportwriter.h"
#include "core/export/exporttext.h"
#include "core/export/htmlexportwriter.h"
#include "core/export/jsonexportwriter.h"
#include "core/export/textexportwriter.h"
#include "core/filesets/fileset.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

std::unique_ptr<ExportWriter> makeExportWriter(ExportFormat format, bool withByteOrderMark)
{
    switch (format) {
    case ExportFormat::Csv:
        return std::make_unique<CsvExportWriter>(withByteOrderMark);
    case ExportFormat::Json:
        return std::make_unique<JsonExportWriter>();
    case ExportFormat::Html:
        return std::make_unique<HtmlExportWriter>();
    case ExportFormat::Text:
        break;
    }
    return std::make_unique<TextExportWriter>();
}

QString exportExtension(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Csv:
        return QStringLiteral("csv");
    case ExportFormat::Json:
        return QStringLiteral("json");
    case ExportFormat::Html:
        return QStringLiteral("html");
    case ExportFormat::Text:
        break;
    }
    return QStringLiteral("txt");
}

bool exportFormatFromName(const QString& name, ExportFormat& format)
{
    static const std::pair<const char*, ExportFormat> names[] = { { "csv", ExportFormat::Csv },
        { "json", ExportFormat::Json }, { "html", ExportFormat::Html }, { "text", ExportFormat::Text } };
    for (const auto& [text, value] : names) {
        if (name == QLatin1String(text)) {
            format = value;
            return true;
        }
    }
    return false;
}

std::unique_ptr<CatalogWalk> makeExportWalk(std::vector<WalkTarget> targets)
{
    return std::make_unique<CatalogWalk>(std::move(targets), 1);
}

bool findExportFolder(TKTBHandle* handle, std::uint32_t discOffset, const QString& path, std::uint32_t& offset)
{
    const QStringList wanted = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (wanted.isEmpty()) {
        return false;
    }
    std::vector<std::string> parts;
    for (const QString& part : wanted) {
        parts.push_back(part.toStdString());
    }
    // Walks the disc: depth counts the open folders, matched those of them on the path.
    std::size_t depth = 0;
    std::size_t matched = 0;
    std::string name;
    KtbCursorPtr cursor(ktbFindFirst(handle, KTB_FIND_ENDMARKS, discOffset, nullptr));
    if (cursor == nullptr || cursor->Current->Kind != KTB_TAG_DISC) {
        return false;
    }
    while (ktbFindNext(cursor.get()) == KTB_OK) {
        const TKTBEntity& entity = *cursor->Current;
        if (entity.Kind == KTB_TAG_ENDDISC || entity.Kind == KTB_TAG_DISC) {
            return false;
        }
        if (entity.Kind == KTB_TAG_ENDFOLDER) {
            if (depth-- == matched) {
                return false; // the folder on the path ended without the rest of it
            }
            continue;
        }
        if (entity.Kind != KTB_TAG_FOLDER) {
            continue;
        }
        if (depth++ != matched) {
            continue;
        }
        name.clear();
        appendCatalogUtf8(name, entity.folderName());
        if (name == parts[matched] && ++matched == parts.size()) {
            offset = entity.Offset;
            return true;
        }
    }
    return false;
}

namespace {

/// A catalog text as UTF-8: the bytes themselves when they are UTF-8 (almost always), else decoded.
struct HeldText {
    std::string decoded;
    bool valid = true;

    ExportText take(std::string_view bytes)
    {
        valid = isUtf8Text(bytes);
        if (valid) {
            return { bytes, bytes, true };
        }
        decoded.clear();
        appendCatalogUtf8(decoded, bytes);
        return { bytes, decoded, false };
    }
};

/// The export of the targets of one walk: runs on the walk's one worker thread.
class ExportRun {
public:
    ExportRun(const CompanionCatalogs& catalogs, const ExportOptions& options, ExportFile& output)
        : m_catalogs(catalogs)
        , m_options(options)
        , m_output(output)
        , m_writer(makeExportWriter(options.format, options.byteOrderMark))
        , m_filter(options.selection)
    {
    }

    void begin() { m_writer->begin(m_output.buffer()); }
    void finish() { m_writer->finish(m_output.buffer()); }
    void walkTarget(RecordWalk& walk, CatalogWalk& all);
    std::uint64_t folders = 0;
    std::uint64_t files = 0;

private:
    void beginDisc(RecordWalk& walk, const WalkRecord& record);
    void endDisc();
    void entry(const WalkRecord& record);
    /// Marks, for the entries of the disc at offset that the export shows, which are the last of their
    /// siblings (a second reading of the disc).
    void markLastEntries(TKTBHandle* handle, std::uint32_t offset);
    bool nextIsLast() { return m_entryIndex < m_lastMarks.size() && m_lastMarks[m_entryIndex++]; }

    const CompanionCatalogs& m_catalogs;
    const ExportOptions& m_options;
    ExportFile& m_output;
    std::unique_ptr<ExportWriter> m_writer;
    ExportFilter m_filter;
    ExportPlace m_place;
    std::vector<std::size_t> m_pathLengths; ///< m_place.path's length before each open folder
    std::string m_titleBytes;
    HeldText m_title;
    HeldText m_name;
    HeldText m_comment;
    bool m_inDisc = false;
    std::vector<bool> m_lastMarks;
    std::size_t m_entryIndex = 0;
    std::unique_ptr<TKTBBatch> m_batch;
};

void ExportRun::walkTarget(RecordWalk& walk, CatalogWalk& all)
{
    const CatalogEntry& catalog = m_catalogs.at(walk.target().catalog);
    const std::string owner = catalog.owner.toStdString();
    const std::string description = catalog.description.toStdString();
    const std::string fileName = QFileInfo(catalog.fileName).fileName().toStdString();
    ExportBuffer& out = m_output.buffer();
    m_writer->beginFileset(out, { { owner, owner, true }, { description, description, true }, fileName });
    walk.forEachRecord([&](const WalkRecord& record) {
        switch (record.kind) {
        case KTB_TAG_DISC:
            beginDisc(walk, record);
            break;
        case KTB_TAG_ENDDISC:
            endDisc();
            break;
        default:
            entry(record);
        }
        if (!m_output.flushIfFull()) {
            all.requestStop();
        }
    });
    if (walk.stopRequested() || m_inDisc) {
        return; // the export is given up: nothing more is written
    }
    m_writer->endFileset(m_output.buffer());
}

void ExportRun::beginDisc(RecordWalk& walk, const WalkRecord& record)
{
    const TKTBDisc& disc = *record.disc;
    m_inDisc = true;
    m_filter.beginDisc();
    m_titleBytes.assign(disc.Title, strnlen(disc.Title, sizeof disc.Title));
    m_place.discTitle = m_title.take(m_titleBytes);
    m_place.serial = serialText(disc.Serial);
    m_place.path.clear();
    ++m_place.pathChanges;
    m_pathLengths.clear();
    if (m_writer->wantsLastMarks()) {
        markLastEntries(walk.handle(), record.offset);
    }
    m_writer->beginDisc(m_output.buffer(), disc, m_place, m_options.selection.partial());
}

void ExportRun::endDisc()
{
    m_inDisc = false;
    m_writer->endDisc(m_output.buffer());
}

void ExportRun::entry(const WalkRecord& record)
{
    const ExportFilter::Step step = m_filter.step(record.kind, record.offset);
    ExportBuffer& out = m_output.buffer();
    ExportText name;
    // The path follows every folder, shown or not: a folder chosen alone keeps its place in the disc.
    if (record.kind == KTB_TAG_ENDFOLDER && !m_pathLengths.empty()) {
        m_place.path.resize(m_pathLengths.back());
        m_pathLengths.pop_back();
        ++m_place.pathChanges;
    }
    switch (step) {
    case ExportFilter::Step::Skip:
    case ExportFilter::Step::EndFolder:
        break;
    case ExportFilter::Step::Folder: {
        name = m_name.take(record.name);
        ExportEntry folder { name, {}, true };
        folder.last = nextIsLast();
        m_writer->beginFolder(out, folder, m_place);
        ++folders;
        break;
    }
    case ExportFilter::Step::File: {
        ExportEntry file { m_name.take(record.name), {}, false, record.size, record.dateTime };
        if (!record.comment.empty()) {
            file.comment = m_comment.take(record.comment);
        }
        file.last = nextIsLast();
        m_writer->file(out, file, m_place);
        ++files;
        break;
    }
    }
    if (step == ExportFilter::Step::EndFolder) {
        m_writer->endFolder(out, m_place);
    }
    if (record.kind == KTB_TAG_FOLDER) {
        if (step != ExportFilter::Step::Folder) {
            name = m_name.take(record.name);
        }
        m_pathLengths.push_back(m_place.path.size());
        m_place.path += '/';
        m_place.path += name.text;
        ++m_place.pathChanges;
    }
}

void ExportRun::markLastEntries(TKTBHandle* handle, std::uint32_t offset)
{
    m_lastMarks.clear();
    m_entryIndex = 0;
    if (m_batch == nullptr) {
        m_batch = std::make_unique<TKTBBatch>();
    }
    ExportFilter filter(m_options.selection);
    filter.beginDisc();
    // Per level of shown folders: the index of the last entry met there.
    std::vector<std::size_t> lastAtLevel { SIZE_MAX };
    KtbCursorPtr cursor(ktbFindFirst(handle, KTB_FIND_ENDMARKS, offset, nullptr));
    bool ended = cursor == nullptr;
    while (!ended) {
        const TKTBERROR answer = ktbFindBatch(cursor.get(), *m_batch);
        for (std::uint32_t i = 0; i < m_batch->Count && !ended; ++i) {
            const TKTBRecord& record = m_batch->Records[i];
            if (record.Kind == KTB_TAG_ENDDISC || record.Kind == KTB_TAG_DISC) {
                ended = true;
                break;
            }
            const ExportFilter::Step step = filter.step(record.Kind, record.Offset);
            if (step == ExportFilter::Step::Folder || step == ExportFilter::Step::File) {
                std::size_t& previous = lastAtLevel.back();
                if (previous != SIZE_MAX) {
                    m_lastMarks[previous] = false;
                }
                previous = m_lastMarks.size();
                m_lastMarks.push_back(true);
                if (step == ExportFilter::Step::Folder) {
                    lastAtLevel.push_back(SIZE_MAX);
                }
            } else if (step == ExportFilter::Step::EndFolder && lastAtLevel.size() > 1) {
                lastAtLevel.pop_back();
            }
        }
        // A damaged record is found again, and reported, by the walk itself.
        ended = ended || answer != KTB_OK;
    }
}

/// Whether the file at path is a catalog (of this or the older format): a slip of the user's must not
/// replace years of discs with their listing.
bool isCatalogFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray start = file.read(sizeof KTB_OLDER_SIGNATURE - 1);
    return start.startsWith(QByteArray(KTB_MAGIC, sizeof KTB_MAGIC)) || start == KTB_OLDER_SIGNATURE;
}

} // namespace

ExportResult exportCatalogs(
    const CompanionCatalogs& catalogs, CatalogWalk& walk, const ExportOptions& options, ExportFile& output)
{
    ExportResult result;
    if (!output.path().isEmpty() && isCatalogFile(output.path())) {
        result.error = QStringLiteral("%1 is a catalog file; an export never replaces one").arg(output.path());
        return result;
    }
    if (!output.open()) {
        result.error = output.error();
        return result;
    }
    ExportRun run(catalogs, options, output);
    run.begin();
    const bool finished = walk.run([&](RecordWalk& one) { run.walkTarget(one, walk); });
    result.folders = run.folders;
    result.files = run.files;
    if (!output.ok()) {
        result.error = output.error();
        output.abandon();
        return result;
    }
    if (!walk.faults().empty()) {
        QStringList messages;
        for (const WalkFault& fault : walk.faults()) {
            messages.append(fault.message);
        }
        result.error = messages.join(QLatin1Char('\n'));
        output.abandon();
        return result;
    }
    if (!finished) {
        result.cancelled = true;
        output.abandon();
        return result;
    }
    run.finish();
    result.written = output.commit();
    if (!result.written) {
        result.error = output.error();
    }
    return result;
}
