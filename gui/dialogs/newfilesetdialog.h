#pragma once
// The new fileset window: owner (chosen or typed), description, and the file the fileset is stored in,
// proposed by the registry's naming rule and open to change.

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormNewFileset : public QDialog {
    Q_OBJECT
public:
    explicit TFormNewFileset(QWidget* parent = nullptr);

    void FormShow();
    /// Lists the owners and the login name, and selects "DefaultOwner" (the login name when empty).
    void InitOwnerList();
    /// Proposes the file name for the owner text in the storage folder.
    void ownerlistChange();
    /// "...": a save dialog for the file.
    void Button1Click();
    /// Leaving the key field: the key is asked again and emptied when the two differ.
    void MaskEdit1Exit();
    /// "Ok": creates the fileset and closes the window, or tells why it could not.
    void Button3Click();

    /// The file name last proposed; Edit2 holding anything else is the user's own choice.
    const QString& ProposedFileName() const { return m_proposal; }

    QFrame* Panel1; ///< the white heading band
    QLabel* Label1; ///< "Create a New Fileset"
    QLabel* Label4;
    QComboBox* ownerlist;
    QLabel* Label2;
    QLineEdit* Edit1; ///< description
    QLabel* Label5;
    QLineEdit* MaskEdit1; ///< protection key, hidden
    QLabel* Label3;
    QLineEdit* Edit2; ///< the file
    QPushButton* Button1; ///< "..."
    QFrame* Bevel1;
    QPushButton* Button3; ///< "Ok"
    QPushButton* Button2; ///< "Cancel"

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
