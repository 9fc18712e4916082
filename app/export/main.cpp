// katalox-export: catalogs out to CSV, JSON, HTML or text. Katalox's Tools > Export.. starts it with
// "-ktbdir" and the storage folder; catalogs or folders named on the command line are offered instead.
#include "gui/companion/companionapplication.h"
#include "gui/export/exportwindow.h"

int main(int argc, char* argv[])
{
    return runCompanion(argc, argv,
        { "katalox-export", "Katalox Export",
            "Writes catalogs as CSV, JSON, HTML or text: everything, an owner, filesets, discs or a folder." },
        [](CompanionCatalogs& catalogs) { return std::make_unique<ExportWindow>(catalogs); });
}
