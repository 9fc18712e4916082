// The fileset chooser: the items with groups and without, their images, indents and data, and the
// registry indexes a choice stands for.
#include "gui/common/filesetchooser.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "engine/Containers.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

/// The registry and the owners index over files added in a known order.
class FilesetChooserTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_registry = std::make_unique<FilesetRegistry>(FilesetRegistry::Options { .useListFile = false });
        g_filesetRegistry = m_registry.get();
    }
    void TearDown() override
    {
        if (m_owners != nullptr) {
            m_owners->detach();
        }
        m_owners.reset();
        m_registry.reset();
        g_ownerIndex = nullptr;
        g_filesetRegistry = nullptr;
    }
    void add(const std::string& file, const std::string& owner, const std::string& name)
    {
        CatalogBuilder catalog;
        catalog.setOwner(owner).setName(name);
        ASSERT_TRUE(catalog.writeTo(m_temp.file(file)));
        ASSERT_GE(m_registry->addFile(QString::fromStdString(m_temp.file(file))), 0);
    }
    void index()
    {
        m_owners = std::make_unique<OwnerIndex>(m_registry.get());
        g_ownerIndex = m_owners.get();
    }
    QStringList captions() const
    {
        QStringList texts;
        for (int i = 0; i < m_combo.count(); ++i) {
            texts << m_combo.itemText(i);
        }
        return texts;
    }
    std::vector<int> chosen()
    {
        TIntegerList* list = nullptr;
        chosenFilesets(&m_combo, list);
        std::unique_ptr<TIntegerList> owned(list);
        std::vector<int> values;
        for (int i = 0; i < list->Count(); ++i) {
            values.push_back(list->Get(i));
        }
        return values;
    }

    TempFolder m_temp;
    std::unique_ptr<FilesetRegistry> m_registry;
    std::unique_ptr<OwnerIndex> m_owners;
    FilesetChooser m_combo;
};

TEST_F(FilesetChooserTest, WithoutFilesetsOnlyAllFilesetsIsThereAndStandsForNothing)
{
    index();
    fillFilesetChooser(&m_combo, true);
    EXPECT_EQ(captions(), (QStringList { QStringLiteral("[All Filesets]") }));
    EXPECT_EQ(m_combo.currentIndex(), 0);
    EXPECT_TRUE(chosen().empty());
    fillFilesetChooser(&m_combo, false);
    EXPECT_EQ(m_combo.count(), 0);
    EXPECT_EQ(m_combo.currentIndex(), -1);
    EXPECT_TRUE(chosen().empty());
    bool group = true;
    EXPECT_EQ(chosenItem(&m_combo, group), -1);
    EXPECT_TRUE(group);
}

TEST_F(FilesetChooserTest, GroupsComeBeforeTheirFilesetsWithTheirImagesIndentsAndData)
{
    add("first.ktb", "", "One");
    add("second.ktb", "Anna", "Two");
    add("third.ktb", "", "");
    index();
    fillFilesetChooser(&m_combo, true);
    EXPECT_EQ(captions(),
        (QStringList { QStringLiteral("[All Filesets]"), QStringLiteral("[Nobody]'s filesets"), QStringLiteral("One"),
            QStringLiteral("third.ktb"), QStringLiteral("Anna's filesets"), QStringLiteral("Two") }));
    const int images[] = { 2, 2, 3, 3, 2, 3 };
    const int indents[] = { -1, -1, 2, 2, -1, 2 };
    const int data[] = { -1, 0, 0, 2, 1, 1 };
    for (int i = 0; i < m_combo.count(); ++i) {
        EXPECT_EQ(m_combo.itemImage(i), images[i]) << i;
        EXPECT_EQ(m_combo.itemIndent(i), indents[i]) << i;
        EXPECT_EQ(m_combo.itemDataValue(i), data[i]) << i;
        EXPECT_FALSE(m_combo.itemIcon(i).isNull()) << i;
    }
    EXPECT_EQ(m_combo.currentIndex(), 0);

    // What each choice stands for: everything, an owner's filesets in the owner's order, one fileset.
    EXPECT_EQ(chosen(), (std::vector<int> { 0, 1, 2 }));
    m_combo.setCurrentIndex(1);
    EXPECT_EQ(chosen(), (std::vector<int> { 0, 2 }));
    bool group = false;
    EXPECT_EQ(chosenItem(&m_combo, group), 0);
    EXPECT_TRUE(group);
    m_combo.setCurrentIndex(5);
    EXPECT_EQ(chosen(), (std::vector<int> { 1 }));
    EXPECT_EQ(chosenItem(&m_combo, group), 1);
    EXPECT_FALSE(group);
}

TEST_F(FilesetChooserTest, WithoutGroupsEachFilesetNamesItsOwner)
{
    add("mine.ktb", "Anna", "Mine");
    add("nameless.ktb", "", "");
    index();
    fillFilesetChooser(&m_combo, false);
    EXPECT_EQ(captions(), (QStringList { QStringLiteral("{Anna} Mine"), QStringLiteral("{[Nobody]} nameless.ktb") }));
    EXPECT_EQ(m_combo.itemImage(1), 3);
    EXPECT_EQ(m_combo.itemIndent(1), 2);
    EXPECT_EQ(m_combo.itemDataValue(1), 1);
    m_combo.setCurrentIndex(1);
    EXPECT_EQ(chosen(), (std::vector<int> { 1 }));
}

} // namespace
