#include "gui/companion/walkprogresspanel.h"

#include "gui/common/errordisplay.h"
#include "gui/companion/walkworker.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

// The bar counts in thousandths: byte counts do not fit its int range.
constexpr int s_barSteps = 1000;

} // namespace

WalkProgressPanel::WalkProgressPanel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("walkProgressPanel"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("walkTextLabel"));
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("walkProgressBar"));
    progressBar->setRange(0, s_barSteps);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("walkCancelButton"));
    layout->addWidget(textLabel);
    layout->addWidget(progressBar, 1);
    layout->addWidget(cancelButton);
    connectGuarded(cancelButton, &QPushButton::clicked, this, [this] {
        if (m_worker != nullptr) {
            m_worker->cancel();
        }
    });
    hide();
}

void WalkProgressPanel::watch(WalkWorker* worker, const QString& text)
{
    m_worker = worker;
    textLabel->setText(text);
    progressBar->setRange(0, s_barSteps);
    progressBar->setValue(0);
    connect(worker, &WalkWorker::progressChanged, this, &WalkProgressPanel::showProgress);
    connect(worker, &WalkWorker::walkEnded, this, &QWidget::hide);
    show();
}

void WalkProgressPanel::showProgress(quint64 done, quint64 total)
{
    // Entries counted without a known end (a local folder walked before the catalogs): a busy bar.
    if (total == 0 && done > 0) {
        progressBar->setRange(0, 0);
        return;
    }
    progressBar->setRange(0, s_barSteps);
    progressBar->setValue(total == 0 ? s_barSteps : static_cast<int>(done * s_barSteps / total));
}
