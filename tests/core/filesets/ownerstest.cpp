// TKTBOwners: filing filesets under owners, moves, rebuilds, renaming and deleting owners, and
// following the registry's additions and deletions.
#include "tests/core/filesets/filesetfixture.h"

#include <QFile>

namespace {

/// "Owner: a.ktb b.ktb" per owner, in index order.
QStringList describe(const TKTBOwners& owners)
{
    QStringList lines;
    for (int i = 0; i < owners.Count(); ++i) {
        const TKTBOwner* owner = owners.Items(i);
        QString line = owner->Name + QLatin1Char(':');
        for (int j = 0; j < owner->Count(); ++j) {
            line += QLatin1Char(' ') + owner->Items(j)->FileName.section(QLatin1Char('/'), -1);
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
            ASSERT_GE(m_registry.AddFile(writeCatalog(name, owner, {}, key)), 0);
        }
    }

    TKTBFiles m_registry { noListFile() };
};

TEST_F(OwnersTest, OwnersAreFiledIgnoringCaseInRegistryOrder)
{
    addCatalogs({ { "1.ktb", "bob", "" }, { "2.ktb", "anna", "" }, { "3.ktb", "Anna", "" }, { "4.ktb", "BOB", "" },
        { "5.ktb", "", "" }, { "6.ktb", "[Nobody]", "" }, { "7.ktb", "[NOBODY]", "" } });
    TKTBOwners owners(&m_registry);
    EXPECT_EQ(describe(owners),
        (QStringList { QStringLiteral("bob: 1.ktb 4.ktb"), QStringLiteral("anna: 2.ktb 3.ktb"),
            QStringLiteral("[Nobody]: 5.ktb 6.ktb 7.ktb") }));
    EXPECT_EQ(owners.IndexOfName(QString()), 2);
    EXPECT_EQ(owners.IndexOfName(QStringLiteral("ANNA")), 1);
    EXPECT_EQ(owners.IndexOfName(QStringLiteral("Carl")), -1);
    EXPECT_EQ(owners.IndexOfFileset(m_registry.Items(3)), 0);
}

TEST_F(OwnersTest, RegistryAdditionsAndDeletionsAreFollowed)
{
    addCatalogs({ { "1.ktb", "Anna", "" } });
    TKTBOwners owners(&m_registry);
    m_registry.AddFile(writeCatalog("2.ktb", "Bob"));
    m_registry.AddFile(writeCatalog("3.ktb", "anna"));
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb 3.ktb"), QStringLiteral("Bob: 2.ktb") }));
    m_registry.Delete(1);
    // An owner whose last fileset was deleted stays until the next rebuild.
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb 3.ktb"), QStringLiteral("Bob:") }));
    owners.Rebuild();
    EXPECT_EQ(describe(owners), QStringList { QStringLiteral("Anna: 1.ktb 3.ktb") });
}

TEST_F(OwnersTest, MovingTheOnlyFilesetOfAnOwnerRemovesThatOwner)
{
    addCatalogs({ { "1.ktb", "Anna", "" }, { "2.ktb", "Bob", "" }, { "3.ktb", "Carl", "" } });
    TKTBOwners owners(&m_registry);
    TKTBFile* bobs = m_registry.Items(1);
    EXPECT_FALSE(owners.MoveFileset(bobs, 1)); // already there
    bobs->SetOwner(QStringLiteral("Carl"));
    EXPECT_TRUE(owners.MoveFileset(bobs, owners.IndexOfName(QStringLiteral("Carl"))));
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Carl: 3.ktb 2.ktb") }));
    // The header decides at the next rebuild.
    owners.Rebuild();
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Carl: 2.ktb 3.ktb") }));

    TKTBFile stranger(writeCatalog("x.ktb"), false);
    EXPECT_FALSE(owners.MoveFileset(&stranger, 0));
    EXPECT_FALSE(owners.MoveFileset(m_registry.Items(0), 7));
}

TEST_F(OwnersTest, LockedFilesetMovedToAnotherOwnerReturnsAtTheNextRebuild)
{
    addCatalogs({ { "1.ktb", "Anna", "" }, { "2.ktb", "Anna", "key" }, { "3.ktb", "Bob", "" } });
    TKTBOwners owners(&m_registry);
    TKTBFile* locked = m_registry.Items(1);
    locked->SetOwner(QStringLiteral("Bob")); // dropped without a message
    EXPECT_TRUE(owners.MoveFileset(locked, 1));
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Bob: 3.ktb 2.ktb") }));
    owners.Rebuild();
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb 2.ktb"), QStringLiteral("Bob: 3.ktb") }));

    // Deleting a moved locked fileset leaves no reference behind under the owner it was moved to.
    EXPECT_TRUE(owners.MoveFileset(locked, 1));
    m_registry.Delete(1);
    EXPECT_EQ(describe(owners), (QStringList { QStringLiteral("Anna: 1.ktb"), QStringLiteral("Bob: 3.ktb") }));
}

TEST_F(OwnersTest, RenamingAnOwnerRewritesItsFilesetsExceptLockedOnes)
{
    addCatalogs({ { "1.ktb", "", "" }, { "2.ktb", "[Nobody]", "" }, { "3.ktb", "", "key" }, { "4.ktb", "Anna", "" } });
    TKTBOwners owners(&m_registry);
    owners.Items(owners.IndexOfName(QString()))->Rename(QStringLiteral("Carl"));
    EXPECT_EQ(m_registry.Items(0)->GetOwner(), QStringLiteral("Carl"));
    EXPECT_EQ(m_registry.Items(1)->GetOwner(), QStringLiteral("Carl"));
    EXPECT_EQ(m_registry.Items(2)->GetOwner(), QString());
    owners.Rebuild();
    EXPECT_EQ(describe(owners),
        (QStringList {
            QStringLiteral("Carl: 1.ktb 2.ktb"), QStringLiteral("[Nobody]: 3.ktb"), QStringLiteral("Anna: 4.ktb") }));
}

TEST_F(OwnersTest, DeletingAnOwnerFilesItsFilesetsUnderNobody)
{
    addCatalogs({ { "1.ktb", "Bob", "" }, { "2.ktb", "Anna", "" }, { "3.ktb", "bob", "" } });
    TKTBOwners owners(&m_registry);
    owners.Items(owners.IndexOfName(QStringLiteral("Bob")))->Rename(QString());
    owners.Rebuild();
    EXPECT_EQ(
        describe(owners), (QStringList { QStringLiteral("[Nobody]: 1.ktb 3.ktb"), QStringLiteral("Anna: 2.ktb") }));
    m_registry.CloseAll();
    EXPECT_EQ(storedOwner(path("1.ktb")), QString());
    EXPECT_EQ(storedOwner(path("3.ktb")), QString());
}

TEST_F(OwnersTest, OwnersAddedWithoutFilesetsDisappearAtTheNextRebuild)
{
    addCatalogs({ { "1.ktb", "Anna", "" } });
    TKTBOwners owners(&m_registry);
    EXPECT_EQ(owners.AddOwner(QStringLiteral("New Owner")), 1);
    EXPECT_EQ(owners.AddOwner(QStringLiteral("New Owner")), 2);
    EXPECT_EQ(owners.Count(), 3);
    owners.Rebuild();
    EXPECT_EQ(describe(owners), QStringList { QStringLiteral("Anna: 1.ktb") });
}

TEST_F(OwnersTest, DestroyedIndexNoLongerListens)
{
    addCatalogs({ { "1.ktb", "Anna", "" } });
    {
        TKTBOwners owners(&m_registry);
        EXPECT_TRUE(static_cast<bool>(m_registry.OnNotify));
    }
    EXPECT_FALSE(static_cast<bool>(m_registry.OnNotify));
    m_registry.AddFile(writeCatalog("2.ktb"));
    m_registry.Delete(0);
}

TEST_F(OwnersTest, IndexThatFailsToBuildLeavesNoListenerBehind)
{
    addCatalogs({ { "1.ktb", "Anna", "" }, { "2.ktb", "Bob", "" } });
    ASSERT_TRUE(QFile::remove(path("2.ktb")));
    EXPECT_THROW(TKTBOwners owners(&m_registry), EKTBException);
    // The registry must not call into the index that was never made.
    EXPECT_FALSE(static_cast<bool>(m_registry.OnNotify));
    m_registry.AddFile(writeCatalog("3.ktb"));
    m_registry.Delete(0);
    EXPECT_EQ(m_registry.Count(), 2);
}
