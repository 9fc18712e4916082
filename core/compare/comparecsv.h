#pragma once
// The results of the compare, duplicates and not-on-any-disc tasks as CSV (csvRecord), one record a
// line ending in CR LF, a header first. Dates are "YYYY-MM-DD HH:MM:SS", empty when unknown; paths are
// in the tree's form.

#include <QString>
#include <cstdint>

struct TreeComparison;
struct DuplicateReport;
struct MissingReport;

/// "Difference,Kind,Path,First size,First date,Second size,Second date": the entries that differ.
QString comparisonCsv(const TreeComparison& comparison);
/// "Group,Size,Copies,Wasted,Name,Folder,Date": one line a file of each group.
QString duplicatesCsv(const DuplicateReport& report);
/// "Status,Path,Size,Date,Held by": one line a local file; "Held by" names the first holders.
QString missingCsv(const MissingReport& report);

/// A packed DOS date-time as "YYYY-MM-DD HH:MM:SS"; empty when it is no date.
QString isoDosDateTime(std::uint32_t packed);
/// The name of a kind of difference: "only in first", "only in second", "changed", "same".
QString differenceName(int difference);
