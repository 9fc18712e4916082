#include "core/export/csvexportwriter.h"

#include "core/export/exporttext.h"

#include <array>
#include <charconv>
#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

/// The bytes that make a field quoted wherever they stand.
constexpr std::array<bool, 256> s_special = [] {
    std::array<bool, 256> special {};
    for (const char c : { ',', '"', '\r', '\n' }) {
        special[static_cast<unsigned char>(c)] = true;
    }
    return special;
}();

char* put(char* out, std::string_view text)
{
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

} // namespace

char* writeCsvField(char* out, std::string_view text, bool neutralised)
{
    // Spreadsheet programs run a field that starts so as a formula; an apostrophe makes it text, as
    // they document.
    const bool formula = neutralised && !text.empty()
        && (text.front() == '=' || text.front() == '+' || text.front() == '-' || text.front() == '@');
    bool quoted = !text.empty() && (isBlank(text.front()) || isBlank(text.back()));
    for (std::size_t i = 0; i < text.size() && !quoted; ++i) {
        quoted = s_special[static_cast<unsigned char>(text[i])];
    }
    if (!quoted) {
        if (formula) {
            *out++ = '\'';
        }
        return put(out, text);
    }
    *out++ = '"';
    if (formula) {
        *out++ = '\'';
    }
    for (const char c : text) {
        if (c == '"') {
            *out++ = '"';
        }
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

void appendCsvField(std::string& out, std::string_view text, bool neutralised)
{
    const std::size_t start = out.size();
    out.resize(start + 3 + 2 * text.size());
    out.resize(static_cast<std::size_t>(writeCsvField(out.data() + start, text, neutralised) - out.data()));
}

CsvExportWriter::CsvExportWriter(bool forSpreadsheets)
    : m_forSpreadsheets(forSpreadsheets)
{
}

void CsvExportWriter::begin(ExportBuffer& out)
{
    if (m_forSpreadsheets) {
        out += "\xEF\xBB\xBF";
    }
    out += "Owner,Fileset,Disc,Serial,Path,Name,Entry,Type,Size,Modified\r\n";
}

void CsvExportWriter::beginFileset(ExportBuffer&, const ExportFileset& fileset)
{
    m_filesetFields.clear();
    appendCsvField(m_filesetFields, fileset.owner.text, m_forSpreadsheets);
    m_filesetFields += ',';
    appendCsvField(m_filesetFields, fileset.name.text, m_forSpreadsheets);
    m_filesetFields += ',';
}

void CsvExportWriter::beginDisc(ExportBuffer&, const TKTBDisc&, const ExportPlace& place, bool)
{
    m_discFields.clear();
    appendCsvField(m_discFields, place.discTitle.text, m_forSpreadsheets);
    m_discFields += ',';
    m_discFields += place.serial;
    m_discFields += ',';
    m_rowStartPath = UINT64_MAX;
}

const std::string& CsvExportWriter::rowStart(const ExportPlace& place)
{
    if (m_rowStartPath != place.pathChanges) {
        m_rowStartPath = place.pathChanges;
        m_rowStart = m_filesetFields;
        m_rowStart += m_discFields;
        appendCsvField(
            m_rowStart, place.path.empty() ? std::string_view("/") : std::string_view(place.path), m_forSpreadsheets);
        m_rowStart += ',';
    }
    return m_rowStart;
}

void CsvExportWriter::beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace& place)
{
    const std::string& start = rowStart(place);
    char* at = out.reserve(start.size() + 2 * folder.name.text.size() + 16);
    at = put(at, start);
    at = writeCsvField(at, folder.name.text, m_forSpreadsheets);
    at = put(at, ",folder,,,\r\n");
    out.commit(at);
}

void CsvExportWriter::file(ExportBuffer& out, const ExportEntry& file, const ExportPlace& place)
{
    const std::string& start = rowStart(place);
    const std::string& kind = m_kinds.kindOf(file.name.bytes);
    // The row is written through one window: the start, the name, the kind (never quoted), the size
    // and the date.
    char* at = out.reserve(start.size() + 2 * file.name.text.size() + kind.size() + 48);
    at = put(at, start);
    at = writeCsvField(at, file.name.text, m_forSpreadsheets);
    at = put(at, ",file,");
    at = put(at, kind);
    *at++ = ',';
    at = std::to_chars(at, at + 10, file.size).ptr;
    *at++ = ',';
    if (formatDosDateTime(file.dateTime, at)) {
        at += 19;
    }
    at = put(at, "\r\n");
    out.commit(at);
}
