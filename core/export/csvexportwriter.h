#pragma once
// CSV (RFC 4180, UTF-8, lines ending in CR LF): a header row, then a row per folder and file. The CSV for
// spreadsheet programs starts with a byte order mark, and its fields that start with "=", "+", "-" or
// "@" start with an apostrophe, so that a name is never run as a formula.

#include "core/export/exportwriter.h"
#include "core/export/filekindcache.h"

class CsvExportWriter : public ExportWriter {
public:
    explicit CsvExportWriter(bool forSpreadsheets);

    void begin(ExportBuffer& out) override;
    void beginFileset(ExportBuffer& out, const ExportFileset& fileset) override;
    void beginDisc(ExportBuffer& out, const TKTBDisc& disc, const ExportPlace& place, bool partial) override;
    void beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace& place) override;
    void endFolder(ExportBuffer&, const ExportPlace&) override { }
    void file(ExportBuffer& out, const ExportEntry& file, const ExportPlace& place) override;
    void endDisc(ExportBuffer&) override { }
    void endFileset(ExportBuffer&) override { }
    void finish(ExportBuffer&) override { }

private:
    /// Owner, fileset, disc title, serial and path: the same start of every row of a folder, quoted
    /// once for all of them.
    const std::string& rowStart(const ExportPlace& place);

    bool m_forSpreadsheets;
    std::string m_filesetFields; ///< owner and fileset, quoted, each followed by a comma
    std::string m_discFields; ///< title and serial, quoted, each followed by a comma
    std::string m_rowStart;
    std::uint64_t m_rowStartPath = UINT64_MAX; ///< the ExportPlace::pathChanges m_rowStart was made for
    FileKindCache m_kinds;
};

/// Writes a CSV field at out, quoted (its quotes doubled) when it holds a comma, a quote or a line
/// break, or starts or ends with a blank, and neutralised (an apostrophe first) when asked and it starts
/// with "=", "+", "-" or "@"; answers the end. Room for 3 + 2 * text.size() bytes is needed.
char* writeCsvField(char* out, std::string_view text, bool neutralised);
/// The same, appended to a text.
void appendCsvField(std::string& out, std::string_view text, bool neutralised);
