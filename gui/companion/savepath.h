#pragma once
// Where a companion window saves what it shows: a file name asked for through the questions module, an
// existing file replaced only when the user agrees.

#include <QString>

/// Asks for a file name (suggested: name + suffix in the home folder) and answers it, suffix added to a
/// name without an extension; empty when the user cancelled or would not replace an existing file.
/// caption titles the question about replacing.
QString askSavePath(
    const QString& caption, const QString& title, const QString& name, const QString& filter, const QString& suffix);
/// Writes the text to path in UTF-8, replacing the file whole or not at all; false on failure.
bool writeTextFile(const QString& path, const QString& text);
/// Tells the user that path could not be written.
void reportUnwritable(const QString& caption, const QString& path);
