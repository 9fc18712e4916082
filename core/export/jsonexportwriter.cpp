#include "core/export/jsonexportwriter.h"

#include "core/export/exporttext.h"

#include <cstring>

JsonExportWriter::JsonExportWriter(bool forHtml)
    : m_forHtml(forHtml)
{
}

void JsonExportWriter::element(ExportBuffer& out)
{
    if (!m_first.back()) {
        out += ",\n";
    }
    m_first.back() = false;
}

void JsonExportWriter::openArray(ExportBuffer& out)
{
    out += "[\n";
    m_first.push_back(true);
}

void JsonExportWriter::closeArray(ExportBuffer& out)
{
    m_first.pop_back();
    out += ']';
}

void JsonExportWriter::text(ExportBuffer& out, const char* key, const ExportText& value)
{
    out += ", \"";
    out += key;
    out += "\": ";
    appendJsonString(out, value.text, m_forHtml);
    if (!value.utf8) {
        out += ", \"";
        out += key;
        out += "Bytes\": \"";
        appendBase64(out, value.bytes);
        out += '"';
    }
}

void JsonExportWriter::member(ExportBuffer& out, const char* key, std::uint64_t value)
{
    out += ", \"";
    out += key;
    out += "\": ";
    appendNumber(out, value);
}

void JsonExportWriter::date(ExportBuffer& out, const char* key, const char* packedKey, std::uint32_t packed)
{
    out += ", \"";
    out += key;
    out += "\": ";
    char text[19];
    if (formatDosDateTime(packed, text)) {
        out += '"';
        out.append(text, sizeof text);
        out += '"';
        return;
    }
    out += "null";
    if (packed != 0) {
        member(out, packedKey, packed);
    }
}

void JsonExportWriter::begin(ExportBuffer& out)
{
    out += "{\"katalox\": \"export\", \"version\": 1, \"filesets\": ";
    m_first.clear();
    openArray(out);
}

void JsonExportWriter::beginFileset(ExportBuffer& out, const ExportFileset& fileset)
{
    element(out);
    out += "{\"file\": ";
    appendJsonString(out, fileset.fileName, m_forHtml);
    text(out, "owner", fileset.owner);
    text(out, "name", fileset.name);
    out += ", \"discs\": ";
    openArray(out);
}

void JsonExportWriter::beginDisc(ExportBuffer& out, const TKTBDisc& disc, const ExportPlace& place, bool partial)
{
    element(out);
    out += "{\"serial\": \"";
    out += place.serial;
    out += '"';
    text(out, "title", place.discTitle);
    const std::string_view comment(disc.Comment, strnlen(disc.Comment, sizeof disc.Comment));
    std::string commentText;
    const bool commentUtf8 = appendCatalogUtf8(commentText, comment);
    text(out, "comment", { comment, commentText, commentUtf8 });
    member(out, "flags", disc.Flags);
    out += ", \"audio\": ";
    out += (disc.Flags & KTB_DISC_AUDIO) != 0 ? "true" : "false";
    date(out, "scanned", "scanTime", disc.ScanTime);
    out += ", \"used\": ";
    out += std::string_view(std::to_string(disc.Used));
    out += ", \"capacity\": ";
    out += std::string_view(std::to_string(disc.Capacity));
    if (!partial) {
        member(out, "files", disc.Files);
        member(out, "folders", disc.Folders);
    }
    out += ", \"entries\": ";
    openArray(out);
}

void JsonExportWriter::beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace&)
{
    element(out);
    out += "{\"folder\": true";
    text(out, "name", folder.name);
    out += ", \"entries\": ";
    openArray(out);
}

void JsonExportWriter::endFolder(ExportBuffer& out, const ExportPlace&)
{
    closeArray(out);
    out += '}';
}

void JsonExportWriter::file(ExportBuffer& out, const ExportEntry& file, const ExportPlace&)
{
    element(out);
    out += "{\"size\": ";
    appendNumber(out, file.size);
    text(out, "name", file.name);
    out += ", \"type\": ";
    appendJsonString(out, m_kinds.kindOf(file.name.bytes), m_forHtml);
    date(out, "modified", "dateTime", file.dateTime);
    if (!file.comment.bytes.empty()) {
        text(out, "comment", file.comment);
    }
    out += '}';
}

void JsonExportWriter::endDisc(ExportBuffer& out)
{
    closeArray(out);
    out += '}';
}

void JsonExportWriter::endFileset(ExportBuffer& out)
{
    closeArray(out);
    out += '}';
}

void JsonExportWriter::finish(ExportBuffer& out)
{
    closeArray(out);
    out += "}\n";
}
