#pragma once
// File > Import... of the main window: discs of a JSON export, or a disc made from a list of
// "size<TAB>path" lines, into a fileset the user picks. The main window holds the filesets' write
// locks, so it imports itself, on a worker, with a progress bar and Cancel.

#include <QDialog>
#include <QPointer>

class FilesetChooser;
class FilesetRegistry;
class ImportWorker;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
struct ImportResult;

class ImportDialog : public QDialog {
    Q_OBJECT
public:
    /// Offers the filesets of the registry (g_filesetRegistry, listed by owner).
    explicit ImportDialog(FilesetRegistry& registry, QWidget* parent = nullptr);
    ~ImportDialog() override;

    /// Imports the file named into the fileset chosen (Import); false (and a message) when either is
    /// missing or the fileset cannot be changed. The end is told by importEnded.
    bool startImport();
    bool isImporting() const;

    QLineEdit* sourceEdit = nullptr;
    QPushButton* browseButton = nullptr; ///< "Browse..."
    FilesetChooser* filesetChooser = nullptr;
    QLineEdit* titleEdit = nullptr; ///< a list's disc title; empty: the list's file name
    QProgressBar* progressBar = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* importButton = nullptr; ///< "Import"
    QPushButton* closeButton = nullptr; ///< "Close", "Cancel" while importing

signals:
    void importEnded();

protected:
    void reject() override;

private:
    void onImportEnded(const ImportResult& result, int fileset);
    void setImporting(bool importing);

    FilesetRegistry& m_registry;
    QPointer<ImportWorker> m_worker;
};
