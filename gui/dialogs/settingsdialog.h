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
class TBrowseFolder;

class TConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TConfigForm(QWidget* parent = nullptr);

    /// Fills the controls from the settings and the registry's locations (run when the window is first
    /// shown).
    void FormShow();
    /// "..." beside the primary folder: picks a folder starting at the one typed.
    void Button1Click();
    /// "..." beside Edit5: picks a folder starting at the one typed and adds it.
    void Button4Click();
    /// "Add": appends the text of Edit5 to the locations (duplicates and missing folders included).
    void Button3Click();
    /// "Remove": deletes the selected location, if any.
    void Button2Click();
    /// A click in the locations list: copies the selected entry into Edit5.
    void ListBox1Click();
    /// A key in the locations list; Delete removes the selected entry. Answers whether it was handled.
    bool ListBox2KeyDown(int key);
    void Edit5Change();
    /// A click on one of the four start choices.
    void RadioButton1Click();
    /// OK: stores the primary folder, reloads the registry and the owners index, stores the start
    /// location. Raises what the settings store or the registry raise; the window's OK button shows it
    /// and closes the window with OK all the same.
    void Button6Click();
    /// Shows and enables the start path box for the current choice.
    void UpdateStartControls();

    QTabWidget* PageControl1 = nullptr;
    QLineEdit* edit_storage = nullptr;
    QPushButton* Button7 = nullptr; ///< "..." for the primary folder
    QListWidget* ListBox2 = nullptr; ///< other managed locations
    QLineEdit* Edit5 = nullptr; ///< location to add
    QPushButton* Button9 = nullptr; ///< "..." for Edit5
    QPushButton* Button8 = nullptr; ///< "Add"
    QPushButton* Button10 = nullptr; ///< "Remove"
    QRadioButton* RadioButton1 = nullptr; ///< "Start at the last tree location"
    QRadioButton* RadioButton2 = nullptr; ///< "Always Start with Search"
    QRadioButton* RadioButton3 = nullptr; ///< "Always Start at My Filesets"
    QRadioButton* RadioButton4 = nullptr; ///< "Always Start here :"
    QLineEdit* Edit3 = nullptr; ///< the start path
    QPushButton* Button6 = nullptr; ///< "OK"
    QPushButton* Button5 = nullptr; ///< "Cancel"
    TBrowseFolder* BrowseFolder1 = nullptr;

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
