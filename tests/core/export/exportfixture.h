#pragma once
// Catalogs to export and import: a generated one whose names, sizes, dates and shapes are those that
// break exports (Windows-1252 names, "</script>", quotes and line breaks, deep and empty folders, 0-byte
// and 4 GiB-1 files, dates that are no dates), and the steps every test takes.

#include "core/companion/companioncatalogs.h"
#include "core/export/catalogexport.h"
#include "core/export/exportfile.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/tempfolder.h"

#include <QString>
#include <string>

inline QString qPath(const std::string& path) { return QString::fromStdString(path); }

/// Two discs and an empty one: UTF-8 and Windows-1252 names, deep and empty folders.
inline CatalogBuilder hardCatalog()
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Music");
    catalog.beginDisc({ .serial = 0xD61AE85B,
        .title = "Caf\xE9 CD",
        .comment = "\x80 comment",
        .flags = 0,
        .scanTime = CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 44),
        .used = 123456789,
        .capacity = 734003200 });
    catalog.beginFolder("M\xC3\xBCsic, \"best\"");
    catalog.addFile("a </script><b>.mp3", 0, CatalogBuilder::dosDateTime(1999, 12, 31, 23, 59, 58));
    catalog.addFile("r\xE9sum\xE9.doc", 0xFFFFFFFFu, 0);
    catalog.addFile("line\nbreak 'quoted'.txt", 1, CatalogBuilder::dosDateTime(1999, 1, 1) | (13u << 21), "a comment");
    catalog.beginFolder("empty");
    catalog.endFolder();
    catalog.endFolder();
    for (int depth = 0; depth < 40; ++depth) {
        catalog.beginFolder("level " + std::to_string(depth));
    }
    catalog.addFile("deep.iso", 4096, CatalogBuilder::dosDateTime(2020, 2, 29, 0, 0, 0));
    for (int depth = 0; depth < 40; ++depth) {
        catalog.endFolder();
    }
    catalog.addFile(" blank ", 7, 0);
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 0, .title = "", .scanTime = 0x01E00000 });
    catalog.beginDisc({ .serial = 2, .title = "Audio", .flags = 1, .used = 5 });
    catalog.addFile("Track01.cda", 5, CatalogBuilder::dosDateTime(2001, 1, 1));
    catalog.endDisc();
    return catalog;
}

/// Exports the catalogs at paths (whole) to output; the result.
inline ExportResult exportPaths(
    const std::vector<std::string>& paths, const ExportOptions& options, const std::string& output)
{
    CompanionCatalogs catalogs;
    for (const std::string& path : paths) {
        catalogs.addPath(qPath(path));
    }
    std::vector<WalkTarget> targets;
    for (int index = 0; index < catalogs.count(); ++index) {
        targets.push_back({ index, catalogs.at(index).fileset, {} });
    }
    const auto walk = makeExportWalk(std::move(targets));
    ExportFile file(qPath(output));
    return exportCatalogs(catalogs, *walk, options, file);
}
