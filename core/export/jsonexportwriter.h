#pragma once
// JSON: one document, written as the walk goes:
//
//   {"katalox": "export", "version": 1, "filesets": [
//    {"owner": "Anna", "name": "Music", "file": "Music.ktb", "discs": [
//     {"title": "CD 1", "serial": "0000-1234", "comment": "", "flags": 0, "audio": false,
//      "scanned": "2003-05-01T12:00:00", "used": 1000, "capacity": 734003200, "files": 1, "folders": 1,
//      "entries": [
//       {"name": "Music", "entries": [
//        {"name": "a.mp3", "type": "Audio", "size": 1000, "modified": "2003-05-01T12:00:00"}]}]}]}]}
//
// A folder is an entry with "entries". Every text that is not valid UTF-8 in the catalog (an older
// catalog's Windows-1252) is given as its characters and, in a field of the same name ending in
// "Bytes", as its bytes in base64. A date a catalog holds that is no calendar date is given as the
// packed value ("scanTime", "dateTime"). A disc of which some entries were left out has no "files"
// and "folders".

#include "core/export/exportwriter.h"
#include "core/export/filekindcache.h"

#include <vector>

class JsonExportWriter : public ExportWriter {
public:
    /// forHtml: every string is also safe inside an HTML script element.
    explicit JsonExportWriter(bool forHtml = false);

    void begin(ExportBuffer& out) override;
    void beginFileset(ExportBuffer& out, const ExportFileset& fileset) override;
    void beginDisc(ExportBuffer& out, const TKTBDisc& disc, const ExportPlace& place, bool partial) override;
    void beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace& place) override;
    void endFolder(ExportBuffer& out, const ExportPlace& place) override;
    void file(ExportBuffer& out, const ExportEntry& file, const ExportPlace& place) override;
    void endDisc(ExportBuffer& out) override;
    void endFileset(ExportBuffer& out) override;
    void finish(ExportBuffer& out) override;

private:
    /// Opens an element of the innermost array: a comma before all but the first.
    void element(ExportBuffer& out);
    void openArray(ExportBuffer& out);
    void closeArray(ExportBuffer& out);
    void text(ExportBuffer& out, const char* key, const ExportText& value);
    void member(ExportBuffer& out, const char* key, std::uint64_t value);
    /// The date as text under key, or null and, for a value that is no date, the value under packedKey.
    void date(ExportBuffer& out, const char* key, const char* packedKey, std::uint32_t packed);

    bool m_forHtml;
    std::vector<bool> m_first; ///< per open array: no element written yet
    FileKindCache m_kinds;
};
