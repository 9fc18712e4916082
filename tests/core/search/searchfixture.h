#pragma once
// The fixture of the search suite: catalogs hand-built in a temporary folder, a registry of them that
// follows no list file, and a search over that registry whose announcements of its lists are checked
// as a view that follows them would see them.

#include "core/filesets/filesetregistry.h"
#include "core/search/catalogsearch.h"
#include "engine/Containers.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>
#include <string>
#include <vector>

class SearchTest : public ::testing::Test {
protected:
    SearchTest();
    ~SearchTest() override;

    /// Writes the catalog and registers it; answers its registry index.
    int addCatalog(const std::string& name, const CatalogBuilder& catalog);
    /// The path of name in the temporary folder.
    QString path(const std::string& name) const { return QString::fromStdString(m_folder.file(name)); }

    /// Sets the text and searches the filesets at these registry indexes.
    void search(const QString& text, const std::vector<int>& indexes);
    /// Searches every registered fileset.
    void searchAll(const QString& text);

    /// The names of the folder and file results, in list order.
    QStringList fileNames() const;
    /// The titles of the disc results, in list order.
    QStringList discTitles() const;
    /// The disc result titled so, or null.
    const EntityEntry* discResult(const QString& title) const;
    /// The folder or file result named so, or null.
    const EntityEntry* fileResult(const QString& name) const;
    int fileRow(const QString& name) const;

    /// A view that follows the search's signals shows exactly the lists: no change is left open and the
    /// counts last announced are those of the lists.
    void expectListsAnnounced() const;

    TempFolder m_folder;
    FilesetRegistry m_registry { FilesetRegistry::Options { .useListFile = false, .readOnly = false } };
    CatalogSearch m_helper { &m_registry };

private:
    /// What a view that follows one list's signals would show.
    struct AnnouncedList {
        bool changing = false;
        int count = 0;
    };
    void follow(const EntityList& list, AnnouncedList& announced, void (CatalogSearch::*aboutToChange)(),
        void (CatalogSearch::*changed)());

    AnnouncedList m_announcedDiscs;
    AnnouncedList m_announcedFiles;
};

/// The catalog most tests search: owner Anna, described as Mine.
///   CD 12:        Music\Rock\Song.MP3 (1536 bytes, 2003-05-01 12:30:10), Music\Rock\a.mp3.bak,
///                 Music\mp3 collection\a.mp3, Track01.wav, MyTrack.wav
///   Holiday 2003: beach.jpg
///   Empty:        nothing
CatalogBuilder musicCatalog();
/// A catalog of one disc with one file per name.
CatalogBuilder flatCatalog(
    const std::string& title, const std::vector<std::string>& names, const std::string& owner = {});
