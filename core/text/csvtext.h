#pragma once
// Comma-separated values as spreadsheets read them (RFC 4180).

#include <QString>
#include <QStringList>

/// One record: the fields separated by commas; a field holding a comma, a quote, a line break or a
/// leading or trailing blank is quoted, its quotes doubled. No line end is added.
QString csvRecord(const QStringList& fields);
