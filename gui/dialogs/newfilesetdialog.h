#pragma once
// The new fileset window: owner (chosen or typed), description, and the file the fileset is stored in,
// proposed by the registry's naming rule and open to change.

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class NewFilesetDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewFilesetDialog(QWidget* parent = nullptr);

    void handleFirstShow();
    /// Lists the owners and the login name, and selects "DefaultOwner" (the login name when empty).
    void fillOwners();
    /// Proposes the file name for the owner text in the storage folder.
    void onOwnerChanged();
    /// "...": a save dialog for the file.
    void onBrowseClicked();
    /// Leaving the key field: the key is asked again and emptied when the two differ.
    void onKeyEditLeft();
    /// "Ok": creates the fileset and closes the window, or tells why it could not.
    void onOkClicked();

    /// The file name last proposed; the file box holding anything else is the user's own choice.
    const QString& proposedFileName() const { return m_proposal; }

    QFrame* headingBand; ///< the white heading band
    QLabel* headingLabel; ///< "Create a New Fileset"
    QLabel* ownerLabel;
    QComboBox* ownerCombo;
    QLabel* descriptionLabel;
    QLineEdit* descriptionEdit; ///< description
    QLabel* keyLabel;
    QLineEdit* keyEdit; ///< protection key, hidden
    QLabel* fileLabel;
    QLineEdit* fileEdit; ///< the file
    QPushButton* browseButton; ///< "..."
    QFrame* separator;
    QPushButton* okButton; ///< "Ok"
    QPushButton* cancelButton; ///< "Cancel"

signals:
    /// The registry picks up new files and the owners index is rebuilt next: whatever refers to owners
    /// (the main window's list) lets go of them now, before any message can let a view repaint.
    void registryReloading();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Creates the fileset file at path for the owner and registers it; answers its registry index.
    int createAt(const QString& path, const QString& owner);
    /// Adds path to the managed locations unless the storage folder or a location already finds it.
    void rememberLocation(const QString& path, const QString& storageFolder);

    QString m_proposal;
    bool m_shown = false;
};
