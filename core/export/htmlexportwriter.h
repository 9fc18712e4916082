#pragma once
// HTML: one self-contained page (no other file, no network). The catalogs are embedded as the JSON
// export inside a data element, every string escaped so that no name can end that element; the page's
// script draws a tree per disc whose folders are drawn when they are opened (a disc of a million
// entries stays usable), with sizes and dates, and a search box.

#include "core/export/jsonexportwriter.h"

class HtmlExportWriter : public ExportWriter {
public:
    HtmlExportWriter();

    void begin(ExportBuffer& out) override;
    void beginFileset(ExportBuffer& out, const ExportFileset& fileset) override { m_data.beginFileset(out, fileset); }
    void beginDisc(ExportBuffer& out, const TKTBDisc& disc, const ExportPlace& place, bool partial) override
    {
        m_data.beginDisc(out, disc, place, partial);
    }
    void beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace& place) override
    {
        m_data.beginFolder(out, folder, place);
    }
    void endFolder(ExportBuffer& out, const ExportPlace& place) override { m_data.endFolder(out, place); }
    void file(ExportBuffer& out, const ExportEntry& file, const ExportPlace& place) override
    {
        m_data.file(out, file, place);
    }
    void endDisc(ExportBuffer& out) override { m_data.endDisc(out); }
    void endFileset(ExportBuffer& out) override { m_data.endFileset(out); }
    void finish(ExportBuffer& out) override;

private:
    JsonExportWriter m_data;
};
