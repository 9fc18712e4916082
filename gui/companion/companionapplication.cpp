#include "gui/companion/companionapplication.h"

#include "core/common/questions.h"
#include "core/companion/companionarguments.h"
#include "core/companion/companioncatalogs.h"
#include "core/settings/shell.h"
#include "gui/common/guardedapplication.h"
#include "gui/common/messageboxquestions.h"

#include <QIcon>
#include <QWidget>
#include <cstdio>

QString catalogProblemsText(const CompanionCatalogs& catalogs)
{
    if (catalogs.problems().empty()) {
        return {};
    }
    QStringList messages;
    for (const CatalogProblem& problem : catalogs.problems()) {
        messages.append(problem.message());
    }
    return QStringLiteral("These catalogs cannot be read and are left out:\n\n")
        + messages.join(QStringLiteral("\n\n"));
}

int runCompanion(int argc, char** argv, const CompanionDescription& description, const CompanionWindowMaker& makeWindow)
{
    // Every catalog stays open while the window shows it.
    raiseOpenFilesLimit();
    GuardedApplication application(argc, argv);
    const QString caption = QString::fromUtf8(description.caption);
    GuardedApplication::setApplicationName(caption);
    GuardedApplication::setOrganizationName(QStringLiteral("Katalox"));
    // The images are compiled into the static GUI library, whose resources are registered by hand.
    Q_INIT_RESOURCE(katalox);
    GuardedApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/katalox.svg")));

    const CompanionArguments arguments = CompanionArguments::parse(GuardedApplication::arguments().mid(1));
    const QString usage
        = CompanionArguments::usage(QString::fromUtf8(description.program), QString::fromUtf8(description.purpose));
    if (arguments.help) {
        std::fputs(usage.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!arguments.error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n%s", description.program, arguments.error.toLocal8Bit().constData(),
            usage.toLocal8Bit().constData());
        return 2;
    }
    setQuestions(std::make_unique<MessageBoxQuestions>());
    int result = 0;
    {
        CompanionCatalogs catalogs;
        catalogs.load(arguments);
        const std::unique_ptr<QWidget> window = makeWindow(catalogs);
        window->show();
        const QString problems = catalogProblemsText(catalogs);
        if (!problems.isEmpty()) {
            questions().messageBox(problems, caption, MessageIcon::Warning, OkButton);
        }
        result = GuardedApplication::exec();
    }
    setQuestions(nullptr);
    return result;
}
