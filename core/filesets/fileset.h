#pragma once
// The application's objects over catalog files: one object per fileset (Fileset), the registry of
// known filesets with its list file (FilesetRegistry, instance g_filesetRegistry), the owners index (OwnerIndex,
// instance g_ownerIndex) and the catalog exception (CatalogError).

#include "engine/ktbdef.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

struct TKTBHandle;

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

/// An input/output failure outside the engine ("Cannot create new fileset. ... already exists.").
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

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
    TKTBHandle* m_handle = nullptr;
};

/// What happened to a fileset of the registry.
enum class RegistryChange { FilesetAdded, FilesetDeleted };

/// The ordered list of every fileset the program knows, rebuilt at every start from the managed
/// locations of "ktblist.lst" and the storage folder. Owns its Fileset objects.
class FilesetRegistry {
public:
    using NotifyListener = std::function<void(Fileset* fileset, RegistryChange action)>;
    /// Asked when a file of another version is met: answers whether to convert it.
    using ConversionQuestion = std::function<bool(const QString& path)>;
    /// Converts a file of the older version in place: 1 when converted and replaced, 2 when not.
    using ConvertFileset = std::function<int(const QString& path)>;

    struct Options {
        /// Load "ktblist.lst" at creation and write it at destruction.
        bool useListFile = true;
        /// Open every fileset read-only (see Fileset).
        bool readOnly = false;
    };

    FilesetRegistry();
    explicit FilesetRegistry(Options options);
    ~FilesetRegistry();
    FilesetRegistry(const FilesetRegistry&) = delete;
    FilesetRegistry& operator=(const FilesetRegistry&) = delete;

    int count() const { return static_cast<int>(m_items.size()); }
    Fileset* at(int index) const { return m_items.at(static_cast<std::size_t>(index)).get(); }
    /// The index of that very object, or -1.
    int indexOf(const Fileset* fileset) const;
    /// Takes the fileset out of the list, notifies, then destroys it.
    void removeAt(int index);
    /// Deletes every fileset, last first.
    void clear();

    /// Adds one existing catalog file; -1 when it is registered already or not added.
    int addFile(const QString& path);
    /// Adds every "*.ktb" file directly inside folder; failures of single files are dropped.
    void addFolder(const QString& folder);
    /// Adds every location of Locations in order (files, then folders; others are skipped).
    void addLocations();
    /// The first fileset whose fileName equals path ignoring ASCII letter case, or -1.
    int indexOfPath(const QString& path) const;
    /// The file name a new fileset of that owner gets in that folder.
    static QString defaultFileName(const QString& owner, const QString& folder);
    /// Creates a new catalog file at defaultFileName, writes the owner, adds it; -1 on any failure.
    int createFileset(const QString& owner, const QString& folder);
    /// Closes every fileset (they open again on their next use).
    void closeAll();

    /// The list file's path ("ktblist.lst" in the config folder).
    static QString listFilePath();
    /// Loads Locations from the list file (CR LF, CR or LF end a line).
    void loadLocations();
    /// Writes Locations to the list file (CR LF after every line); false when it cannot be written.
    bool saveLocations() const;

    /// The failure of the first addLocations at creation, kept to be shown once the program runs.
    std::optional<QString> takeStartupError();

    QStringList locations;
    NotifyListener onNotify;

    /// Installed by the program before the registry is created; without them the question answers No.
    static ConversionQuestion onConversionQuestion;
    static ConvertFileset onConvertFileset;
    /// The text of the conversion question for a file.
    static QString conversionQuestionText(const QString& path);

private:
    void append(std::unique_ptr<Fileset> fileset);
    void destroyAt(int index);

    Options m_options;
    std::vector<std::unique_ptr<Fileset>> m_items;
    std::optional<QString> m_startupError;
};

/// One owner and the filesets filed under it (not owned).
class Owner {
public:
    explicit Owner(const QString& name)
        : name(name)
    {
    }
    int count() const { return static_cast<int>(m_filesets.size()); }
    Fileset* at(int index) const { return m_filesets.at(static_cast<std::size_t>(index)); }
    int indexOf(const Fileset* fileset) const;
    void add(Fileset* fileset) { m_filesets.push_back(fileset); }
    void remove(const Fileset* fileset);
    /// Sets Name and writes it as the owner text of each fileset (locked ones keep theirs).
    void rename(const QString& name);

    QString name;

private:
    std::vector<Fileset*> m_filesets;
};

/// The owners index over the registry, following it through its notification.
class OwnerIndex {
public:
    explicit OwnerIndex(FilesetRegistry* registry);
    ~OwnerIndex();
    OwnerIndex(const OwnerIndex&) = delete;
    OwnerIndex& operator=(const OwnerIndex&) = delete;

    int count() const { return static_cast<int>(m_owners.size()); }
    Owner* at(int index) const { return m_owners.at(static_cast<std::size_t>(index)).get(); }
    void removeAt(int index);

    /// Appends a new owner without filesets and answers its index.
    int addOwner(const QString& name);
    /// Files the fileset under the owner of that name ("" is "[Nobody]"), creating the owner.
    void addFileset(const QString& name, Fileset* fileset);
    /// Takes the fileset out of every owner that lists it.
    void removeFileset(Fileset* fileset);
    void onRegistryChanged(Fileset* fileset, RegistryChange action);
    /// The first owner named so, ignoring ASCII letter case ("" is "[Nobody]"), or -1.
    int indexOfName(const QString& name) const;
    /// The first owner that lists that very fileset, or -1.
    int indexOfFileset(const Fileset* fileset) const;
    /// Moves the fileset to the owner at target; an owner left empty leaves the index.
    bool moveFileset(Fileset* fileset, int target);
    /// Deletes every owner and files every fileset of the registry again.
    void rebuild();
    /// Stops following the registry.
    void detach();

private:
    FilesetRegistry* m_registry;
    std::vector<std::unique_ptr<Owner>> m_owners;
};

/// The owner name of filesets without owner text.
extern const QString NobodyOwner;

/// ASCII-only upper-casing, the one letter-case rule of catalog names.
QString upperAscii(const QString& text);
/// Equality ignoring the case of the letters a-z only.
bool sameTextAscii(const QString& a, const QString& b);

/// The process-wide registry and owners index; created and released by the program's start-up code.
extern FilesetRegistry* g_filesetRegistry;
extern OwnerIndex* g_ownerIndex;
