#pragma once
// The export window: the user picks the scope (everything, an owner, filesets, discs, or a folder of
// one disc), what to include (files and folders or folders only, a depth) and a format, then a file
// name; a worker writes the file with a progress bar and Cancel. The file appears under its name only
// once whole.

#include "core/export/catalogexport.h"

#include <QMainWindow>
#include <QPointer>
#include <QVariant>

class CompanionCatalogs;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class ScopePicker;
class WalkProgressPanel;
class WalkWorker;

class ExportWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ExportWindow(CompanionCatalogs& catalogs, QWidget* parent = nullptr);
    /// Cancels an export that runs and waits for its end.
    ~ExportWindow() override;

    /// What the controls ask for.
    ExportOptions options() const;
    /// Asks for a file name with the format's extension, then exports (Export...).
    void chooseFileAndExport();
    /// Exports the scope picked to path; the end is told by exportEnded. False (and a message) when
    /// nothing is picked or the folder asked for is not on the disc.
    bool exportTo(const QString& path);
    bool isExporting() const;

    ScopePicker* scopePicker = nullptr;
    QLineEdit* folderEdit = nullptr; ///< a folder of the one disc picked ("/Music/Rock"); empty: the whole disc
    QRadioButton* filesAndFoldersButton = nullptr;
    QRadioButton* foldersOnlyButton = nullptr;
    QCheckBox* depthCheck = nullptr; ///< "At most"
    QSpinBox* depthSpin = nullptr; ///< levels
    QComboBox* formatChooser = nullptr;
    QCheckBox* byteOrderMarkCheck = nullptr; ///< CSV only
    QPushButton* exportButton = nullptr; ///< "Export..."
    WalkProgressPanel* progressPanel = nullptr;
    QLabel* statusLabel = nullptr; ///< what the last export did

signals:
    /// An export has ended: written, cancelled or failed (statusLabel says which).
    void exportEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateControls();
    void onExportEnded(const QVariant& result, const QString& failure, const QString& path);

    CompanionCatalogs& m_catalogs;
    QPointer<WalkWorker> m_worker;
};
