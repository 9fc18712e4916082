// The main window's two speed figures:
//   mainwindow_bench list FOLDER      Fill of a disc folder of 20,000 files plus one full pass of cellData
//                                     over all rows and columns, as a view drawing every row would ask.
//   mainwindow_bench startup CONFIG   from the start of the program to the first shown main window, with
//                                     the filesets of CONFIG/Filesets registered (the program's whole
//                                     start-up order: application, process-wide objects, window, handleFirstShow).
// Each prints its time in milliseconds.
#include "app/katalox/kataloxapplication.h"
#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "gui/common/appicons.h"
#include "gui/common/programobjects.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/mainwindow.h"
#include "platform/configfolder.h"
#include <unistd.h>

#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// One disc holding one folder of count files, written with the engine's appender.
std::uint32_t writeFolderCatalog(const std::string& path, int count)
{
    ::unlink(path.c_str());
    KtbHandlePtr handle;
    if (ktbOpenOwned(handle, path.c_str(), KTB_OPEN_CREATE) != KTB_OK) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        std::exit(2);
    }
    TKTBAppender out(handle.get());
    TKTBDisc disc {};
    disc.Serial = 1;
    std::strcpy(disc.Title, "Big Disc");
    const std::uint64_t start = out.position();
    out.appendByte(KTB_TAG_DISC);
    out.append(&disc, sizeof disc);
    const auto folder = static_cast<std::uint32_t>(out.position());
    out.appendByte(KTB_TAG_FOLDER);
    out.appendString("Everything");
    static const char* const s_extensions[] = { ".mp3", ".jpg", ".txt", ".pdf", ".wav", ".doc", ".png", "" };
    for (int i = 0; i < count; ++i) {
        const std::string name = "file " + std::to_string((i * 7919) % count) + s_extensions[i % 8];
        const std::uint32_t size = static_cast<std::uint32_t>(i) * 131u;
        const std::uint32_t date = (static_cast<std::uint32_t>(20 + i % 20) << 25) | (5u << 21) | (12u << 16)
            | (static_cast<std::uint32_t>(i % 24) << 11);
        const std::uint16_t noComment = 0;
        out.appendByte(KTB_TAG_FILE);
        out.appendString(name);
        out.append(&size, 4);
        out.append(&date, 4);
        out.append(&noComment, 2);
    }
    out.appendByte(KTB_TAG_ENDFOLDER);
    out.appendByte(KTB_TAG_ENDDISC);
    disc.RunLength = static_cast<std::uint32_t>(out.position() - start);
    out.patch(start + 1, &disc, sizeof disc);
    out.flush();
    return folder;
}

int benchList(int argc, char** argv, const std::string& folder)
{
    KataloxApplication application(argc, argv);
    const std::string path = folder + "/listbench.ktb";
    const std::uint32_t offset = writeFolderCatalog(path, 20000);
    CatalogList helper;
    QTreeView view;
    helper.attach(&view);
    helper.smallImages = &smallImageList();
    Fileset fileset(QString::fromStdString(path), false);
    ItemRef node;
    node.kind = FolderItem;
    node.ref = &fileset;
    node.offset = offset;
    double best = 1e9;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 7;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        helper.fill(&node);
        const double filled = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        qsizetype characters = 0;
        for (int row = 0; row < helper.rowCount(); ++row) {
            for (int column = 0; column < 4; ++column) {
                characters += helper.cellData(row, column, Qt::DisplayRole).toString().size();
            }
            helper.cellData(row, 0, Qt::DecorationRole);
        }
        const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        best = std::min(best, elapsed);
        std::printf("run %d: %.1f ms, of which Fill %.1f ms (%d rows, %lld characters)\n", run, elapsed, filled,
            helper.rowCount(), static_cast<long long>(characters));
    }
    std::printf("Fill + cellData over 20000 rows: best %.1f ms (target: under 50 ms)\n", best);
    helper.clear();
    ::unlink(path.c_str());
    return 0;
}

int benchStartup(int argc, char** argv, const std::string& config, const QElapsedTimer& sinceStart)
{
    setConfigFolder(config);
    KataloxApplication application(argc, argv);
    installProgramQuestions();
    int registered = 0;
    {
        ProgramObjects objects;
        AppIcons dataModule;
        g_appIcons = &dataModule;
        MainWindow window;
        window.show();
        QTimer::singleShot(0, &application, [&] {
            std::printf("first shown window after %.1f ms (%d filesets; target: under 500 ms)\n",
                static_cast<double>(sinceStart.nsecsElapsed()) / 1e6, g_filesetRegistry->count());
            registered = g_filesetRegistry->count();
            QApplication::quit();
        });
        KataloxApplication::exec();
        g_appIcons = nullptr;
    }
    setQuestions(nullptr);
    return registered > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (argc >= 3 && std::strcmp(argv[1], "list") == 0) {
        return benchList(argc, argv, argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "startup") == 0) {
        return benchStartup(argc, argv, argv[2], sinceStart);
    }
    std::fprintf(stderr, "usage: mainwindow_bench list FOLDER | startup CONFIG-FOLDER\n");
    return 2;
}
