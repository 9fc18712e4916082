// The statistics of every fileset of a folder, collected the way `ktb stats` and the statistics window
// collect them, with the peak memory of the walk above the idle program.
//
//     stats_filesets FOLDER     prints "<files> <bytes> <discs>" and the memory line

#include "bench/peaksampler.h"
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/statistics/statisticscollector.h"

#include <QCoreApplication>
#include <QString>
#include <cinttypes>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: stats_filesets FOLDER\n");
        return 2;
    }
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromLocal8Bit(argv[1]));
    CatalogWalk walk(catalogs.wholeTargets());

    const long idle = statusKilobytes("VmRSS");
    PeakSampler sampler;
    const CollectionStatistics figures = collectStatistics(catalogs, walk);
    const long peak = sampler.stop();
    std::printf("%" PRIu64 " %" PRIu64 " %" PRIu64 "\n", figures.files.files, figures.files.bytes, figures.discs);
    std::printf("idle %.1f MB, peak %.1f MB, above idle %.1f MB (%u workers)\n", idle / 1024.0, peak / 1024.0,
        (peak - idle) / 1024.0, walk.workerCount());
    return figures.faults.isEmpty() ? 0 : 1;
}
