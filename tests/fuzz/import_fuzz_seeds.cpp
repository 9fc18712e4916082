// Writes the seed corpora of json_import_fuzzer and list_import_fuzzer into FOLDER/json and FOLDER/list:
// a real export of the tests' hard catalog (whole, partial and with folders only), hand-made documents
// with every key the import reads, and lists with folders, line ends and sizes of every kind.
#include "tests/core/export/exportfixture.h"

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: import_fuzz_seeds FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    std::filesystem::create_directories(folder + "/json");
    std::filesystem::create_directories(folder + "/list");
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
    };

    const std::string catalog = folder + "/hard.ktb";
    if (!hardCatalog().writeTo(catalog)) {
        return 1;
    }
    ExportSelection foldersOnly;
    foldersOnly.foldersOnly = true;
    ExportSelection shallow;
    shallow.depth = 2;
    bool written = exportPaths({ catalog }, { ExportFormat::Json, false, {} }, folder + "/json/export.json").written;
    written
        = exportPaths({ catalog }, { ExportFormat::Json, false, foldersOnly }, folder + "/json/folders.json").written
        && written;
    written = exportPaths({ catalog }, { ExportFormat::Json, false, shallow }, folder + "/json/shallow.json").written
        && written;
    std::filesystem::remove(catalog);
    if (!written) {
        return 1;
    }
    write("json/keys.json",
        R"({"katalox": "export", "version": 1, "filesets": [{"file": "a.ktb", "owner": "Anna", "name": "Set", "discs": [)"
        R"({"serial": "D61A-E85B", "title": "CD", "titleBytes": "Q0Q=", "comment": "c", "flags": 1, "audio": true,)"
        R"( "scanned": "2003-05-01T12:30:44", "used": 10, "capacity": 734003200, "files": 1, "folders": 1, "entries": [)"
        R"({"name": "Music", "folder": true, "entries": [{"name": "a.mp3", "nameBytes": "YS5tcDM=", "size": 10,)"
        R"( "modified": "1999-12-31T23:59:58", "comment": "x"}]}, {"name": "empty", "folder": true},)"
        R"( {"name": "b", "dateTime": 123456, "size": 4294967295}]},)"
        R"( {"serial": "0000-0000", "scanTime": 5, "scanned": null, "entries": []}]}]})");
    write("json/nested.json",
        R"({"filesets": [{"discs": [{"entries": [{"name": "a", "entries": [{"name": "b", "entries": [{"name": "c"}]}]}]}]}]})");
    write("json/escapes.json",
        R"({"filesets": [{"discs": [{"title": "\u00e9\ud83c\udfb5\n\"\\\/", "entries": [{"name": "caf\u00e9"}]}]}]})");
    write("list/tree.txt", "10\tMusic/Rock/a.mp3\r\n4294967296\tbig.bin\n\n0\tMusic/Empty/\n20\t/Music/b.mp3\n");
    write("list/repeat.txt", "1\ta\n2\ta\n9223372036854775807\tb\n");
    write("list/deep.txt", "5\ta/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/file\n");
    return 0;
}
