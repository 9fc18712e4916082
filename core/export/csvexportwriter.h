#pragma once
// CSV (RFC 4180, UTF-8, lines ending in CR LF): a header row, then a row per folder and file.

#include "core/export/exportwriter.h"
#include "core/export/filekindcache.h"

class CsvExportWriter : public ExportWriter {
public:
    explicit CsvExportWriter(bool withByteOrderMark);

    void begin(std::string& out) override;
    void beginFileset(std::string& out, const ExportFileset& fileset) override;
    void beginDisc(std::string& out, const TKTBDisc& disc, const ExportPlace& place, bool partial) override;
    void beginFolder(std::string& out, const ExportEntry& folder, const ExportPlace& place) override;
    void endFolder(std::string&, const ExportPlace&) override { }
    void file(std::string& out, const ExportEntry& file, const ExportPlace& place) override;
    void endDisc(std::string&) override { }
    void endFileset(std::string&) override { }
    void finish(std::string&) override { }

private:
    /// Owner, fileset, disc title and serial: the same start of every row of a disc, quoted once.
    void appendRowStart(std::string& out, const ExportPlace& place) const;

    bool m_withByteOrderMark;
    std::string m_filesetFields; ///< owner and fileset, quoted, each followed by a comma
    std::string m_discFields; ///< title and serial, quoted, each followed by a comma
    FileKindCache m_kinds;
};

/// Appends a CSV field, quoted (its quotes doubled) when it holds a comma, a quote or a line break,
/// or starts or ends with a blank.
void appendCsvField(std::string& out, std::string_view text);
