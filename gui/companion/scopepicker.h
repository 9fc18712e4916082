#pragma once
// Which filesets and discs a companion window works on: a tree of owners, their filesets and the
// filesets' discs with check boxes. Checking an owner checks its filesets and their discs, so the
// scope is everything, an owner, a fileset, chosen discs, or any mix of them.

#include "core/companion/catalogwalk.h"

#include <QString>
#include <QWidget>
#include <vector>

class CompanionCatalogs;
class QPushButton;
class QSplitter;
class QStandardItem;
class QVBoxLayout;
class QStandardItemModel;
class QTreeView;

class ScopePicker : public QWidget {
    Q_OBJECT
public:
    /// Lists the owners, filesets and discs of catalogs, everything checked. A fileset whose discs
    /// cannot be read is listed without them.
    explicit ScopePicker(const CompanionCatalogs& catalogs, QWidget* parent = nullptr);

    /// The checked filesets in the order the tree lists them: a fully checked fileset whole, a partly
    /// checked one with its checked discs.
    std::vector<WalkTarget> targets() const;
    /// The scope for a heading: "Everything", "Owner Alice", "Fileset Music", "2 discs", "3 filesets
    /// and 2 discs"; "Nothing" when nothing is checked.
    QString scopeText() const;

    /// Checks or unchecks everything.
    void checkAll(bool checked);
    /// Checks that item only (an owner, a fileset or a disc) with what it holds, unchecking everything else.
    void checkOnly(QStandardItem* item);
    /// The item of an owner, of a fileset (by catalog index), or of a disc (by catalog and offset);
    /// null when there is none.
    QStandardItem* ownerItem(const QString& owner) const;
    QStandardItem* filesetItem(int catalog) const;
    QStandardItem* discItem(int catalog, std::uint32_t offset) const;

    QTreeView* tree = nullptr;
    QStandardItemModel* model = nullptr;
    QPushButton* allButton = nullptr; ///< "All"
    QPushButton* noneButton = nullptr; ///< "None"

signals:
    /// The checked items changed.
    void scopeChanged();

private:
    void onContextMenu(const QPoint& position);
    void onItemChanged(QStandardItem* item);

    const CompanionCatalogs& m_catalogs;
    bool m_updating = false;
};

/// The left pane of a companion window in splitter: caption ("Scope" unless given) over a picker of the
/// catalogs; a window adds its own controls below it to the layout answered.
QVBoxLayout* addScopePane(QSplitter* splitter, const CompanionCatalogs& catalogs, ScopePicker*& picker,
    const QString& caption = QStringLiteral("Scope"));
