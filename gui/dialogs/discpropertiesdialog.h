#pragma once
// The disc properties window: the stored facts of one or more discs, read and written straight through
// the catalog engine. One disc: title, comment, capacity and audio flag can be changed; several discs:
// their common capacity and, when the user sets it, their audio flag.

#include "core/filesets/entitylist.h"

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
int ShowDiscProperties(const TItemDataArray& items);

/// Bytes per megabyte of the capacity box.
constexpr std::int64_t DISC_CAPACITY_UNIT = 1048576;

/// The capacity in bytes a text of the capacity box stands for: a decimal number of megabytes; 0 when
/// the text is not a number, or when the bytes would not fit a signed 64-bit value.
std::int64_t CapacityFromText(const QString& text);

class TFormDiscProp : public QDialog {
    Q_OBJECT
public:
    explicit TFormDiscProp(QWidget* parent = nullptr);

    /// Keeps a copy of the disc items and fills the controls from their disc records. Every fileset is closed
    /// after its disc was read. Raises EKTBException when a catalog cannot be opened or an item's offset
    /// holds no disc.
    void Fill(const TItemDataArray& items);
    /// Ok: writes capacity and audio flag to every disc, and title and comment to a single one; every
    /// fileset is closed afterwards. A refused write (a locked fileset) changes nothing, silently.
    void Button2Click();

    QLabel* Image1 = nullptr; ///< the disc icon
    QLineEdit* Edit_title = nullptr;
    QLabel* Label9 = nullptr; ///< owner of the fileset
    QComboBox* ComboBox1 = nullptr; ///< capacity in megabytes
    QLabel* lab_scanned = nullptr;
    QLabel* lab_entries = nullptr;
    QLabel* lab_used = nullptr;
    QLabel* lab_free = nullptr;
    QCheckBox* CheckBox1 = nullptr; ///< "AudioCD"
    QPlainTextEdit* Memo1 = nullptr; ///< comment
    QPushButton* Button2 = nullptr; ///< "Ok"
    QPushButton* Button1 = nullptr; ///< "Cancel"

private:
    TItemDataArray m_items;
};
