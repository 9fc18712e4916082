#include "app/katalox/kataloxapplication.h"

#include "gui/common/programobjects.h"

#include "katalox_version.h"

#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "core/settings/shell.h"
#include "gui/common/appicons.h"
#include "gui/common/errordisplay.h"
#include "gui/common/messageboxquestions.h"
#include "gui/common/singleinstance.h"
#include "gui/dialogs/convertdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/mainwindow.h"
#include "platform/configfolder.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstring>

KataloxApplication::KataloxApplication(int& argc, char** argv)
    : GuardedApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Katalox"));
    setOrganizationName(QStringLiteral("Katalox"));
}

namespace {

constexpr char s_usage[] = "Usage: katalox [FILE.ktb]\n"
                           "Starts Katalox, the catalogue of removable discs. With FILE, shows that catalog\n"
                           "(and keeps it among the managed locations). When Katalox runs already, it is\n"
                           "handed the file, or comes to the front.\n"
                           "  --version   print the version\n"
                           "  --help      print this text\n";

} // namespace

StartArguments parseStartArguments(int argc, const char* const* argv)
{
    StartArguments arguments;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!optionsEnd && std::strcmp(argument, "--") == 0) {
            optionsEnd = true;
        } else if (!optionsEnd && std::strcmp(argument, "--version") == 0) {
            arguments.version = true;
        } else if (!optionsEnd && (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)) {
            arguments.help = true;
        } else if (!optionsEnd && argument[0] == '-' && argument[1] != '\0') {
            arguments.error = std::string("unknown option ") + argument;
        } else if (arguments.file.empty()) {
            arguments.file = argument;
        } else {
            arguments.error = "one catalog file at most";
        }
    }
    return arguments;
}

int runKatalox(int argc, char** argv)
{
    // What a terminal asks is answered before any window or display is needed.
    const StartArguments arguments = parseStartArguments(argc, argv);
    if (!arguments.error.empty()) {
        std::fprintf(stderr, "katalox: %s\n%s", arguments.error.c_str(), s_usage);
        return 2;
    }
    if (arguments.help || arguments.version) {
        std::fputs(arguments.help ? s_usage : "Katalox " KATALOX_VERSION_TEXT "\n", stdout);
        return 0;
    }
    // Every registered fileset stays open.
    raiseOpenFilesLimit();
    KataloxApplication application(argc, argv);
    const QString file = arguments.file.empty()
        ? QString()
        : QFileInfo(QFile::decodeName(QByteArray::fromStdString(arguments.file))).absoluteFilePath();
    // One program per config folder: a later start hands its file over (or raises the window) and ends.
    const QString serverName
        = SingleInstance::serverNameFor(QFile::decodeName(QByteArray::fromStdString(configFolder())));
    if (SingleInstance::handOver(serverName, file)) {
        return 0;
    }
    SingleInstance instance(serverName);
    instance.listen(); // without it the program still runs, only on its own
    installProgramQuestions();
    int result = 0;
    {
        ProgramObjects objects;
        // The data module exists before the window, whose commands show its images.
        AppIcons dataModule;
        g_appIcons = &dataModule;
        // The window tells, once shown, of the catalog files that could not be opened.
        MainWindow window;
        QObject::connect(&instance, &SingleInstance::fileRequested, &window,
            [&window](const QString& path) { window.openCatalogFileWhenFree(path); });
        QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] { window.bringToFront(); });
        window.show();
        if (!file.isEmpty()) {
            QTimer::singleShot(0, &window, [&window, file] { window.openCatalogFileWhenFree(file); });
        }
        result = KataloxApplication::exec();
        g_appIcons = nullptr;
    }
    setQuestions(nullptr);
    return result;
}
