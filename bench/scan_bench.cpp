// The two sides of bench/scan_vs_record.sh, one program each way of recording a folder as a disc:
//   scan_bench FOLDER CATALOG     scanDisc with its progress window (the way the program scans)
//   record_bench FOLDER CATALOG   ktbRecordDrive alone, as a command-line tool records
// Each makes CATALOG anew and records FOLDER into it as drive S.
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "platform/drivelayer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#ifdef KATALOX_SCAN_BENCH
#include "gui/scan/scanprocedure.h"

#include <QApplication>
#endif

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER CATALOG\n", argv[0]);
        return 2;
    }
    auto table = std::make_unique<PathDriveTable>();
    table->setDrive('S', argv[1]);
    setDriveTable(std::move(table));
    ::unlink(argv[2]);
    KtbHandlePtr catalog;
    if (ktbOpenOwned(catalog, argv[2], KTB_OPEN_CREATE) != KTB_OK) {
        std::fprintf(stderr, "cannot create %s\n", argv[2]);
        return 2;
    }
    TKTBDisc disc {};
    bool recorded = false;
#ifdef KATALOX_SCAN_BENCH
    QApplication application(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    recorded = scanDisc('S', catalog.get(), disc, false, true) != 0;
    if (std::getenv("SCAN_BENCH_VERBOSE") != nullptr) {
        std::fprintf(stderr, "scanDisc %.1f ms\n",
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
#else
    ktbDiscFromDrive('S', disc);
    recorded = ktbRecordDrive(catalog.get(), 'S', disc, nullptr, nullptr) == KTB_OK;
#endif
    return recorded ? 0 : 1;
}
