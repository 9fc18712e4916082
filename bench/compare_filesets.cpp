// The duplicates of every fileset of a folder, the files held on one medium only, or the files of a local
// folder on no disc of them, found the way `ktb dupes`, `ktb single`, `ktb missing` and the compare window
// find them, with the peak memory of the work above the idle program.
//
//     compare_filesets dupes FOLDER            prints what was found and the memory line with bytes a file
//     compare_filesets single FOLDER           the same, the single copies listed (and thrown away) too
//     compare_filesets missing LOCAL FOLDER
//     compare_filesets deep LEVELS FOLDER      writes FOLDER/deep.ktb, two discs of one path through LEVELS
//                                              folders, and compares them (the memory should grow with
//                                              LEVELS, not with its square)

#include "bench/peaksampler.h"
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/comparesource.h"
#include "core/compare/duplicatefinder.h"
#include "core/compare/missingfinder.h"
#include "core/compare/singlecopyfinder.h"
#include "tests/support/catalogbuilder.h"

#include <QCoreApplication>
#include <QString>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int compareDeep(long levels, const std::string& folder)
{
    CatalogBuilder catalog;
    std::uint32_t discs[2] = {};
    for (std::uint32_t disc = 0; disc < 2; ++disc) {
        discs[disc] = catalog.beginDisc({ .serial = disc + 1, .title = "Deep" });
        for (long i = 0; i < levels; ++i) {
            catalog.beginFolder("level");
        }
        catalog.addFile("end", disc);
        for (long i = 0; i < levels; ++i) {
            catalog.endFolder();
        }
        catalog.endDisc();
    }
    const std::string path = folder + "/deep.ktb";
    if (!catalog.writeTo(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 2;
    }
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromStdString(path));
    const CompareSource first = CompareSource::discOf(0, discs[0]);
    const CompareSource second = CompareSource::discOf(0, discs[1]);
    CatalogWalk walk(comparisonTargets(first, second, catalogs));

    const long idle = statusKilobytes("VmRSS");
    PeakSampler sampler;
    const TreeComparison comparison = compareSources(first, second, catalogs, walk);
    const long peak = sampler.stop();
    std::printf(
        "%ld levels, %zu entries, %" PRIu64 " changed\n", levels, comparison.entries.size(), comparison.changed.files);
    std::printf("idle %.1f MB, peak %.1f MB, above idle %.1f MB, %.1f bytes a level\n", idle / 1024.0, peak / 1024.0,
        (peak - idle) / 1024.0, (peak - idle) * 1024.0 / static_cast<double>(levels));
    return comparison.complete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "deep") == 0) {
        return compareDeep(std::atol(argv[2]), argv[3]);
    }
    const bool dupes = argc == 3 && std::strcmp(argv[1], "dupes") == 0;
    const bool single = argc == 3 && std::strcmp(argv[1], "single") == 0;
    const bool missing = argc == 4 && std::strcmp(argv[1], "missing") == 0;
    if (!dupes && !single && !missing) {
        std::fprintf(stderr,
            "usage: compare_filesets dupes FOLDER | single FOLDER | missing LOCAL FOLDER | deep LEVELS FOLDER\n");
        return 2;
    }
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromLocal8Bit(argv[argc - 1]));
    CatalogWalk walk(catalogs.wholeTargets());

    const long idle = statusKilobytes("VmRSS");
    PeakSampler sampler;
    std::uint64_t files = 0;
    bool complete = false;
    if (dupes) {
        const DuplicateReport report = findDuplicates(catalogs, walk, {});
        files = report.filesWalked;
        complete = report.complete;
        std::printf("%" PRIu64 " files, %zu groups, %" PRIu64 " bytes wasted, %zu discs catalogued twice\n", files,
            report.groups.size(), report.wasted(), report.discs.size());
    } else if (single) {
        const SingleCopyReport report = findSingleCopies(catalogs, walk, {});
        files = report.filesWalked;
        std::uint64_t listed = 0;
        QStringList faults;
        complete = report.complete
            && listSingleCopies(
                catalogs, report, {}, walk,
                [](const SingleCopyFile& file, std::string& text) {
                    text.append(file.folderPath);
                    text.append(file.name);
                    text += '\n';
                },
                [&listed](std::size_t, const std::string& text) { listed += text.size(); }, faults);
        std::printf("%" PRIu64 " files, %" PRIu64 " on one medium only (%" PRIu64
                    " bytes at risk) on %zu media, %" PRIu64 " bytes listed\n",
            files, report.singleFiles, report.bytesAtRisk, report.media.size(), listed);
    } else {
        const MissingReport report = findMissing(QString::fromLocal8Bit(argv[2]), catalogs, walk, {});
        files = report.files.size();
        complete = report.complete;
        std::printf("%" PRIu64 " local files, %" PRIu64 " on no disc, %" PRIu64 " held\n", files, report.missingFiles,
            report.heldFiles);
    }
    const long peak = sampler.stop();
    std::printf("idle %.1f MB, peak %.1f MB, above idle %.1f MB (%u workers), %.1f bytes a file\n", idle / 1024.0,
        peak / 1024.0, (peak - idle) / 1024.0, walk.workerCount(),
        files == 0 ? 0.0 : (peak - idle) * 1024.0 / static_cast<double>(files));
    return complete ? 0 : 1;
}
