#pragma once
// The registry of every fileset the program knows, with its list file "ktblist.lst".

#include "core/filesets/fileset.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

/// The ordered list of every fileset the program knows, rebuilt at every start from the managed
/// locations of "ktblist.lst" and the storage folder. Owns its Fileset objects and tells its listeners
/// (the owners index, the search) of every fileset added and removed.
class FilesetRegistry : public QObject {
    Q_OBJECT
public:
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
    ~FilesetRegistry() override;
    FilesetRegistry(const FilesetRegistry&) = delete;
    FilesetRegistry& operator=(const FilesetRegistry&) = delete;

    int count() const { return static_cast<int>(m_items.size()); }
    Fileset* at(int index) const { return m_items.at(static_cast<std::size_t>(index)).get(); }
    /// The index of that very object, or -1.
    int indexOf(const Fileset* fileset) const;
    /// Takes the fileset out of the list, emits filesetRemoved, then destroys it.
    void removeAt(int index);
    /// Deletes every fileset, last first (the registry's destruction too).
    void clear();

    /// Adds one existing catalog file; -1 when it is registered already or not added. A file that can
    /// be read but not written (its permissions, a read-only medium, an immutable file, a journal of
    /// another user beside it: that one is kept for takeLoadErrors) is opened read-only. Raises
    /// CatalogError when the file cannot be opened at all.
    int addFile(const QString& path);
    /// Adds every "*.ktb" file directly inside folder; a file that cannot be opened is skipped and kept
    /// for takeLoadErrors.
    void addFolder(const QString& folder);
    /// Adds every location of Locations in order (files, then folders; others are skipped). A file
    /// that cannot be opened is skipped and kept for takeLoadErrors; the locations after it still load.
    void addLocations();
    /// The first fileset whose fileName equals path ignoring ASCII letter case, or -1.
    int indexOfPath(const QString& path) const;
    /// The file name a new fileset of that owner gets in that folder. In the owner's part of the name
    /// "/" and control characters become "_", so an owner "AC/DC" names no sub-folder.
    static QString defaultFileName(const QString& owner, const QString& folder);
    /// Why a new catalog file cannot be made at path, for the user: the folder is missing, cannot be
    /// written, or the file itself cannot be made.
    static QString creationFailureReason(const QString& path);
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

    /// The files that could not be opened since the last call, each named with the reason, for one
    /// message; none when every file loaded. A file is told of once while the registry lives.
    std::optional<QString> takeLoadErrors();

    /// Tells the listeners that the catalog of a registered fileset was changed (discs added, deleted,
    /// moved, rescanned or edited): records may now sit at other offsets.
    void notifyChanged(Fileset* fileset);

    QStringList locations;

    /// Installed by the program before the registry is created; without them the question answers No.
    static ConversionQuestion onConversionQuestion;
    static ConvertFileset onConvertFileset;
    /// The text of the conversion question for a file.
    static QString conversionQuestionText(const QString& path);

signals:
    /// The fileset was appended to the list.
    void filesetAdded(Fileset* fileset);
    /// The fileset was taken out of the list; it still exists and is destroyed when the signal
    /// returns, so listeners drop every reference to it here.
    void filesetRemoved(Fileset* fileset);
    /// The catalog of the fileset was changed (notifyChanged); views of its records are out of date.
    void filesetChanged(Fileset* fileset);

private:
    void append(std::unique_ptr<Fileset> fileset);
    void destroyAt(int index);
    /// addFile, keeping a failure for takeLoadErrors instead of raising it.
    void addFileKeepingFailure(const QString& path);
    /// Keeps the failure of a file for takeLoadErrors, once per file.
    void keepLoadError(const QString& path, const QString& message);

    Options m_options;
    std::vector<std::unique_ptr<Fileset>> m_items;
    QStringList m_loadErrors;
    QStringList m_reportedFiles;
};

/// The process-wide registry; created and released by the program's start-up code.
extern FilesetRegistry* g_filesetRegistry;
