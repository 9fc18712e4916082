#pragma once
// The file a companion window saves to: asked for through the questions module with the format's
// filter, the format's extension added to a name without one, and an existing file replaced only when
// the user agrees.

#include <QString>

/// The chosen path, starting with name + suffix in the home folder; empty when the user cancelled or
/// would not replace an existing file. caption heads the save dialog and the question (the window's).
QString chooseSavePath(
    const QString& caption, const QString& question, const QString& name, const QString& filter, const QString& suffix);
