#pragma once
// Where an export goes: a file written under a temporary name beside the target and renamed to the
// target's name only once it is whole and on disk, so a cancelled or failed export never leaves a half
// file under the user's name; or standard output.

#include "core/export/exportbuffer.h"

#include <QString>
#include <string>

class ExportFile {
public:
    /// Writes to standard output (the descriptor 1); commit() only flushes.
    ExportFile();
    /// Writes to a temporary file beside path; open() makes it.
    explicit ExportFile(const QString& path);
    /// Removes the temporary file unless committed.
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    /// Makes the temporary file; false (error() tells why) when the folder cannot be written.
    bool open();
    /// The buffer the writers append to; flushed whenever it grows past a megabyte.
    ExportBuffer& buffer() { return m_buffer; }
    /// Writes the buffer out when it is large; false once a write failed.
    bool flushIfFull() { return m_buffer.size() < s_flushSize ? m_ok : flush(); }
    /// Writes the buffer out; false once a write failed (error() tells why).
    bool flush();
    /// Writes the rest, syncs the file, renames it to the target's name and syncs the folder; false
    /// (error() tells why, the temporary file removed) when any step failed.
    bool commit();
    /// Removes the temporary file; the target is left as it was.
    void abandon();

    bool ok() const { return m_ok; }
    /// What went wrong, for the user, naming the file: "/media/stick/list.csv: No space left on device".
    const QString& error() const { return m_error; }
    /// The target's path; empty for standard output.
    const QString& path() const { return m_path; }

private:
    static constexpr std::size_t s_flushSize = 1u << 20;

    bool fail(const QString& file, int error);

    QString m_path;
    std::string m_temporaryPath; ///< in the file system's encoding
    int m_descriptor = -1;
    bool m_toStandardOutput = false;
    bool m_ok = true;
    bool m_committed = false;
    QString m_error;
    ExportBuffer m_buffer;
};
