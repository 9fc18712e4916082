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
    /// startDrive: the letter of the drive selected first (the first drive when 0 or not there).
    explicit ScanDialog(QWidget* parent = nullptr, char startDrive = 0);
    ~ScanDialog() override;

    // Handlers.
    void handleFirstShow();
    /// "Scan and Add": scans the selected drive into the chosen fileset with the typed title and comment.
    void onScanClicked();
    void onDriveChanged();
    void onFilesetChanged();
    void onMediumArrived(char letter);
    void onMediumRemoved(char letter);
    /// "Add image or folder...": adds a virtual drive for a disc image or a folder the user picks and
    /// selects it.
    void addImage();
    void addFolder();
    /// Removes the selected virtual drive from "vdrives.lst", after asking.
    void onRemoveDriveClicked();

    /// The virtual drive of an image or a folder: the letter of its line in "vdrives.lst", added with
    /// the first free letter when there is none yet; 0 after telling the user why it could not be added.
    static char virtualDriveFor(const QString& path);
    /// Whether the drive of the letter is a line of "vdrives.lst" (it can be removed).
    static bool isVirtualDrive(char letter);

    // Internal operations.
    void enableDiscControls(bool on);
    /// Lists the drives and shows the selected drive: the one of the letter select when given, else the
    /// one selected before when it is still there, else the first.
    void fillDriveList(char select = 0);
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
    QLabel* noDriveHint; ///< shown while the drive list is empty
    QPushButton* addDriveButton; ///< "Add image or folder..."
    QPushButton* removeDriveButton; ///< "Remove Virtual Drive"
    QPushButton* scanButton; ///< "Scan and Add"
    QPushButton* closeButton;
    QStatusBar* statusBar;
    MediaEvents* mediaEvents;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setScanTimeColour(const QColor& colour);
    void setDriveText(qsizetype index, const QString& text);
    void addVirtualDrive(const QString& path);

    DriveList m_drives;
    Fileset* m_fileset = nullptr;
    TKTBDisc m_disc {};
    char m_startDrive = 0;
    bool m_shown = false;
};
