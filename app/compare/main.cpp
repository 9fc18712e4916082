// katalox-compare: how discs differ, what is stored twice, and what is on no disc yet. Katalox's Tools >
// Compare.. starts it with "-ktbdir" and the storage folder; catalogs or folders named on the command
// line are used instead.
#include "gui/companion/companionapplication.h"
#include "gui/compare/comparewindow.h"

int main(int argc, char* argv[])
{
    return runCompanion(argc, argv,
        { "katalox-compare", "Katalox Compare",
            "Compares discs, filesets and folders, finds files stored twice and files on no disc yet." },
        [](CompanionCatalogs& catalogs) { return std::make_unique<CompareWindow>(catalogs); });
}
