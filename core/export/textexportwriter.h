#pragma once
// Plain text: a tree per disc, indented with lines as `tree` draws them.
//
//   Anna: Music
//   CD 1 [0000-1234]
//   ├── Music
//   │   └── a.mp3
//   └── notes.txt

#include "core/export/exportwriter.h"

#include <vector>

class TextExportWriter : public ExportWriter {
public:
    bool wantsLastMarks() const override { return true; }

    void begin(ExportBuffer&) override { }
    void beginFileset(ExportBuffer& out, const ExportFileset& fileset) override;
    void beginDisc(ExportBuffer& out, const TKTBDisc& disc, const ExportPlace& place, bool partial) override;
    void beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace& place) override;
    void endFolder(ExportBuffer&, const ExportPlace&) override { m_lastAbove.pop_back(); }
    void file(ExportBuffer& out, const ExportEntry& file, const ExportPlace& place) override;
    void endDisc(ExportBuffer&) override { }
    void endFileset(ExportBuffer&) override { }
    void finish(ExportBuffer&) override { }

private:
    void line(ExportBuffer& out, const ExportEntry& entry);

    std::vector<bool> m_lastAbove; ///< per open folder: it was the last of its siblings
    bool m_firstFileset = true;
};
