#pragma once
// The scan window: pick a drive and a fileset, see whether the disc in the drive is catalogued in that
// fileset, give it a title and a comment, and scan it ("Scan and Add"). Follows media arrival and
// removal while it is open.

#include "core/drives/driveutils.h"
#include "engine/ktbdef.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class MediaEvents;
class FilesetChooser;
class Fileset;

class ScanDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScanDialog(QWidget* parent = nullptr);
    ~ScanDialog() override;

    // Handlers.
    void handleFirstShow();
    /// "Scan and Add": scans the selected drive into the chosen fileset with the typed title and comment.
    void onScanClicked();
    void onDriveChanged();
    void onFilesetChanged();
    void onMediumArrived(char letter);
    void onMediumRemoved(char letter);

    // Internal operations.
    void enableDiscControls(bool on);
    /// Lists the drives (keeping the selected one when it is still there) and shows the selected drive.
    void fillDriveList();
    /// Lists every fileset and selects the one last chosen ("DefaultFileSet"), else the first.
    void fillFilesets();
    /// Shows the disc in the drive as the chosen fileset knows it; letter 0 is no drive.
    void showDisc(char letter);
    void showNoDisc();

    /// The chosen fileset, or null.
    Fileset* chosenFileset() const { return m_fileset; }
    /// The window's disc record: from the drive, or the fileset's stored entry of that disc.
    const TKTBDisc& disc() const { return m_disc; }
    /// The letter of the selected drive entry, 0 when none is selected.
    char selectedLetter() const;

    QLineEdit* titleEdit;
    FilesetChooser* filesetChooser;
    QLabel* lastScanLabel;
    QLabel* usedSpaceLabel;
    QLabel* filesLabel;
    QLabel* foldersLabel;
    QCheckBox* ejectCheckBox; ///< "Eject When Scanned"
    QPlainTextEdit* commentEdit;
    QComboBox* driveList;
    QPushButton* scanButton; ///< "Scan and Add"
    QPushButton* closeButton;
    QStatusBar* statusBar;
    MediaEvents* mediaEvents;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setScanTimeColour(const QColor& colour);
    void setDriveText(qsizetype index, const QString& text);

    DriveList m_drives;
    Fileset* m_fileset = nullptr;
    TKTBDisc m_disc {};
    bool m_shown = false;
};
