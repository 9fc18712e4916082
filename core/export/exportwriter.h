#pragma once
// One export format: it gets the records of the walk in catalog order, their texts already UTF-8, and
// appends its bytes to the output's buffer. The driver (CatalogExport) decides what is shown (depth,
// folders only, a folder's subtree); a writer only formats.

#include "core/export/exportbuffer.h"
#include "engine/ktbdef.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// Which file an export writes.
enum class ExportFormat { Csv, Json, Html, Text };

/// A catalog text: its bytes, and the same as UTF-8 (equal to the bytes when they are UTF-8).
struct ExportText {
    std::string_view bytes;
    std::string_view text;
    bool utf8 = true;
};

/// The fileset being exported.
struct ExportFileset {
    ExportText owner;
    ExportText name; ///< its description
    std::string_view fileName; ///< the catalog file's name, UTF-8
};

/// Where a record is: the disc and the folders that hold it.
struct ExportPlace {
    ExportText discTitle;
    std::string serial; ///< "D61A-E85B"
    /// The folders from the disc's top down to the one holding the record, each as "/" and its name
    /// ("/Music/Rock"); empty on the disc's top.
    std::string path;
    std::uint64_t pathChanges = 0; ///< grows whenever path changes (writers keep what they derive from it)
};

/// One folder or file.
struct ExportEntry {
    ExportText name;
    ExportText comment; ///< a file's
    bool folder = false;
    std::uint32_t size = 0;
    std::uint32_t dateTime = 0;
    /// Only for writers that asked for it (wantsLastMarks): no later sibling of it is exported.
    bool last = false;
};

class ExportWriter {
public:
    virtual ~ExportWriter() = default;

    /// Whether entries must carry ExportEntry::last (the driver then reads each disc twice).
    virtual bool wantsLastMarks() const { return false; }

    virtual void begin(ExportBuffer& out) = 0;
    virtual void beginFileset(ExportBuffer& out, const ExportFileset& fileset) = 0;
    /// A disc record; partial is true when the export leaves out some of the disc's entries.
    virtual void beginDisc(ExportBuffer& out, const TKTBDisc& disc, const ExportPlace& place, bool partial) = 0;
    /// A folder, followed by its entries and endFolder().
    virtual void beginFolder(ExportBuffer& out, const ExportEntry& folder, const ExportPlace& place) = 0;
    virtual void endFolder(ExportBuffer& out, const ExportPlace& place) = 0;
    virtual void file(ExportBuffer& out, const ExportEntry& file, const ExportPlace& place) = 0;
    virtual void endDisc(ExportBuffer& out) = 0;
    virtual void endFileset(ExportBuffer& out) = 0;
    virtual void finish(ExportBuffer& out) = 0;
};

/// The writer of a format; withByteOrderMark is for CSV: the CSV for spreadsheet programs (they read
/// UTF-8 by the mark, and its fields never start a formula).
std::unique_ptr<ExportWriter> makeExportWriter(ExportFormat format, bool withByteOrderMark = false);
