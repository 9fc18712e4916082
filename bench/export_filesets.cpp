// The export of every fileset of a folder, as `ktb export` and the export window write it, and the
// import of a JSON export into a new catalog, each with the peak memory above the idle program.
//
//     export_filesets export csv|json|html|text FOLDER OUTPUT     prints "<folders> <files>" and the memory line
//     export_filesets import JSON CATALOG                         prints "<discs>" and the memory line

#include "bench/peaksampler.h"
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/export/catalogexport.h"
#include "core/export/catalogimport.h"
#include "core/export/exportfile.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

/// The peak of the process's own (anonymous) memory while work runs, sampled every millisecond: the
/// resident size also counts the pages of mapped catalogs, which the page cache holds anyway.
class AnonymousPeak {
public:
    AnonymousPeak()
        : m_thread([this] {
            while (!m_stop.load()) {
                m_peak = std::max(m_peak.load(), statusKilobytes("RssAnon"));
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        })
    {
    }
    long stop()
    {
        m_stop = true;
        m_thread.join();
        return m_peak;
    }

private:
    std::atomic_bool m_stop { false };
    std::atomic<long> m_peak { 0 };
    std::thread m_thread;
};

void printMemory(long idle, long peak, long idleAnonymous, long peakAnonymous)
{
    std::printf("idle %.1f MB, peak %.1f MB, above idle %.1f MB; anonymous above idle %.1f MB\n", idle / 1024.0,
        peak / 1024.0, (peak - idle) / 1024.0, (peakAnonymous - idleAnonymous) / 1024.0);
}

int exportFolder(const char* formatName, const char* folder, const char* output)
{
    ExportOptions options;
    if (!exportFormatFromName(QString::fromLatin1(formatName), options.format)) {
        std::fprintf(stderr, "unknown format %s\n", formatName);
        return 2;
    }
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromLocal8Bit(folder));
    std::vector<WalkTarget> targets;
    for (int index = 0; index < catalogs.count(); ++index) {
        targets.push_back({ index, catalogs.at(index).fileset, {} });
    }
    const auto walk = makeExportWalk(std::move(targets));
    ExportFile file(QString::fromLocal8Bit(output));

    const long idle = statusKilobytes("VmRSS");
    const long idleAnonymous = statusKilobytes("RssAnon");
    PeakSampler sampler;
    AnonymousPeak anonymous;
    const ExportResult result = exportCatalogs(catalogs, *walk, options, file);
    const long peakAnonymous = anonymous.stop();
    const long peak = sampler.stop();
    std::printf("%" PRIu64 " %" PRIu64 "\n", result.folders, result.files);
    printMemory(idle, peak, idleAnonymous, peakAnonymous);
    if (!result.written) {
        std::fprintf(stderr, "%s\n", result.error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

int importDocument(const char* json, const char* catalog)
{
    KtbHandlePtr handle;
    if (ktbOpenOwned(handle, catalog, KTB_OPEN_CREATE) != KTB_OK) {
        std::fprintf(stderr, "%s cannot be made\n", catalog);
        return 2;
    }
    CatalogImport import(handle.get(), QString::fromLocal8Bit(catalog),
        { QDir::tempPath(), QStringLiteral("export-bench-"), QStringLiteral("import.ktb"), true });
    const long idle = statusKilobytes("VmRSS");
    const long idleAnonymous = statusKilobytes("RssAnon");
    PeakSampler sampler;
    AnonymousPeak anonymous;
    const ImportResult result = import.importJson(QString::fromLocal8Bit(json), {});
    const long peakAnonymous = anonymous.stop();
    const long peak = sampler.stop();
    std::printf("%zu\n", result.imported.size());
    printMemory(idle, peak, idleAnonymous, peakAnonymous);
    if (!result.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", result.error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "export") == 0) {
        return exportFolder(argv[2], argv[3], argv[4]);
    }
    if (argc == 4 && std::strcmp(argv[1], "import") == 0) {
        return importDocument(argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: export_filesets export FORMAT FOLDER OUTPUT | import JSON CATALOG\n");
    return 2;
}
