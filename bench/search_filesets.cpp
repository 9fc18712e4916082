// Searches every fileset of a folder for a text the way the program does (a registry of the folder,
// CatalogSearch over all of it) and prints the outcome, so a script can time it against other tools.
//
//     search_filesets FOLDER TEXT            prints "<file matches> <folder matches> <kept> <discs>"
//     search_filesets --memory FOLDER TEXT   also prints the peak memory of the search above idle

#include "bench/peaksampler.h"
#include "core/filesets/filesetregistry.h"
#include "core/search/catalogsearch.h"
#include "engine/Containers.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    int first = 1;
    const bool memory = argc > 1 && std::strcmp(argv[1], "--memory") == 0;
    if (memory) {
        ++first;
    }
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: search_filesets [--memory] FOLDER TEXT\n");
        return 2;
    }
    FilesetRegistry registry(FilesetRegistry::Options { .useListFile = false, .readOnly = false });
    registry.addFolder(QString::fromLocal8Bit(argv[first]));
    TIntegerList list;
    for (int i = 0; i < registry.count(); ++i) {
        registry.at(i)->owner(); // open, as the owners index of the program has them
        list.Add(i);
    }
    CatalogSearch helper(&registry);
    helper.setSearchText(QString::fromLocal8Bit(argv[first + 1]));

    const long idle = statusKilobytes("VmRSS");
    const auto sampler = memory ? std::make_unique<PeakSampler>() : nullptr;
    helper.search(list);
    std::printf("%llu %llu %d %d\n", static_cast<unsigned long long>(helper.fileMatches()),
        static_cast<unsigned long long>(helper.folderMatches()), helper.fileResults.count(), helper.discResultCount());
    if (sampler != nullptr) {
        const long peak = sampler->stop();
        std::printf("idle %.1f MB, peak %.1f MB, above idle %.1f MB (%d results kept)\n", idle / 1024.0, peak / 1024.0,
            (peak - idle) / 1024.0, helper.fileResults.count());
    }
    return helper.hasResults() ? 0 : 1;
}
