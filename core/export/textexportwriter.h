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

    void begin(std::string&) override { }
    void beginFileset(std::string& out, const ExportFileset& fileset) override;
    void beginDisc(std::string& out, const TKTBDisc& disc, const ExportPlace& place, bool partial) override;
    void beginFolder(std::string& out, const ExportEntry& folder, const ExportPlace& place) override;
    void endFolder(std::string&, const ExportPlace&) override { m_lastAbove.pop_back(); }
    void file(std::string& out, const ExportEntry& file, const ExportPlace& place) override;
    void endDisc(std::string&) override { }
    void endFileset(std::string&) override { }
    void finish(std::string&) override { }

private:
    void line(std::string& out, const ExportEntry& entry);

    std::vector<bool> m_lastAbove; ///< per open folder: it was the last of its siblings
    bool m_firstFileset = true;
};
