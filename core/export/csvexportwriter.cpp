#include "core/export/csvexportwriter.h"

#include "core/export/exporttext.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

} // namespace

void appendCsvField(std::string& out, std::string_view text)
{
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos
        || (!text.empty() && (isBlank(text.front()) || isBlank(text.back())));
    if (!quoted) {
        out.append(text);
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

CsvExportWriter::CsvExportWriter(bool withByteOrderMark)
    : m_withByteOrderMark(withByteOrderMark)
{
}

void CsvExportWriter::begin(std::string& out)
{
    if (m_withByteOrderMark) {
        out += "\xEF\xBB\xBF";
    }
    out += "Owner,Fileset,Disc,Serial,Path,Name,Entry,Type,Size,Modified\r\n";
}

void CsvExportWriter::beginFileset(std::string&, const ExportFileset& fileset)
{
    m_filesetFields.clear();
    appendCsvField(m_filesetFields, fileset.owner.text);
    m_filesetFields += ',';
    appendCsvField(m_filesetFields, fileset.name.text);
    m_filesetFields += ',';
}

void CsvExportWriter::beginDisc(std::string&, const TKTBDisc&, const ExportPlace& place, bool)
{
    m_discFields.clear();
    appendCsvField(m_discFields, place.discTitle.text);
    m_discFields += ',';
    m_discFields += place.serial;
    m_discFields += ',';
}

void CsvExportWriter::appendRowStart(std::string& out, const ExportPlace& place) const
{
    out += m_filesetFields;
    out += m_discFields;
    appendCsvField(out, place.path.empty() ? std::string_view("/") : std::string_view(place.path));
    out += ',';
}

void CsvExportWriter::beginFolder(std::string& out, const ExportEntry& folder, const ExportPlace& place)
{
    appendRowStart(out, place);
    appendCsvField(out, folder.name.text);
    out += ",folder,,,\r\n";
}

void CsvExportWriter::file(std::string& out, const ExportEntry& file, const ExportPlace& place)
{
    appendRowStart(out, place);
    appendCsvField(out, file.name.text);
    out += ",file,";
    appendCsvField(out, m_kinds.kindOf(file.name.bytes));
    out += ',';
    appendNumber(out, file.size);
    out += ',';
    appendDosDateTime(out, file.dateTime);
    out += "\r\n";
}
