#include "gui/common/filesetchooser.h"

#include "core/filesets/fileset.h"
#include "engine/Containers.h"
#include "gui/common/appicons.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int s_imageRole = Qt::UserRole + 1;
constexpr int s_indentRole = Qt::UserRole + 2;
constexpr int s_indentStep = 10;
constexpr int s_groupImage = imgOwner;

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

TImageComboBox::TImageComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setIconSize(QSize(16, 16));
}

void TImageComboBox::addImageItem(const QString& caption, int image, int indent, int data)
{
    addItem(SmallImages().Icon(image), caption, data);
    const int index = count() - 1;
    setItemData(index, image, s_imageRole);
    setItemData(index, indent, s_indentRole);
}

int TImageComboBox::itemImage(int index) const { return itemData(index, s_imageRole).toInt(); }

int TImageComboBox::itemIndent(int index) const { return itemData(index, s_indentRole).toInt(); }

int TImageComboBox::itemDataValue(int index) const { return itemData(index, Qt::UserRole).toInt(); }

void FillFilesetChooser(TImageComboBox* combo, bool withGroups)
{
    const QSignalBlocker quiet(combo);
    combo->clear();
    if (withGroups) {
        combo->addImageItem(QStringLiteral("[All Filesets]"), s_groupImage, -1, -1);
    }
    if (OwnerList != nullptr && FilesetList != nullptr) {
        for (int i = 0; i < OwnerList->Count(); ++i) {
            const TKTBOwner* owner = OwnerList->Items(i);
            if (withGroups) {
                combo->addImageItem(owner->Name + QStringLiteral("'s filesets"), s_groupImage, -1, i);
            }
            for (int j = 0; j < owner->Count(); ++j) {
                TKTBFile* fileset = owner->Items(j);
                const QString caption = withGroups
                    ? fileset->GetDescription()
                    : QStringLiteral("{") + owner->Name + QStringLiteral("} ") + fileset->GetDescription();
                combo->addImageItem(caption, imgFileset, 2, FilesetList->IndexOf(fileset));
            }
        }
    }
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

void GetChosenFilesets(TImageComboBox* combo, TIntegerList*& list)
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
        for (int i = 0; FilesetList != nullptr && i < FilesetList->Count(); ++i) {
            list->Add(i);
        }
        return;
    }
    if (OwnerList == nullptr || data >= OwnerList->Count()) {
        return;
    }
    const TKTBOwner* owner = OwnerList->Items(data);
    for (int j = 0; j < owner->Count(); ++j) {
        list->Add(FilesetList->IndexOf(owner->Items(j)));
    }
}

int GetChosenItem(TImageComboBox* combo, bool& isGroup)
{
    const int index = combo->currentIndex();
    if (index < 0) {
        return -1;
    }
    isGroup = combo->itemImage(index) == s_groupImage;
    return combo->itemDataValue(index);
}
