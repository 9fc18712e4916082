#include "tests/core/search/searchfixture.h"

#include "core/text/catalogtext.h"
#include "platform/configfolder.h"

SearchTest::SearchTest()
{
    setConfigFolder(m_folder.path());
    follow(m_helper.discResults, m_announcedDiscs, &CatalogSearch::discResultsAboutToChange,
        &CatalogSearch::discResultsChanged);
    follow(m_helper.fileResults, m_announcedFiles, &CatalogSearch::fileResultsAboutToChange,
        &CatalogSearch::fileResultsChanged);
}

void SearchTest::follow(const EntityList& list, AnnouncedList& announced, void (CatalogSearch::*aboutToChange)(),
    void (CatalogSearch::*changed)())
{
    // A model's resets do not nest: every change is announced before and after, once.
    QObject::connect(&m_helper, aboutToChange, &m_helper, [&announced] {
        EXPECT_FALSE(announced.changing) << "a change announced twice";
        announced.changing = true;
    });
    QObject::connect(&m_helper, changed, &m_helper, [&announced, &list] {
        EXPECT_TRUE(announced.changing) << "a change ended that was never announced";
        announced.changing = false;
        announced.count = list.count();
    });
}

SearchTest::~SearchTest() { setConfigFolder({}); }

int SearchTest::addCatalog(const std::string& name, const CatalogBuilder& catalog)
{
    EXPECT_TRUE(catalog.writeTo(m_folder.file(name)));
    return m_registry.addFile(path(name));
}

void SearchTest::search(const QString& text, const std::vector<int>& indexes)
{
    TIntegerList list;
    for (const int index : indexes) {
        list.Add(index);
    }
    m_helper.setSearchText(text);
    m_helper.search(list);
}

void SearchTest::searchAll(const QString& text)
{
    std::vector<int> indexes;
    for (int i = 0; i < m_registry.count(); ++i) {
        indexes.push_back(i);
    }
    search(text, indexes);
}

QStringList SearchTest::fileNames() const
{
    QStringList names;
    for (int i = 0; i < m_helper.fileResults.count(); ++i) {
        names.append(decodeCatalogText(m_helper.fileResults.at(i)->entity->name()));
    }
    return names;
}

QStringList SearchTest::discTitles() const
{
    QStringList titles;
    for (int i = 0; i < m_helper.discResults.count(); ++i) {
        titles.append(QString::fromUtf8(m_helper.discResults.at(i)->entity->name()));
    }
    return titles;
}

const EntityEntry* SearchTest::discResult(const QString& title) const
{
    const int index = static_cast<int>(discTitles().indexOf(title));
    return index < 0 ? nullptr : m_helper.discResults.at(index);
}

const EntityEntry* SearchTest::fileResult(const QString& name) const
{
    const int row = fileRow(name);
    return row < 0 ? nullptr : m_helper.fileResults.at(row);
}

int SearchTest::fileRow(const QString& name) const { return static_cast<int>(fileNames().indexOf(name)); }

void SearchTest::expectListsAnnounced() const
{
    EXPECT_FALSE(m_announcedDiscs.changing);
    EXPECT_FALSE(m_announcedFiles.changing);
    EXPECT_EQ(m_announcedDiscs.count, m_helper.discResults.count());
    EXPECT_EQ(m_announcedFiles.count, m_helper.fileResults.count());
}

CatalogBuilder musicCatalog()
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Mine");
    catalog.beginDisc({ .serial = 12, .title = "CD 12" });
    catalog.beginFolder("Music");
    catalog.beginFolder("Rock");
    catalog.addFile("Song.MP3", 1536, CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10));
    catalog.addFile("a.mp3.bak", 10);
    catalog.endFolder();
    catalog.beginFolder("mp3 collection");
    catalog.addFile("a.mp3", 20);
    catalog.endFolder();
    catalog.endFolder();
    catalog.addFile("Track01.wav", 30);
    catalog.addFile("MyTrack.wav", 40);
    catalog.endDisc();
    catalog.beginDisc({ .serial = 2003, .title = "Holiday 2003" });
    catalog.addFile("beach.jpg", 50);
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 3, .title = "Empty" });
    return catalog;
}

CatalogBuilder flatCatalog(const std::string& title, const std::vector<std::string>& names, const std::string& owner)
{
    CatalogBuilder catalog;
    catalog.setOwner(owner);
    catalog.beginDisc({ .serial = 1, .title = title });
    for (const std::string& name : names) {
        catalog.addFile(name, 1);
    }
    catalog.endDisc();
    return catalog;
}
