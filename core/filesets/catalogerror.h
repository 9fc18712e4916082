#pragma once
// The exceptions of the fileset library: a failing engine code with the file it failed on, and an
// input/output failure outside the engine.

#include "engine/ktb_journal.h"
#include "engine/ktbdef.h"

#include <QString>
#include <stdexcept>

/// The one exception of the fileset library: a failing engine code and the file it failed on.
class CatalogError : public std::runtime_error {
public:
    CatalogError(TKTBERROR code, const QString& fileName);

    /// The message as built for the user: "An error occurred in a KTB file", the file, the code's name,
    /// and for a bad record the tag and offset of the last bad record met.
    QString message() const { return m_message; }
    TKTBERROR code;

    static QString buildMessage(TKTBERROR code, const QString& fileName);

private:
    QString m_message;
};

/// Why a file beside a catalog (its journal, or the file a new catalog is built in) keeps it from being
/// changed: "belongs to user bob (uid 12345), ...", without the file's name.
QString journalProblemText(const TKTBJournalProblem& problem);
/// What a change that committed but could not be made safe on disk means: "done, but not yet safe on
/// disk: ...".
QString unsyncedChangeText();

/// An input/output failure outside the engine ("Cannot create new fileset. ... already exists.").
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message);
    QString message() const { return m_message; }

private:
    QString m_message;
};
