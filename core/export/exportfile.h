#pragma once
// Where an export goes: a file written beside the target and given the target's name only once it is
// whole and on disk, so a cancelled or failed export never leaves a half file under the user's name; or
// standard output. The file has no name while it is written where the file system allows it (O_TMPFILE),
// so an export that is killed leaves nothing; elsewhere it has a hidden name (".NAME.XXXXXX") that it
// holds locked, and the next export of the same target removes such files that no export holds. The
// writes run on a thread of their own, so the export fills the next buffer while the last one is
// written.

#include "core/export/exportbuffer.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class ExportFile {
public:
    /// Writes to standard output (the descriptor 1); commit() only flushes.
    ExportFile();
    /// Writes to a file beside path; open() makes it.
    explicit ExportFile(const QString& path);
    /// Removes the file written unless committed.
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    /// Removes what killed exports of the same target left, then makes the file to write; false
    /// (error() tells why) when the folder cannot be written.
    bool open();
    /// The buffer the writers append to; flushed whenever it grows past a megabyte.
    ExportBuffer& buffer() { return m_buffer; }
    /// Hands the buffer to the writing thread when it is large; false once a write failed.
    bool flushIfFull() { return m_buffer.size() < s_flushSize ? ok() : flush(); }
    /// Hands the buffer to the writing thread (after the one it writes); false once a write failed.
    bool flush();
    /// Writes the rest, syncs the file, gives it the target's name and syncs the folder; false (error()
    /// tells why, the file written removed) when any step failed.
    bool commit();
    /// Removes the file written; the target is left as it was.
    void abandon();

    bool ok() const { return m_ok.load(std::memory_order_acquire); }
    /// What went wrong, for the user, naming the file: "/media/stick/list.csv: No space left on device".
    const QString& error() const { return m_error; }
    /// The target's path; empty for standard output.
    const QString& path() const { return m_path; }

private:
    static constexpr std::size_t s_flushSize = 1u << 20;

    bool fail(const QString& file, int error);
    /// Gives the file without a name the name path; an errno, 0 on success.
    int linkTo(const char* path) const;
    /// Gives the file without a name a hidden name beside the target (m_temporaryPath); an errno, 0 on
    /// success.
    int linkHidden();
    /// Waits until the writing thread has written what it was handed.
    void waitForWriter();
    /// The writing thread: writes m_writing whenever it is handed one.
    void writeLoop();
    /// Writes bytes to the descriptor; false (and the error kept) on failure.
    bool writeAll(const ExportBuffer& bytes);

    QString m_path;
    std::string m_folder; ///< the target's folder, in the file system's encoding
    std::string m_hiddenPrefix; ///< ".NAME.", the start of the hidden names beside the target
    std::string m_temporaryPath; ///< the hidden name of the file written, if it has one
    int m_descriptor = -1;
    bool m_toStandardOutput = false;
    std::atomic_bool m_ok { true };
    bool m_committed = false;
    QString m_error;
    ExportBuffer m_buffer;
    ExportBuffer m_writing; ///< handed to the writing thread
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_handed = false; ///< m_writing waits to be written
    bool m_ending = false;
    std::thread m_writer;
};
