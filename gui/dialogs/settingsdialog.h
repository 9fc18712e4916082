#pragma once
// The settings window: where the fileset files live (the primary storage folder and further managed
// locations) and where the navigation tree starts. OK writes the settings and reloads the fileset
// registry and the owners index from the new locations; Cancel changes nothing.

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class FolderPicker;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    /// Fills the controls from the settings and the registry's locations (run when the window is first
    /// shown).
    void handleFirstShow();
    /// "..." beside the primary folder: picks a folder starting at the one typed.
    void onBrowseStorageClicked();
    /// "..." beside the location box: picks a folder starting at the one typed and adds it.
    void onBrowseLocationClicked();
    /// "Add": appends the text of the location box to the locations (duplicates and missing folders included).
    void onAddLocationClicked();
    /// "Remove": deletes the selected location, if any.
    void onRemoveLocationClicked();
    /// A click in the locations list: copies the selected entry into the location box.
    void onLocationClicked();
    /// A key in the locations list; Delete removes the selected entry. Answers whether it was handled.
    bool handleLocationsKey(int key);
    void onLocationEdited();
    /// A click on one of the four start choices.
    void onStartChoiceClicked();
    /// OK: stores the primary folder, reloads the registry and the owners index, stores the start
    /// location. Raises what the settings store or the registry raise; the window's OK button shows it
    /// and closes the window with OK all the same.
    void onOkClicked();
    /// Shows and enables the start path box for the current choice.
    void updateStartControls();

    QTabWidget* pages = nullptr;
    QLineEdit* storageEdit = nullptr;
    QPushButton* browseStorageButton = nullptr; ///< "..." for the primary folder
    QListWidget* locationsList = nullptr; ///< other managed locations
    QLineEdit* locationEdit = nullptr; ///< location to add
    QPushButton* browseLocationButton = nullptr; ///< "..." for the location box
    QPushButton* addLocationButton = nullptr; ///< "Add"
    QPushButton* removeLocationButton = nullptr; ///< "Remove"
    QRadioButton* lastLocationRadio = nullptr; ///< "Start at the last tree location"
    QRadioButton* searchRadio = nullptr; ///< "Always Start with Search"
    QRadioButton* myFilesetsRadio = nullptr; ///< "Always Start at My Filesets"
    QRadioButton* startPathRadio = nullptr; ///< "Always Start here :"
    QLineEdit* startPathEdit = nullptr; ///< the start path
    QPushButton* okButton = nullptr; ///< "OK"
    QPushButton* cancelButton = nullptr; ///< "Cancel"
    FolderPicker* folderPicker = nullptr;

signals:
    /// Sent right before the registry lets go of its filesets, so that views showing them let go first.
    void registryReloading();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildFilesetsPage();
    QWidget* buildStartupPage();
    /// Runs the folder picker starting at start; the chosen folder, or empty when cancelled.
    QString pickFolder(const QString& start);
    void reloadRegistry();
    void updateRemoveButton();

    bool m_shown = false;
};
