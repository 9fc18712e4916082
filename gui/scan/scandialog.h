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
class TCDEvents;
class TImageComboBox;
class TKTBFile;

class TformScan : public QDialog {
    Q_OBJECT
public:
    explicit TformScan(QWidget* parent = nullptr);
    ~TformScan() override;

    // Handlers.
    void FormShow();
    /// "Scan and Add": scans the selected drive into the chosen fileset with the typed title and comment.
    void btn_ScanClick();
    void DriveListChange();
    void filelistChange();
    void CDEvents1AfterArrival(char letter);
    void CDEvents1AfterRemove(char letter);

    // Internal operations.
    void EnableDiscControls(bool on);
    /// Lists the drives (keeping the selected one when it is still there) and shows the selected drive.
    void FillDriveList();
    /// Lists every fileset and selects the one last chosen ("DefaultFileSet"), else the first.
    void FillFilesets();
    /// Shows the disc in the drive as the chosen fileset knows it; letter 0 is no drive.
    void ShowDisc(char letter);
    void ShowNoDisc();

    /// The chosen fileset, or null.
    TKTBFile* ChosenFileset() const { return m_fileset; }
    /// The window's disc record: from the drive, or the fileset's stored entry of that disc.
    const TKTBDisc& Disc() const { return m_disc; }
    /// The letter of the selected drive entry, 0 when none is selected.
    char SelectedLetter() const;

    QLineEdit* edit_title;
    TImageComboBox* filelist;
    QLabel* label_lastscan;
    QLabel* label_UsedSpace;
    QLabel* label_files;
    QLabel* Label_folders;
    QCheckBox* CheckBox1; ///< "Eject When Scanned"
    QPlainTextEdit* Memo;
    QComboBox* DriveList;
    QPushButton* btn_Scan; ///< "Scan and Add"
    QPushButton* btn_close;
    QStatusBar* StatusBar1;
    TCDEvents* CDEvents1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setScanTimeColour(const QColor& colour);
    void setDriveText(qsizetype index, const QString& text);

    TDriveList m_drives;
    TKTBFile* m_fileset = nullptr;
    TKTBDisc m_disc {};
    bool m_shown = false;
};
