#pragma once
// The filesets a companion program works on: a registry of its own that opens every catalog read-only
// (so it works while the main window runs and never writes "ktblist.lst"), filled as the main window
// fills its own, with the owners they are filed under.

#include "engine/ktbdef.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class Fileset;
struct WalkTarget;
class FilesetRegistry;
class OwnerIndex;
struct CompanionArguments;

/// One disc of a fileset, as a scope picker lists it.
struct CatalogDiscEntry {
    std::uint32_t offset = 0;
    QString title;
    std::uint32_t serial = 0;
    std::uint32_t flags = 0;
    std::uint32_t scanTime = 0; ///< packed DOS date-time
    std::int64_t used = 0;
    std::int64_t capacity = 0;
};

/// One fileset with the texts read once when it was loaded, so that windows can show them while
/// workers walk the catalog.
struct CatalogEntry {
    Fileset* fileset = nullptr; ///< owned by the registry
    QString owner; ///< "[Nobody]" for a fileset without owner text
    QString description;
    QString fileName;
};

/// The tree's path of a place in a fileset from the bytes of its names (a disc's title, then folders'
/// names), each decoded on its own: "Owner\Fileset\Disc\Folder\".
QString catalogTreePath(const CatalogEntry& catalog, std::span<const std::string> names);

/// A catalog or location that could not be loaded.
struct CatalogProblem {
    QString path;
    TKTBERROR code = KTB_OK; ///< KTB_OK when the path names no file or folder
    /// What went wrong, for a message box: "PATH: no such file or folder" or the catalog error's text.
    QString message() const;
};

class CompanionCatalogs {
public:
    CompanionCatalogs();
    ~CompanionCatalogs();
    CompanionCatalogs(const CompanionCatalogs&) = delete;
    CompanionCatalogs& operator=(const CompanionCatalogs&) = delete;

    /// Loads what the arguments name: the catalogs given, else the main window's filesets (the managed
    /// locations of "ktblist.lst" in the config folder, then the storage folder: the one given with
    /// -ktbdir, else the one of "Settings.ini"). What cannot be loaded is kept in problems(), never
    /// raised; older-version catalogs are left out (only the main window converts them).
    void load(const CompanionArguments& arguments);
    /// Adds one catalog file, or the catalogs (*.ktb) directly inside a folder; false (and a problem
    /// kept for each) when the path names nothing or a catalog cannot be read. A catalog registered
    /// already is passed over.
    bool addPath(const QString& path);

    int count() const { return static_cast<int>(m_entries.size()); }
    const CatalogEntry& at(int index) const { return m_entries.at(static_cast<std::size_t>(index)); }
    /// The owners in the order first met, each with the indexes of its filesets.
    struct OwnerGroup {
        QString name;
        std::vector<int> catalogs;
    };
    const std::vector<OwnerGroup>& owners() const { return m_owners; }
    const std::vector<CatalogProblem>& problems() const { return m_problems; }

    /// Every catalog whole, in order: the targets of a walk over everything loaded.
    std::vector<WalkTarget> wholeTargets() const;

    /// The discs of a catalog in file order (a walk over the disc records alone); raises CatalogError
    /// when the catalog cannot be read.
    std::vector<CatalogDiscEntry> discs(int index) const;

    FilesetRegistry& registry() { return *m_registry; }

private:
    bool addCatalogFile(const QString& path);
    void refreshEntries();

    std::unique_ptr<FilesetRegistry> m_registry;
    std::vector<CatalogEntry> m_entries;
    std::vector<OwnerGroup> m_owners;
    std::vector<CatalogProblem> m_problems;
};
