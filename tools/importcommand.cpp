// ktb import: discs of a JSON export, or a disc made from a "size<TAB>path" list, into a catalog,
// through the program's recording (a scratch catalog, then one change of the catalog per disc).
#include "tools/ktbtool.h"

#include "core/export/catalogimport.h"
#include "core/export/exporttext.h"

#include <QFile>
#include <charconv>
#include <filesystem>

namespace ktbtool {

namespace {

    std::string localText(const QString& text) { return QFile::encodeName(text).toStdString(); }

    /// The scratch folders of ktb import: "ktb-import-PID-..." in the system's temporary folder.
    ScratchLayout importScratchLayout()
    {
        std::error_code error;
        const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
        const std::string folder = error ? std::string("/tmp") : temporary.string();
        return { QFile::decodeName(QByteArray::fromStdString(folder)), QStringLiteral("ktb-import-"),
            QStringLiteral("import.ktb"), true };
    }

} // namespace

int runImport(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("import", arguments, "", { "disc", "title", "serial" });
    if (parsed.help) {
        return printHelp("import");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.size() != 2) {
        return usageError("import",
            parsed.operands.empty()           ? "no file to import given"
                : parsed.operands.size() == 1 ? "no catalog file given"
                                              : "too many arguments");
    }
    ImportOptions options;
    if (const std::string* disc = parsed.value("disc")) {
        std::uint32_t index = 0;
        const char* end = disc->data() + disc->size();
        if (std::from_chars(disc->data(), end, index).ptr != end || index < 1) {
            return usageError("import", "--disc takes a disc's number in the document from 1, not '" + *disc + "'");
        }
        options.discs.push_back(index - 1);
    }
    if (const std::string* title = parsed.value("title")) {
        if (title->size() > KTB_TITLE_MAX) {
            return usageError("import", "--title takes at most 63 bytes");
        }
        options.title = QString::fromStdString(*title);
    }
    if (const std::string* serial = parsed.value("serial")) {
        if (!parseSerialText(*serial, options.serial)) {
            return usageError("import", "--serial takes a serial as D61A-E85B, not '" + *serial + "'");
        }
    }
    const std::string& source = parsed.operands[0];
    const std::string& file = parsed.operands[1];
    if (!std::filesystem::is_regular_file(source)) {
        reportError("import", source + ": no such file");
        return ExitError;
    }
    InterruptGuard interrupt;
    ChangedCatalog destination("import", file, { .createMissing = true });
    if (!destination.open()) {
        return ExitError;
    }
    CatalogImport import(
        destination.handle(), QFile::decodeName(QByteArray::fromStdString(file)), importScratchLayout());
    Progress progress("import", source, 100);
    import.onProgress = [&](std::uint64_t done, std::uint64_t total) {
        if (InterruptGuard::requested()) {
            import.requestStop();
}
progress.update(total == 0 ? 0 : done * 100 / total);
};
const ImportResult result = import.importFile(QFile::decodeName(QByteArray::fromStdString(source)), options);
progress.clear();
if (!result.imported.empty()) {
    destination.keep();
}
for (const ImportedDisc& disc : result.imported) {
    std::printf("Imported \"%s\" (serial %s) into %s at offset %u: %u files, %u folders.\n",
        displayText(disc.title.toStdString()).c_str(), serialText(disc.serial).c_str(), file.c_str(), disc.offset,
        disc.files, disc.folders);
}
for (const QString& refused : result.refused) {
    reportError("import", localText(refused));
}
if (result.cancelled || InterruptGuard::requested()) {
    reportError("import", "interrupted; the discs imported before stay");
    return interrupt.endBySignal();
}
if (!result.error.isEmpty()) {
    for (const QString& line : result.error.split(QStringLiteral("\r\n"))) {
        reportError("import", localText(line));
    }
    return ExitError;
}
if (result.imported.empty() && result.refused.isEmpty()) {
    reportError("import", source + ": no disc to import");
    return ExitError;
}
return result.refused.isEmpty() ? ExitOk : ExitError;
}

} // namespace ktbtool
