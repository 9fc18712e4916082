// katalox-statistics: what a collection of catalogs holds, with charts. Katalox's Tools > Statistics..
// starts it with "-ktbdir" and the storage folder; catalogs or folders named on the command line are
// shown instead.
#include "gui/companion/companionapplication.h"
#include "gui/statistics/statisticswindow.h"

#include <QTimer>

int main(int argc, char* argv[])
{
    return runCompanion(argc, argv,
        { "katalox-statistics", "Katalox Statistics",
            "Shows what the catalogs hold: totals, file kinds, sizes, dates, the largest files and folders." },
        [](CompanionCatalogs& catalogs) {
            auto window = std::make_unique<StatisticsWindow>(catalogs);
            // Everything is counted as soon as the event loop runs.
            QTimer::singleShot(0, window.get(), &StatisticsWindow::showStatistics);
            return window;
        });
}
