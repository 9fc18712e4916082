#pragma once
// The application's objects over catalog files: one object per fileset (TKTBFile), the registry of
// known filesets with its list file (TKTBFiles, instance FilesetList), the owners index (TKTBOwners,
// instance OwnerList) and the catalog exception (EKTBException).

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
class EKTBException : public std::runtime_error {
public:
    EKTBException(TKTBERROR code, const QString& fileName);

    /// The message as built for the user: "An error occurred in a KTB file", the file, the code's name,
    /// and for a bad record the tag and offset of the last bad record met.
    QString message() const { return m_message; }
    TKTBERROR Code;

    static QString buildMessage(TKTBERROR code, const QString& fileName);

private:
    QString m_message;
};

/// An input/output failure outside the engine ("Cannot create new fileset. ... already exists.").
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(const QString& message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

/// One catalog file as the application sees it. Opens its file lazily on first use; every failing
/// engine code becomes an EKTBException, except that header writes to a locked fileset are dropped.
class TKTBFile {
public:
    /// Stores the path. With createNew the file is created at the first access; an existing file then
    /// raises EInOutError. With readOnly the file is opened for reading only, without the writer's
    /// lock (tools that read while the program runs); every change is then refused like a lock.
    TKTBFile(const QString& path, bool createNew, bool readOnly = false);
    ~TKTBFile();
    TKTBFile(const TKTBFile&) = delete;
    TKTBFile& operator=(const TKTBFile&) = delete;

    /// The engine handle, opening the file first when it is closed.
    TKTBHandle* Handle();
    /// Whether a handle is open now (no file access).
    bool IsOpen() const { return m_handle != nullptr; }
    /// (Re)opens the file; raises EKTBException on failure and stays closed.
    void Open();
    /// Closes the file; the next access opens it again.
    void Close();
    /// Whether the file's protection key keeps it from changes.
    bool IsLocked();

    /// Reads or writes one header field (KTB_HDR_ ids). Texts are QString, dates QDateTime, the
    /// version an integer. A write to a locked fileset is dropped silently; a refused read of the key
    /// gives an empty text.
    QVariant AccessField(bool write, int field, const QVariant& value = QVariant());

    QString GetOwner();
    void SetOwner(const QString& owner);
    /// The stored name, or the file-name part of FileName when it is empty.
    QString GetDescription();
    void SetDescription(const QString& description);
    QDateTime GetCreated();
    QDateTime GetModified();
    std::uint32_t GetVersion();
    /// Remembers the key for this run (offered at every open) and stores it; empty removes it.
    void SetProtectionKey(const QString& key);

    /// Bytes of the record area; reopens the file so the latest contents are mapped.
    std::uint64_t DataSize();
    /// Number of discs.
    int DiscCount();
    /// Sum of the Used bytes of every disc.
    std::uint64_t TotalDiscSize();

    bool CreatePending;
    QString ProtectionKey;
    const QString FileName;
    const bool ReadOnly;

private:
    TKTBHandle* m_handle = nullptr;
};

/// What happened to a fileset of the registry.
enum class TListNotification { lnAdded, lnDeleted };

/// The ordered list of every fileset the program knows, rebuilt at every start from the managed
/// locations of "ktblist.lst" and the storage folder. Owns its TKTBFile objects.
class TKTBFiles {
public:
    using NotifyListener = std::function<void(TKTBFile* fileset, TListNotification action)>;
    /// Asked when a file of another version is met: answers whether to convert it.
    using ConversionQuestion = std::function<bool(const QString& path)>;
    /// Converts a file of the older version in place: 1 when converted and replaced, 2 when not.
    using ConvertFileset = std::function<int(const QString& path)>;

    struct Options {
        /// Load "ktblist.lst" at creation and write it at destruction.
        bool useListFile = true;
        /// Open every fileset read-only (see TKTBFile).
        bool readOnly = false;
    };

    TKTBFiles();
    explicit TKTBFiles(Options options);
    ~TKTBFiles();
    TKTBFiles(const TKTBFiles&) = delete;
    TKTBFiles& operator=(const TKTBFiles&) = delete;

    int Count() const { return static_cast<int>(m_items.size()); }
    TKTBFile* Items(int index) const { return m_items.at(static_cast<std::size_t>(index)).get(); }
    /// The index of that very object, or -1.
    int IndexOf(const TKTBFile* fileset) const;
    /// Takes the fileset out of the list, notifies, then destroys it.
    void Delete(int index);
    /// Deletes every fileset, last first.
    void Clear();

    /// Adds one existing catalog file; -1 when it is registered already or not added.
    int AddFile(const QString& path);
    /// Adds every "*.ktb" file directly inside folder; failures of single files are dropped.
    void AddFolder(const QString& folder);
    /// Adds every location of Locations in order (files, then folders; others are skipped).
    void AddLocations();
    /// The first fileset whose FileName equals path ignoring ASCII letter case, or -1.
    int IndexOfPath(const QString& path) const;
    /// The file name a new fileset of that owner gets in that folder.
    static QString DefaultFileName(const QString& owner, const QString& folder);
    /// Creates a new catalog file at DefaultFileName, writes the owner, adds it; -1 on any failure.
    int CreateFileset(const QString& owner, const QString& folder);
    /// Closes every fileset (they open again on their next use).
    void CloseAll();

    /// The list file's path ("ktblist.lst" in the config folder).
    static QString ListFilePath();
    /// Loads Locations from the list file (CR LF, CR or LF end a line).
    void LoadLocations();
    /// Writes Locations to the list file (CR LF after every line); false when it cannot be written.
    bool SaveLocations() const;

    /// The failure of the first AddLocations at creation, kept to be shown once the program runs.
    std::optional<QString> TakeStartupError();

    QStringList Locations;
    NotifyListener OnNotify;

    /// Installed by the program before the registry is created; without them the question answers No.
    static ConversionQuestion OnConversionQuestion;
    static ConvertFileset OnConvertFileset;
    /// The text of the conversion question for a file.
    static QString ConversionQuestionText(const QString& path);

private:
    void append(std::unique_ptr<TKTBFile> fileset);
    void destroyAt(int index);

    Options m_options;
    std::vector<std::unique_ptr<TKTBFile>> m_items;
    std::optional<QString> m_startupError;
};

/// One owner and the filesets filed under it (not owned).
class TKTBOwner {
public:
    explicit TKTBOwner(const QString& name)
        : Name(name)
    {
    }
    int Count() const { return static_cast<int>(m_filesets.size()); }
    TKTBFile* Items(int index) const { return m_filesets.at(static_cast<std::size_t>(index)); }
    int IndexOf(const TKTBFile* fileset) const;
    void Add(TKTBFile* fileset) { m_filesets.push_back(fileset); }
    void Remove(const TKTBFile* fileset);
    /// Sets Name and writes it as the owner text of each fileset (locked ones keep theirs).
    void Rename(const QString& name);

    QString Name;

private:
    std::vector<TKTBFile*> m_filesets;
};

/// The owners index over the registry, following it through its notification.
class TKTBOwners {
public:
    explicit TKTBOwners(TKTBFiles* registry);
    ~TKTBOwners();
    TKTBOwners(const TKTBOwners&) = delete;
    TKTBOwners& operator=(const TKTBOwners&) = delete;

    int Count() const { return static_cast<int>(m_owners.size()); }
    TKTBOwner* Items(int index) const { return m_owners.at(static_cast<std::size_t>(index)).get(); }
    void Delete(int index);

    /// Appends a new owner without filesets and answers its index.
    int AddOwner(const QString& name);
    /// Files the fileset under the owner of that name ("" is "[Nobody]"), creating the owner.
    void AddFileset(const QString& name, TKTBFile* fileset);
    /// Takes the fileset out of every owner that lists it.
    void RemoveFileset(TKTBFile* fileset);
    void FilesetNotify(TKTBFile* fileset, TListNotification action);
    /// The first owner named so, ignoring ASCII letter case ("" is "[Nobody]"), or -1.
    int IndexOfName(const QString& name) const;
    /// The first owner that lists that very fileset, or -1.
    int IndexOfFileset(const TKTBFile* fileset) const;
    /// Moves the fileset to the owner at target; an owner left empty leaves the index.
    bool MoveFileset(TKTBFile* fileset, int target);
    /// Deletes every owner and files every fileset of the registry again.
    void Rebuild();
    /// Stops following the registry.
    void Detach();

private:
    TKTBFiles* m_registry;
    std::vector<std::unique_ptr<TKTBOwner>> m_owners;
};

/// The owner name of filesets without owner text.
extern const QString NobodyOwner;

/// ASCII-only upper-casing, the one letter-case rule of catalog names.
QString upperAscii(const QString& text);
/// Equality ignoring the case of the letters a-z only.
bool sameTextAscii(const QString& a, const QString& b);

/// The process-wide registry and owners index; created and released by the program's start-up code.
extern TKTBFiles* FilesetList;
extern TKTBOwners* OwnerList;
