#pragma once
// The search panel's optional second row: size, day of the last change, and folders or files.

#include <QString>
#include <QWidget>

class QComboBox;
class QLineEdit;
struct SearchFilter;

/// Size at least / at most (bytes, KiB, MiB, GiB), modified from / to (days in the user's short date
/// format, both inclusive) and "Folders and files", "Files only", "Folders only". An empty field does
/// not filter, so the row left empty searches as the panel does without it.
class SearchFilterRow : public QWidget {
    Q_OBJECT
public:
    explicit SearchFilterRow(QWidget* parent = nullptr);

    /// The filter the fields give; false, with error saying what is wrong, when a field cannot be read
    /// or the fields cannot all hold at once.
    bool readFilter(SearchFilter& filter, QString& error) const;
    /// Reads a day as the user writes it: the short date format of the locale (a two-digit year is
    /// taken between 1980 and 2079), or YYYY-MM-DD. Invalid for anything else.
    static QDate parseDay(const QString& text);

    QLineEdit* minSizeEdit;
    QComboBox* minSizeUnit;
    QLineEdit* maxSizeEdit;
    QComboBox* maxSizeUnit;
    QLineEdit* fromEdit;
    QLineEdit* toEdit;
    QComboBox* kindChooser; ///< "Folders and files", "Files only", "Folders only"
};
