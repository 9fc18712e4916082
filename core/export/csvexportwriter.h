#pragma once
// CSV (RFC 4180, UTF-8, lines ending in CR LF): a header row, then a row per folder and file.

#include "core/export/exportwriter.h"
#include "core/export/filekindcache.h"

class CsvExportWriter : public ExportWriter {
public:
    explicit CsvExportWriter(bool withByteOrderMark);

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

    bool m_withByteOrderMark;
    std::string m_filesetFields; ///< owner and fileset, quoted, each followed by a comma
    std::string m_discFields; ///< title and serial, quoted, each followed by a comma
    std::string m_rowStart;
    std::uint64_t m_rowStartPath = UINT64_MAX; ///< the ExportPlace::pathChanges m_rowStart was made for
    FileKindCache m_kinds;
};

/// Writes a CSV field at out, quoted (its quotes doubled) when it holds a comma, a quote or a line
/// break, or starts or ends with a blank; answers the end. Room for 2 + 2 * text.size() bytes is needed.
char* writeCsvField(char* out, std::string_view text);
/// The same, appended to a text.
void appendCsvField(std::string& out, std::string_view text);
