// Searches every fileset of a folder for a text the way the program does (a registry of the folder,
// CatalogSearch over all of it) and prints the outcome, so a script can time it against other tools.
//
//     search_filesets FOLDER TEXT            prints "<file matches> <folder matches> <kept> <discs>"
//     search_filesets --memory FOLDER TEXT   also prints the peak memory of the search above idle

#include "core/filesets/filesetregistry.h"
#include "core/search/catalogsearch.h"
#include "engine/Containers.h"

#include <QCoreApplication>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

/// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
            return std::stol(line.substr(length + 1));
        }
    }
    return -1;
}

/// Samples the resident size while a search runs: the kernel's peak (reset at the start, where the
/// kernel allows it) and a sample every millisecond, whichever is higher.
class PeakSampler {
public:
    PeakSampler()
    {
        std::ofstream("/proc/self/clear_refs") << "5";
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                const long rss = statusKilobytes("VmRSS");
                long peak = m_peak.load();
                while (rss > peak && !m_peak.compare_exchange_weak(peak, rss)) { }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    long stop()
    {
        m_stop = true;
        m_thread.join();
        return std::max(m_peak.load(), statusKilobytes("VmHWM"));
    }

private:
    std::atomic_bool m_stop { false };
    std::atomic<long> m_peak { 0 };
    std::thread m_thread;
};

} // namespace

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
