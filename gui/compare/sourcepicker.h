#pragma once
// One side of a comparison: a disc or a fileset of the catalogs, a folder or disc image, or a drive.

#include "core/compare/comparesource.h"

#include <QWidget>
#include <optional>

class CompanionCatalogs;
class QComboBox;
class QLineEdit;
class QPushButton;

class SourcePicker : public QWidget {
    Q_OBJECT
public:
    enum Kind { DiscKind, FilesetKind, LocationKind, DriveKind };

    explicit SourcePicker(const CompanionCatalogs& catalogs, QWidget* parent = nullptr);

    /// The source chosen; none, with why in problem, when the choice is not complete.
    std::optional<CompareSource> source(QString& problem) const;
    /// Chooses a disc (or, with offset 0, the whole fileset) of a catalog.
    void chooseCatalog(int catalog, std::uint32_t disc);
    /// Chooses a folder or disc image.
    void chooseLocation(const QString& path);

    QComboBox* kindChooser = nullptr; ///< "Disc", "Fileset", "Folder or Image", "Drive"
    QComboBox* filesetChooser = nullptr;
    QComboBox* discChooser = nullptr;
    QLineEdit* pathEdit = nullptr;
    QPushButton* browseButton = nullptr; ///< "Browse..."
    QComboBox* driveChooser = nullptr;

private:
    void showKind();
    void fillDiscs();
    void browse();

    const CompanionCatalogs& m_catalogs;
};
