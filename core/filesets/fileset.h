#pragma once
// One catalog file as the application sees it.

#include "engine/ktb_owners.h"
#include "engine/ktbdef.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <cstdint>

/// One catalog file as the application sees it. Opens its file lazily on first use; every failing
/// engine code becomes an CatalogError, except that header writes to a locked fileset are dropped.
class Fileset {
public:
    /// Stores the path. With createNew the file is created at the first access; an existing file then
    /// raises FileError. With readOnly the file is opened for reading only, without the writer's
    /// lock (tools that read while the program runs); every change is then refused like a lock.
    Fileset(const QString& path, bool createNew, bool readOnly = false);
    ~Fileset();
    Fileset(const Fileset&) = delete;
    Fileset& operator=(const Fileset&) = delete;

    /// The engine handle, opening the file first when it is closed.
    TKTBHandle* handle();
    /// Whether a handle is open now (no file access).
    bool isOpen() const { return m_handle != nullptr; }
    /// (Re)opens the file; raises CatalogError on failure and stays closed.
    void open();
    /// Closes the file; the next access opens it again.
    void close();
    /// Whether the file's protection key keeps it from changes.
    bool isLocked();
    /// Why a change of a read-only fileset is refused, for the user.
    QString readOnlyMessage();
    /// The description, or the file-name part of fileName when the catalog cannot be read; never raises.
    QString descriptionOrFileName();

    /// Reads or writes one header field (KTB_HDR_ ids). Texts are QString, dates QDateTime, the
    /// version an integer. A write to a locked fileset is dropped silently; a refused read of the key
    /// gives an empty text.
    QVariant accessField(bool write, int field, const QVariant& value = QVariant());

    QString owner();
    void setOwner(const QString& owner);
    /// The stored name, or the file-name part of fileName when it is empty.
    QString description();
    void setDescription(const QString& description);
    QDateTime created();
    QDateTime modified();
    std::uint32_t version();
    /// Remembers the key for this run (offered at every open) and stores it; empty removes it.
    void setProtectionKey(const QString& key);

    /// Bytes of the record area; reopens the file so the latest contents are mapped.
    std::uint64_t dataSize();
    /// Number of discs.
    int discCount();
    /// Sum of the Used bytes of every disc.
    std::uint64_t totalDiscSize();

    bool createPending;
    QString protectionKey;
    const QString fileName;
    const bool readOnly;

private:
    KtbHandlePtr m_handle;
};
