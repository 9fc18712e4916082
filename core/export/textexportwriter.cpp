#include "core/export/textexportwriter.h"

void TextExportWriter::beginFileset(ExportBuffer& out, const ExportFileset& fileset)
{
    if (!m_firstFileset) {
        out += '\n';
    }
    m_firstFileset = false;
    out.append(fileset.owner.text);
    out += ": ";
    out.append(fileset.name.text);
    out += '\n';
}

void TextExportWriter::beginDisc(ExportBuffer& out, const TKTBDisc&, const ExportPlace& place, bool)
{
    m_lastAbove.clear();
    out.append(place.discTitle.text);
    out += " [";
    out += place.serial;
    out += "]\n";
}

void TextExportWriter::line(ExportBuffer& out, const ExportEntry& entry)
{
    for (const bool last : m_lastAbove) {
        out += last ? "    " : "\u2502   ";
    }
    out += entry.last ? "\u2514\u2500\u2500 " : "\u251C\u2500\u2500 ";
    // A name with a line break would break the tree: it is shown on one line.
    for (const char c : entry.name.text) {
        out += c == '\n' || c == '\r' ? ' ' : c;
    }
    out += '\n';
}

void TextExportWriter::beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace&)
{
    line(out, folder);
    m_lastAbove.push_back(folder.last);
}

void TextExportWriter::file(ExportBuffer& out, const ExportEntry& file, const ExportPlace&) { line(out, file); }
