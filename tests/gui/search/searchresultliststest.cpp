// SearchResultLists: the selected rows of the two result lists and their paths.
#include "tests/gui/search/searchlistsfixture.h"

#include <QItemSelectionModel>

TEST_F(SearchListsTest, SelectedPathsFollowTheViewsSelection)
{
    addCatalog("music.ktb", musicCatalog());
    QItemSelectionModel discSelection(m_lists.discModel());
    QItemSelectionModel fileSelection(m_lists.fileModel());
    EXPECT_FALSE(m_lists.attachDiscView(&fileSelection)); // a selection of the other list
    ASSERT_TRUE(m_lists.attachDiscView(&discSelection));
    ASSERT_TRUE(m_lists.attachFileView(&fileSelection));
    searchAll(QStringLiteral("mp3"));
    EXPECT_EQ(m_lists.selectedDiscPath(), QString());
    EXPECT_EQ(m_lists.selectedFilePath(), QString());

    discSelection.select(m_lists.discModel()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m_lists.selectedDiscPath(), QStringLiteral("Anna\\Mine\\CD 12\\"));
    // With several rows selected the first one counts, as in a list view.
    const QModelIndex last = m_lists.fileModel()->index(fileRow(QStringLiteral("Song.MP3")), 0);
    const QModelIndex first = m_lists.fileModel()->index(fileRow(QStringLiteral("mp3 collection")), 0);
    fileSelection.select(last, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m_lists.selectedFilePath(), QStringLiteral("Anna\\Mine\\CD 12\\Music\\Rock\\"));
    fileSelection.select(first, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(m_lists.selectedFilePath(), QStringLiteral("Anna\\Mine\\CD 12\\Music\\mp3 collection\\"));

    // A new search resets the models, which clears the selection.
    searchAll(QStringLiteral("mp3"));
    EXPECT_EQ(m_lists.selectedFilePath(), QString());
    // A view that goes away is forgotten.
    {
        QItemSelectionModel gone(m_lists.fileModel());
        m_lists.attachFileView(&gone);
    }
    EXPECT_EQ(m_lists.selectedFileRow(), -1);
}
