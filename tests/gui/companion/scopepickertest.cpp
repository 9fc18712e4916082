// The scope picker: a check box ticked or cleared holds for everything below it, the boxes above show
// whether all, some or none of theirs are chosen, and the walk gets exactly the filesets and discs
// chosen.
#include "gui/companion/scopepicker.h"

#include "core/companion/companioncatalogs.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/tempfolder.h"

#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

#include <QStandardItem>

namespace {

class ScopePickerTest : public ::testing::Test {
protected:
    /// Anna's "Music" of two discs and Bob's "Photos" of one.
    ScopePickerTest()
    {
        for (const auto& [owner, name, discs] :
            { std::tuple { "Anna", "Music", 2 }, std::tuple { "Bob", "Photos", 1 } }) {
            CatalogBuilder catalog;
            catalog.setOwner(owner).setName(name);
            for (int disc = 0; disc < discs; ++disc) {
                m_discs.push_back(catalog.beginDisc(
                    { .serial = static_cast<std::uint32_t>(disc + 1), .title = "CD " + std::to_string(disc) }));
                catalog.addFile("a.txt", 1);
                catalog.endDisc();
            }
            const std::string path = m_folder.file(std::string(name) + ".ktb");
            EXPECT_TRUE(catalog.writeTo(path));
            EXPECT_TRUE(m_catalogs.addPath(QString::fromStdString(path)));
        }
        m_picker = std::make_unique<ScopePicker>(m_catalogs);
    }

    int catalogOf(const char* name) const
    {
        for (int index = 0; index < m_catalogs.count(); ++index) {
            if (m_catalogs.at(index).description == QLatin1String(name)) {
                return index;
            }
        }
        return -1;
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
    std::vector<std::uint32_t> m_discs; ///< Music's two, then Photos' one
    std::unique_ptr<ScopePicker> m_picker;
};

TEST_F(ScopePickerTest, ABoxHoldsForWhatIsBelowAndTheBoxesAboveFollow)
{
    const int music = catalogOf("Music");
    const int photos = catalogOf("Photos");
    ASSERT_EQ(m_picker->targets().size(), 2u);
    EXPECT_EQ(m_picker->scopeText(), QStringLiteral("Everything"));

    // One of Music's discs cleared, as the user clears its box.
    m_picker->discItem(music, m_discs[0])->setCheckState(Qt::Unchecked);
    EXPECT_EQ(m_picker->filesetItem(music)->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(m_picker->ownerItem(QStringLiteral("Anna"))->checkState(), Qt::PartiallyChecked);
    std::vector<WalkTarget> targets = m_picker->targets();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].catalog, music);
    EXPECT_EQ(targets[0].discs, std::vector<std::uint32_t> { m_discs[1] });
    EXPECT_EQ(targets[1].catalog, photos);
    EXPECT_TRUE(targets[1].discs.empty()) << "a fully chosen fileset is walked whole";
    EXPECT_EQ(m_picker->scopeText(), QStringLiteral("1 fileset and 1 disc"));

    // Its other disc too: nothing of Anna's is left.
    m_picker->discItem(music, m_discs[1])->setCheckState(Qt::Unchecked);
    EXPECT_EQ(m_picker->filesetItem(music)->checkState(), Qt::Unchecked);
    EXPECT_EQ(m_picker->ownerItem(QStringLiteral("Anna"))->checkState(), Qt::Unchecked);
    ASSERT_EQ(m_picker->targets().size(), 1u);
    EXPECT_EQ(m_picker->scopeText(), QStringLiteral("Owner Bob"));

    // Anna ticked again: all her filesets and discs with her.
    m_picker->ownerItem(QStringLiteral("Anna"))->setCheckState(Qt::Checked);
    EXPECT_EQ(m_picker->discItem(music, m_discs[0])->checkState(), Qt::Checked);
    EXPECT_EQ(m_picker->scopeText(), QStringLiteral("Everything"));
    EXPECT_TRUE(m_picker->targets()[0].discs.empty());

    // Bob's one fileset alone is Bob.
    m_picker->checkOnly(m_picker->filesetItem(photos));
    EXPECT_EQ(m_picker->scopeText(), QStringLiteral("Owner Bob"));
    ASSERT_EQ(m_picker->targets().size(), 1u);
    EXPECT_EQ(m_picker->targets()[0].catalog, photos);
}

} // namespace
