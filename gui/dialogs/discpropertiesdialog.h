#pragma once
// The disc properties window: the stored facts of one or more discs, read and written straight through
// the catalog engine. One disc: title, comment, capacity and audio flag can be changed; several discs:
// their common capacity and, when the user sets it, their audio flag.

#include "core/filesets/itemref.h"

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

/// Shows the properties of the discs of items modally and answers the window's result
/// (QDialog::Accepted when the user confirmed it).
int showDiscProperties(const ItemRefs& items);

/// Bytes per megabyte of the capacity box.
constexpr std::int64_t DiscCapacityUnit = 1048576;

/// The capacity in bytes a text of the capacity box stands for: a decimal number of megabytes; 0 when
/// the text is not a number, or when the bytes would not fit a signed 64-bit value.
std::int64_t capacityFromText(const QString& text);

class DiscPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit DiscPropertiesDialog(QWidget* parent = nullptr);

    /// Keeps a copy of the disc items and fills the controls from their disc records. Every fileset is closed
    /// after its disc was read. Raises CatalogError when a catalog cannot be opened or an item's offset
    /// holds no disc.
    void fill(const ItemRefs& items);
    /// Ok: writes capacity and audio flag to every disc, and title and comment to a single one; every
    /// fileset is closed afterwards. Discs of different capacities keep theirs while the box is left
    /// empty. A refused write (a locked fileset) changes nothing, silently; Ok is disabled for discs of
    /// a fileset opened read-only.
    void onOkClicked();

    QLabel* iconLabel = nullptr; ///< the disc icon
    QLineEdit* titleEdit = nullptr;
    QLabel* ownerLabel = nullptr; ///< owner of the fileset
    QComboBox* capacityCombo = nullptr; ///< capacity in megabytes
    QLabel* scannedLabel = nullptr;
    QLabel* entriesLabel = nullptr;
    QLabel* usedLabel = nullptr;
    QLabel* freeLabel = nullptr;
    QCheckBox* audioCheckBox = nullptr; ///< "AudioCD"
    QPlainTextEdit* commentEdit = nullptr; ///< comment
    QPushButton* okButton = nullptr; ///< "Ok"
    QPushButton* cancelButton = nullptr; ///< "Cancel"

private:
    ItemRefs m_items;
    /// The discs have different capacities: the box starts empty, and left so, no capacity is written.
    bool m_severalCapacities = false;
};
