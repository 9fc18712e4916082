// katalox-statistics: what a collection of catalogs holds, with charts. Katalox's Tools > Statistics..
// starts it with "-ktbdir" and the storage folder; catalogs or folders named on the command line are
// shown instead.
#include "core/common/questions.h"
#include "core/companion/companionarguments.h"
#include "core/companion/companioncatalogs.h"
#include "gui/common/messageboxquestions.h"
#include "gui/statistics/statisticswindow.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Every catalog stays open while the window shows it: allow as many open files as the system lets us.
void raiseOpenFilesLimit()
{
    struct rlimit limit { };
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    raiseOpenFilesLimit();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Katalox Statistics"));
    QApplication::setOrganizationName(QStringLiteral("Katalox"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/katalox.svg")));

    const CompanionArguments arguments = CompanionArguments::parse(QApplication::arguments().mid(1));
    const QString usage = CompanionArguments::usage(QStringLiteral("katalox-statistics"),
        QStringLiteral("Shows what the catalogs hold: totals, file kinds, "
                       "sizes, dates, the largest files and folders."));
    if (arguments.help) {
        std::fputs(usage.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "katalox-statistics: %s\n%s", arguments.error.toLocal8Bit().constData(),
            usage.toLocal8Bit().constData());
        return 2;
    }
    setQuestions(std::make_unique<MessageBoxQuestions>());
    int result = 0;
    {
        CompanionCatalogs catalogs;
        catalogs.load(arguments);
        StatisticsWindow window(catalogs);
        window.show();
        if (!catalogs.problems().empty()) {
            QStringList messages;
            for (const CatalogProblem& problem : catalogs.problems()) {
                messages.append(problem.message());
            }
            questions().messageBox(QStringLiteral("These catalogs cannot be read and are left out:\n\n")
                    + messages.join(QStringLiteral("\n\n")),
                QStringLiteral("Katalox Statistics"), MessageIcon::Warning, OkButton);
        }
        QTimer::singleShot(0, &window, &StatisticsWindow::showStatistics);
        result = QApplication::exec();
    }
    setQuestions(nullptr);
    return result;
}
