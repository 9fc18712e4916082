#include "gui/common/filesetchooser.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "engine/Containers.h"
#include "gui/common/appicons.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int s_imageRole = Qt::UserRole + 1;
constexpr int s_indentRole = Qt::UserRole + 2;
constexpr int s_indentStep = 10;
constexpr int s_groupImage = OwnerImage;

/// Draws an item indented by its indent.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem indented = option;
        const int indent = index.data(s_indentRole).toInt();
        if (indent > 0) {
            indented.rect.adjust(indent * s_indentStep, 0, 0, 0);
        }
        QStyledItemDelegate::paint(painter, indented, index);
    }
};

} // namespace

FilesetChooser::FilesetChooser(QWidget* parent)
    : QComboBox(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setIconSize(QSize(16, 16));
}

void FilesetChooser::addImageItem(const QString& caption, int image, int indent, int data)
{
    addItem(smallImageList().icon(image), caption, data);
    const int index = count() - 1;
    setItemData(index, image, s_imageRole);
    setItemData(index, indent, s_indentRole);
}

int FilesetChooser::itemImage(int index) const { return itemData(index, s_imageRole).toInt(); }

int FilesetChooser::itemIndent(int index) const { return itemData(index, s_indentRole).toInt(); }

int FilesetChooser::itemDataValue(int index) const { return itemData(index, Qt::UserRole).toInt(); }

void fillFilesetChooser(FilesetChooser* combo, bool withGroups)
{
    const QSignalBlocker quiet(combo);
    combo->clear();
    if (withGroups) {
        combo->addImageItem(QStringLiteral("[All Filesets]"), s_groupImage, -1, -1);
    }
    if (g_ownerIndex != nullptr && g_filesetRegistry != nullptr) {
        for (int i = 0; i < g_ownerIndex->count(); ++i) {
            const Owner* owner = g_ownerIndex->at(i);
            if (withGroups) {
                combo->addImageItem(owner->name + QStringLiteral("'s filesets"), s_groupImage, -1, i);
            }
            for (int j = 0; j < owner->count(); ++j) {
                Fileset* fileset = owner->at(j);
                const QString caption = withGroups
                    ? fileset->description()
                    : QStringLiteral("{") + owner->name + QStringLiteral("} ") + fileset->description();
                combo->addImageItem(caption, FilesetImage, 2, g_filesetRegistry->indexOf(fileset));
            }
        }
    }
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

void chosenFilesets(FilesetChooser* combo, TIntegerList*& list)
{
    if (list == nullptr) {
        list = new TIntegerList;
    }
    const int index = combo->currentIndex();
    if (index < 0) {
        return;
    }
    const int data = combo->itemDataValue(index);
    if (combo->itemImage(index) != s_groupImage) {
        list->Add(data);
        return;
    }
    if (data < 0) {
        for (int i = 0; g_filesetRegistry != nullptr && i < g_filesetRegistry->count(); ++i) {
            list->Add(i);
        }
        return;
    }
    if (g_ownerIndex == nullptr || data >= g_ownerIndex->count()) {
        return;
    }
    const Owner* owner = g_ownerIndex->at(data);
    for (int j = 0; j < owner->count(); ++j) {
        list->Add(g_filesetRegistry->indexOf(owner->at(j)));
    }
}

int chosenItem(FilesetChooser* combo, bool& isGroup)
{
    const int index = combo->currentIndex();
    if (index < 0) {
        return -1;
    }
    isGroup = combo->itemImage(index) == s_groupImage;
    return combo->itemDataValue(index);
}
