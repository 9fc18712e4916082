#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "engine/ktb_utils.h"
#include "gui/mainwindow/cataloglist.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

NavigationNode* EditFixture::open(const QString& path)
{
    window().pathEdit->setText(path);
    window().onGoClicked();
    return tree().selectedNode();
}

void EditFixture::startStandard()
{
    buildStandardFilesets();
    writeSettings();
    start();
}

NavigationNode* EditFixture::renameInTree(const QString& path, const QString& text)
{
    NavigationNode* renamed = open(path);
    focusTree();
    window().rename();
    commitEdit(window().navigationTree, text);
    return renamed;
}

NavigationNode* EditFixture::selectInList(const QString& path, const QStringList& captions)
{
    NavigationNode* shown = open(path);
    selectRows(captions);
    focusList();
    return shown;
}

void EditFixture::focusTree()
{
    window().navigationTree->setFocus();
    ASSERT_EQ(window().focusWidget(), window().navigationTree);
}

void EditFixture::focusList()
{
    window().catalogView->setFocus();
    ASSERT_EQ(window().focusWidget(), window().catalogView);
}

QStringList EditFixture::rows() const
{
    QStringList captions;
    for (int row = 0; row < g_catalogList->model->rowCount(); ++row) {
        captions << g_catalogList->rowCaption(row);
    }
    return captions;
}

void EditFixture::selectRows(const QStringList& captions)
{
    QItemSelectionModel* selection = m_window->catalogView->selectionModel();
    selection->clearSelection();
    const QStringList all = rows();
    for (const QString& caption : captions) {
        const auto row = static_cast<int>(all.indexOf(caption));
        ASSERT_GE(row, 0) << caption.toStdString();
        const QModelIndex index = g_catalogList->model->index(row, 0);
        selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
}

QStringList EditFixture::childTexts(const NavigationNode* node)
{
    QStringList texts;
    for (int i = 0; node != nullptr && i < node->childCount(); ++i) {
        texts << node->child(i)->text(0);
    }
    return texts;
}

QLineEdit* EditFixture::editorOf(const QWidget* view) { return view->findChild<QLineEdit*>(); }

void EditFixture::commitEdit(QWidget* view, const QString& text)
{
    QLineEdit* editor = editorOf(view);
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The edit is committed and applied once the editor has closed.
    ASSERT_TRUE(QTest::qWaitFor([view] { return editorOf(view) == nullptr; }));
    QCoreApplication::processEvents();
}

Fileset* EditFixture::fileset(const QString& fileName)
{
    for (int i = 0; i < g_filesetRegistry->count(); ++i) {
        if (QFileInfo(g_filesetRegistry->at(i)->fileName).fileName() == fileName) {
            return g_filesetRegistry->at(i);
        }
    }
    return nullptr;
}

std::vector<std::uint32_t> EditFixture::discOffsets(Fileset* fileset)
{
    std::vector<std::uint32_t> offsets;
    const KtbCursorPtr cursor(ktbFindFirstAll(fileset->handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    while (cursor != nullptr) {
        offsets.push_back(cursor->Current->Offset);
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
    return offsets;
}

QStringList EditFixture::discTitles(Fileset* fileset)
{
    QStringList titles;
    const KtbCursorPtr cursor(ktbFindFirstAll(fileset->handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    while (cursor != nullptr) {
        const TKTBDisc* disc = cursor->Current->disc();
        titles << decodeCatalogText(ktbFieldText(disc->Title, sizeof disc->Title));
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
    return titles;
}

QStringList EditFixture::discContents(Fileset* fileset, std::uint32_t discOffset)
{
    QStringList names;
    const KtbCursorPtr cursor(ktbFindFirst(fileset->handle(), KTB_FIND_NODISCS, discOffset, nullptr));
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        names << decodeCatalogText(entity->name())
                + (entity->folderName() != nullptr ? QStringLiteral("/") : QString());
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
    return names;
}
