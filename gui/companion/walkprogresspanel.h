#pragma once
// The progress of a companion window's walk: what is walked, a progress bar and Cancel.

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class WalkWorker;

class WalkProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit WalkProgressPanel(QWidget* parent = nullptr);

    /// Shows the panel with text while the worker runs: its progress fills the bar, Cancel cancels it,
    /// and the panel hides when the walk has ended.
    void watch(WalkWorker* worker, const QString& text);

    QLabel* textLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* cancelButton = nullptr; ///< "Cancel"

private:
    void showProgress(quint64 done, quint64 total);

    QPointer<WalkWorker> m_worker;
};
