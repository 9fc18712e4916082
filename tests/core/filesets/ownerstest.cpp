// OwnerIndex: filing filesets under owners, moves, rebuilds, renaming and deleting owners, and
// following the registry's additions and deletions.
#include "core/filesets/catalogerror.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "tests/core/filesets/filesetfixture.h"

#include <QFile>
#include <QMetaMethod>

namespace {

/// A registry whose listeners are in sight.
class ListenedRegistry : public FilesetRegistry {
public:
    using FilesetRegistry::FilesetRegistry;
    bool isFollowed() const
    {
        return isSignalConnected(QMetaMethod::fromSignal(&FilesetRegistry::filesetAdded))
            || isSignalConnected(QMetaMethod::fromSignal(&FilesetRegistry::filesetRemoved));
    }
};

/// "Owner: a.ktb b.ktb" per owner, in index order.
QStringList describe(const OwnerIndex& owners)
{
    QStringList lines;
    for (int i = 0; i < owners.count(); ++i) {
        const Owner* owner = owners.at(i);
        QString line = owner->name + QLatin1Char(':');
        for (int j = 0; j < owner->count(); ++j) {
            line += QLatin1Char(' ') + owner->at(j)->fileName.section(QLatin1Char('/'), -1);
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

class OwnersTest : public FilesetTest {
protected:
    /// Registers one catalog per (file name, owner text, key), in order.
    void addCatalogs(std::initializer_list<std::tuple<std::string, std::string, std::string>> catalogs)
    {
        for (const auto& [name, owner, key] : catalogs) {
            ASSERT_GE(m_registry.addFile(writeCatalog(name, owner, {}, key)), 0);
        }
    }

    ListenedRegistry m_registry { noListFile() };
};

TEST_F(OwnersTest, OwnersAreFiledIgnoringCaseInRegistryOrder)
{
    addCatalogs({ { "1.ktb", "bob", "" }, { "2.ktb", "anna", "" }, { "3.ktb", "Anna", "" }, { "4.ktb", "BOB", "" },
        { "5.ktb", "", "" }, { "6.ktb", "[Nobody]", "" }, { "7.ktb", "[NOBODY]", "" } });
    OwnerIndex owners(&m_registry);
    EXPECT_EQ(describe(owners),
        (QStringList { QStringLiteral("bob: 1.ktb 4.ktb"), QStringLiteral("anna: 2.ktb 3.ktb"),
            QStringLiteral("[Nobody]: 5.ktb 6.ktb 7.ktb") }));
    EXPECT_EQ(owners.indexOfName(QString()), 2);
    EXPECT_EQ(owners.indexOfName(QStringLiteral("ANNA")), 1);
    EXPECT_EQ(owners.indexOfName(QStringLiteral("Carl")), -1);
    EXPECT_EQ(owners.indexOfFileset(m_registry.at(3)), 0);
}

TEST_F(OwnersTest, RegistryAdditionsAndDeletionsAreFollowed)
{
    addCatalogs({ { "1.ktb", "Anna", "" } });
    OwnerIndex owners(&m_registry);
    m_registry.addFile(writeCatalog("2.ktb", "Bob"));
    m_registry.addFile(writeCatalog("3.ktb", "anna"));
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb 3.ktb"), QStringLiteral("Bob: 2.ktb") }));
    m_registry.removeAt(1);
    // An owner whose last fileset was deleted stays until the next rebuild.
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb 3.ktb"), QStringLiteral("Bob:") }));
    owners.rebuild();
    EXPECT_EQ(describe(owners), QStringList { QStringLiteral("Anna: 1.ktb 3.ktb") });
}

TEST_F(OwnersTest, MovingTheOnlyFilesetOfAnOwnerRemovesThatOwner)
{
    addCatalogs({ { "1.ktb", "Anna", "" }, { "2.ktb", "Bob", "" }, { "3.ktb", "Carl", "" } });
    OwnerIndex owners(&m_registry);
    Fileset* bobs = m_registry.at(1);
    EXPECT_FALSE(owners.moveFileset(bobs, 1)); // already there
    bobs->setOwner(QStringLiteral("Carl"));
    EXPECT_TRUE(owners.moveFileset(bobs, owners.indexOfName(QStringLiteral("Carl"))));
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Carl: 3.ktb 2.ktb") }));
    // The header decides at the next rebuild.
    owners.rebuild();
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Carl: 2.ktb 3.ktb") }));

    Fileset stranger(writeCatalog("x.ktb"), false);
    EXPECT_FALSE(owners.moveFileset(&stranger, 0));
    EXPECT_FALSE(owners.moveFileset(m_registry.at(0), 7));
}

TEST_F(OwnersTest, LockedFilesetMovedToAnotherOwnerReturnsAtTheNextRebuild)
{
    addCatalogs({ { "1.ktb", "Anna", "" }, { "2.ktb", "Anna", "key" }, { "3.ktb", "Bob", "" } });
    OwnerIndex owners(&m_registry);
    Fileset* locked = m_registry.at(1);
    locked->setOwner(QStringLiteral("Bob")); // dropped without a message
    EXPECT_TRUE(owners.moveFileset(locked, 1));
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Bob: 3.ktb 2.ktb") }));
    owners.rebuild();
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb 2.ktb"), QStringLiteral("Bob: 3.ktb") }));

    // Deleting a moved locked fileset leaves no reference behind under the owner it was moved to.
    EXPECT_TRUE(owners.moveFileset(locked, 1));
    m_registry.removeAt(1);
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Bob: 3.ktb") }));
}

TEST_F(OwnersTest, RenamingAnOwnerRewritesItsFilesetsExceptLockedOnes)
{
    addCatalogs({ { "1.ktb", "", "" }, { "2.ktb", "[Nobody]", "" }, { "3.ktb", "", "key" }, { "4.ktb", "Anna", "" } });
    OwnerIndex owners(&m_registry);
    owners.at(owners.indexOfName(QString()))->rename(QStringLiteral("Carl"));
    EXPECT_EQ(m_registry.at(0)->owner(), QStringLiteral("Carl"));
    EXPECT_EQ(m_registry.at(1)->owner(), QStringLiteral("Carl"));
    EXPECT_EQ(m_registry.at(2)->owner(), QString());
    owners.rebuild();
    EXPECT_EQ(describe(owners),
        (QStringList {
            QStringLiteral("Carl: 1.ktb 2.ktb"), QStringLiteral("[Nobody]: 3.ktb"), QStringLiteral("Anna: 4.ktb") }));
}

TEST_F(OwnersTest, DeletingAnOwnerFilesItsFilesetsUnderNobody)
{
    addCatalogs({ { "1.ktb", "Bob", "" }, { "2.ktb", "Anna", "" }, { "3.ktb", "bob", "" } });
    OwnerIndex owners(&m_registry);
    owners.at(owners.indexOfName(QStringLiteral("Bob")))->rename(QString());
    owners.rebuild();
    EXPECT_EQ(
        describe(owners), (QStringList { QStringLiteral("[Nobody]: 1.ktb 3.ktb"), QStringLiteral("Anna: 2.ktb") }));
    m_registry.closeAll();
    EXPECT_EQ(storedOwner(path("1.ktb")), QString());
    EXPECT_EQ(storedOwner(path("3.ktb")), QString());
}

TEST_F(OwnersTest, OwnersAddedWithoutFilesetsDisappearAtTheNextRebuild)
{
    addCatalogs({ { "1.ktb", "Anna", "" } });
    OwnerIndex owners(&m_registry);
    EXPECT_EQ(owners.addOwner(QStringLiteral("New Owner")), 1);
    EXPECT_EQ(owners.addOwner(QStringLiteral("New Owner")), 2);
    EXPECT_EQ(owners.count(), 3);
    owners.rebuild();
    EXPECT_EQ(describe(owners), QStringList { QStringLiteral("Anna: 1.ktb") });
}

TEST_F(OwnersTest, DestroyedIndexNoLongerListens)
{
    addCatalogs({ { "1.ktb", "Anna", "" } });
    {
        OwnerIndex owners(&m_registry);
        EXPECT_TRUE(m_registry.isFollowed());
    }
    EXPECT_FALSE(m_registry.isFollowed());
    m_registry.addFile(writeCatalog("2.ktb"));
    m_registry.removeAt(0);
}

TEST_F(OwnersTest, IndexThatFailsToBuildLeavesNoListenerBehind)
{
    addCatalogs({ { "1.ktb", "Anna", "" }, { "2.ktb", "Bob", "" } });
    ASSERT_TRUE(QFile::remove(path("2.ktb")));
    EXPECT_THROW(OwnerIndex owners(&m_registry), CatalogError);
    // The registry must not call into the index that was never made.
    EXPECT_FALSE(m_registry.isFollowed());
    m_registry.addFile(writeCatalog("3.ktb"));
    m_registry.removeAt(0);
    EXPECT_EQ(m_registry.count(), 2);
}
