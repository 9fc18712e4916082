#pragma once
// The conversion of an older-version fileset in place, behind a small modal window with progress and
// Cancel. The new file is written beside the fileset under "conv" + n + ".tmp"; only a finished
// conversion takes the fileset's place, and the older file is kept under a backup name.

#include "gui/dialogs/convertworker.h"

#include <QDialog>
#include <QString>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

/// "KTB Convert": progress bar and Cancel (also Escape); closing the window stops the worker too. The
/// window ends when the worker has ended, with 1 when the file was converted and replaced, else 2.
class ConvertDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConvertDialog(QWidget* parent = nullptr);
    ~ConvertDialog() override;

    /// Converts the file at path behind the modal window and answers 1 or 2.
    int convert(const QString& path);
    ConvertWorker* worker() const { return m_worker.get(); }

    void setMaximum(int maximum);
    void setPosition(int position);
    void onCancelClicked();
    void reject() override;

    QProgressBar* progressBar;
    QLabel* statusLabel;
    QPushButton* cancelButton; ///< "Cancel"

signals:
    /// The worker has started (the window shows while it works).
    void conversionStarted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void handleClose();
    void workerFinished();

    std::unique_ptr<ConvertWorker> m_worker;
};

/// Converts the older-version fileset at path in place with the conversion window: 1 when it was
/// converted and replaced, 2 when not (the file is then left as it was). A failure, unlike a cancel, is
/// told to the user.
int convertFilesetInPlace(const QString& path);
