#include "gui/companion/scopepicker.h"

#include "core/companion/companioncatalogs.h"
#include "core/filesets/catalogerror.h"
#include "gui/common/errordisplay.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

enum ItemRole {
    CatalogRole = Qt::UserRole + 1, ///< the fileset's catalog index (filesets and discs)
    OffsetRole, ///< a disc's offset
};

QStandardItem* checkableItem(const QString& text)
{
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setCheckable(true);
    item->setCheckState(Qt::Checked);
    return item;
}

void setCheckedBelow(QStandardItem* item, Qt::CheckState state)
{
    item->setCheckState(state);
    for (int row = 0; row < item->rowCount(); ++row) {
        setCheckedBelow(item->child(row), state);
    }
}

/// Checked when all its items are, unchecked when none is, else partly.
Qt::CheckState stateOfItems(const QStandardItem* item)
{
    int checked = 0;
    for (int row = 0; row < item->rowCount(); ++row) {
        const Qt::CheckState state = item->child(row)->checkState();
        if (state == Qt::PartiallyChecked) {
            return Qt::PartiallyChecked;
        }
        checked += state == Qt::Checked ? 1 : 0;
    }
    return checked == item->rowCount() ? Qt::Checked : checked == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
}

} // namespace

ScopePicker::ScopePicker(const CompanionCatalogs& catalogs, QWidget* parent)
    : QWidget(parent)
    , m_catalogs(catalogs)
{
    setObjectName(QStringLiteral("scopePicker"));
    model = new QStandardItemModel(this);
    // Owners and their filesets by name, as the main window's tree lists them; discs in file order.
    const auto byName = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; };
    std::vector<CompanionCatalogs::OwnerGroup> owners = catalogs.owners();
    std::stable_sort(owners.begin(), owners.end(),
        [&](const CompanionCatalogs::OwnerGroup& a, const CompanionCatalogs::OwnerGroup& b) {
            return byName(a.name, b.name);
        });
    for (CompanionCatalogs::OwnerGroup& owner : owners) {
        std::stable_sort(owner.catalogs.begin(), owner.catalogs.end(),
            [&](int a, int b) { return byName(catalogs.at(a).description, catalogs.at(b).description); });
        QStandardItem* ownerRow = checkableItem(owner.name);
        for (const int catalog : owner.catalogs) {
            QStandardItem* filesetRow = checkableItem(catalogs.at(catalog).description);
            filesetRow->setData(catalog, CatalogRole);
            filesetRow->setToolTip(catalogs.at(catalog).fileName);
            std::vector<CatalogDiscEntry> discs;
            try {
                discs = catalogs.discs(catalog);
            } catch (const CatalogError&) {
                // The walk reports what is wrong with the catalog; it is chosen whole here.
            }
            for (const CatalogDiscEntry& disc : discs) {
                QStandardItem* discRow = checkableItem(disc.title);
                discRow->setData(catalog, CatalogRole);
                discRow->setData(disc.offset, OffsetRole);
                discRow->setToolTip(QStringLiteral("Serial %1").arg(disc.serial, 8, 16, QLatin1Char('0')).toUpper());
                filesetRow->appendRow(discRow);
            }
            ownerRow->appendRow(filesetRow);
        }
        model->appendRow(ownerRow);
    }
    connectGuarded(model, &QStandardItemModel::itemChanged, this, [this](QStandardItem* item) { onItemChanged(item); });

    tree = new QTreeView(this);
    tree->setObjectName(QStringLiteral("scopeTree"));
    tree->setModel(model);
    tree->setHeaderHidden(true);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->expandToDepth(0);
    connectGuarded(tree, &QTreeView::customContextMenuRequested, this, [this](const QPoint& at) { onContextMenu(at); });

    allButton = new QPushButton(QStringLiteral("All"), this);
    allButton->setObjectName(QStringLiteral("scopeAllButton"));
    noneButton = new QPushButton(QStringLiteral("None"), this);
    noneButton->setObjectName(QStringLiteral("scopeNoneButton"));
    connectGuarded(allButton, &QPushButton::clicked, this, [this] { checkAll(true); });
    connectGuarded(noneButton, &QPushButton::clicked, this, [this] { checkAll(false); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(allButton);
    buttons->addWidget(noneButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree, 1);
    layout->addLayout(buttons);
}

void ScopePicker::onItemChanged(QStandardItem* item)
{
    if (m_updating) {
        return;
    }
    // A check box ticked or cleared holds for what the item holds; the items above it show whether
    // all, some or none of theirs are chosen.
    m_updating = true;
    if (item->checkState() != Qt::PartiallyChecked) {
        setCheckedBelow(item, item->checkState());
    }
    for (QStandardItem* above = item->parent(); above != nullptr; above = above->parent()) {
        above->setCheckState(stateOfItems(above));
    }
    m_updating = false;
    emit scopeChanged();
}

void ScopePicker::checkAll(bool checked)
{
    for (int row = 0; row < model->rowCount(); ++row) {
        model->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

void ScopePicker::checkOnly(QStandardItem* item)
{
    checkAll(false);
    if (item != nullptr) {
        item->setCheckState(Qt::Checked);
    }
}

void ScopePicker::onContextMenu(const QPoint& position)
{
    QStandardItem* item = model->itemFromIndex(tree->indexAt(position));
    if (item == nullptr) {
        return;
    }
    QMenu menu(this);
    connectGuarded(menu.addAction(QStringLiteral("Choose Only This")), &QAction::triggered, this,
        [this, item] { checkOnly(item); });
    connectGuarded(menu.addAction(QStringLiteral("Choose All")), &QAction::triggered, this, [this] { checkAll(true); });
    menu.exec(tree->viewport()->mapToGlobal(position));
}

std::vector<WalkTarget> ScopePicker::targets() const
{
    std::vector<WalkTarget> targets;
    for (int ownerRow = 0; ownerRow < model->rowCount(); ++ownerRow) {
        const QStandardItem* owner = model->item(ownerRow);
        for (int filesetRow = 0; filesetRow < owner->rowCount(); ++filesetRow) {
            const QStandardItem* fileset = owner->child(filesetRow);
            if (fileset->checkState() == Qt::Unchecked) {
                continue;
            }
            WalkTarget target;
            target.catalog = fileset->data(CatalogRole).toInt();
            target.fileset = m_catalogs.at(target.catalog).fileset;
            if (fileset->checkState() == Qt::PartiallyChecked) {
                for (int discRow = 0; discRow < fileset->rowCount(); ++discRow) {
                    const QStandardItem* disc = fileset->child(discRow);
                    if (disc->checkState() == Qt::Checked) {
                        target.discs.push_back(disc->data(OffsetRole).toUInt());
                    }
                }
            }
            targets.push_back(std::move(target));
        }
    }
    return targets;
}

QString ScopePicker::scopeText() const
{
    int checkedOwners = 0;
    int partOwners = 0;
    const QStandardItem* lastOwner = nullptr;
    int wholeFilesets = 0;
    const QStandardItem* lastFileset = nullptr;
    int discs = 0;
    for (int ownerRow = 0; ownerRow < model->rowCount(); ++ownerRow) {
        const QStandardItem* owner = model->item(ownerRow);
        if (owner->checkState() == Qt::Checked) {
            ++checkedOwners;
            lastOwner = owner;
        } else if (owner->checkState() == Qt::PartiallyChecked) {
            ++partOwners;
        }
        for (int filesetRow = 0; filesetRow < owner->rowCount(); ++filesetRow) {
            const QStandardItem* fileset = owner->child(filesetRow);
            if (fileset->checkState() == Qt::Checked) {
                ++wholeFilesets;
                lastFileset = fileset;
            } else if (fileset->checkState() == Qt::PartiallyChecked) {
                for (int discRow = 0; discRow < fileset->rowCount(); ++discRow) {
                    discs += fileset->child(discRow)->checkState() == Qt::Checked ? 1 : 0;
                }
            }
        }
    }
    if (checkedOwners == model->rowCount() && checkedOwners > 0) {
        return QStringLiteral("Everything");
    }
    if (checkedOwners == 1 && partOwners == 0) {
        return QStringLiteral("Owner ") + lastOwner->text();
    }
    if (wholeFilesets == 1 && discs == 0) {
        return QStringLiteral("Fileset ") + lastFileset->text();
    }
    const auto count = [](int number, const char* one, const char* many) {
        return QString::number(number) + QLatin1Char(' ') + QLatin1String(number == 1 ? one : many);
    };
    if (wholeFilesets == 0) {
        return discs == 0 ? QStringLiteral("Nothing") : count(discs, "disc", "discs");
    }
    if (discs == 0) {
        return count(wholeFilesets, "fileset", "filesets");
    }
    return count(wholeFilesets, "fileset", "filesets") + QStringLiteral(" and ") + count(discs, "disc", "discs");
}

QStandardItem* ScopePicker::ownerItem(const QString& owner) const
{
    const QList<QStandardItem*> found = model->findItems(owner, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

QStandardItem* ScopePicker::filesetItem(int catalog) const
{
    for (int ownerRow = 0; ownerRow < model->rowCount(); ++ownerRow) {
        QStandardItem* owner = model->item(ownerRow);
        for (int filesetRow = 0; filesetRow < owner->rowCount(); ++filesetRow) {
            if (owner->child(filesetRow)->data(CatalogRole).toInt() == catalog) {
                return owner->child(filesetRow);
            }
        }
    }
    return nullptr;
}

QStandardItem* ScopePicker::discItem(int catalog, std::uint32_t offset) const
{
    QStandardItem* fileset = filesetItem(catalog);
    for (int row = 0; fileset != nullptr && row < fileset->rowCount(); ++row) {
        if (fileset->child(row)->data(OffsetRole).toUInt() == offset) {
            return fileset->child(row);
        }
    }
    return nullptr;
}

QVBoxLayout* addScopePane(
    QSplitter* splitter, const CompanionCatalogs& catalogs, ScopePicker*& picker, const QString& caption)
{
    auto* pane = new QWidget(splitter);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(6, 6, 0, 6);
    auto* label = new QLabel(caption, pane);
    label->setWordWrap(true);
    layout->addWidget(label);
    picker = new ScopePicker(catalogs, pane);
    layout->addWidget(picker, 1);
    splitter->addWidget(pane);
    return layout;
}
