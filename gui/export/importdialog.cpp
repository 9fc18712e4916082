#include "gui/export/importdialog.h"

#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/filesets/filesetregistry.h"
#include "gui/common/errordisplay.h"
#include "gui/common/filesetchooser.h"
#include "gui/export/importworker.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString s_caption = QStringLiteral("Import");
constexpr int s_barSteps = 1000;

} // namespace

ImportDialog::ImportDialog(FilesetRegistry& registry, QWidget* parent)
    : QDialog(parent)
    , m_registry(registry)
{
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(s_caption);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* source = new QHBoxLayout;
    sourceEdit = new QLineEdit(this);
    sourceEdit->setObjectName(QStringLiteral("sourceEdit"));
    sourceEdit->setPlaceholderText(QStringLiteral("a JSON export, or a list of \"size<TAB>path\" lines"));
    browseButton = new QPushButton(QStringLiteral("Browse..."), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    source->addWidget(sourceEdit, 1);
    source->addWidget(browseButton);
    form->addRow(QStringLiteral("File:"), source);
    filesetChooser = new FilesetChooser(this);
    filesetChooser->setObjectName(QStringLiteral("filesetChooser"));
    fillFilesetChooser(filesetChooser, false);
    form->addRow(QStringLiteral("Into fileset:"), filesetChooser);
    titleEdit = new QLineEdit(this);
    titleEdit->setObjectName(QStringLiteral("titleEdit"));
    titleEdit->setMaxLength(63);
    titleEdit->setPlaceholderText(QStringLiteral("for a list: the list's file name"));
    form->addRow(QStringLiteral("Disc title:"), titleEdit);
    layout->addLayout(form);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, s_barSteps);
    progressBar->hide();
    layout->addWidget(progressBar);
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setWordWrap(true);
    layout->addWidget(statusLabel);
    auto* buttons = new QDialogButtonBox(this);
    importButton = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    importButton->setObjectName(QStringLiteral("importButton"));
    importButton->setDefault(true);
    closeButton = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    layout->addWidget(buttons);
    resize(560, sizeHint().height());

    connectGuarded(browseButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, s_caption, QDir::homePath(), QStringLiteral("Exports and lists (*.json *.txt *.lst);;All files (*)"));
        if (!path.isEmpty()) {
            sourceEdit->setText(path);
        }
    });
    connectGuarded(importButton, &QPushButton::clicked, this, [this] { startImport(); });
    connect(closeButton, &QPushButton::clicked, this, &ImportDialog::reject);
}

ImportDialog::~ImportDialog() { delete m_worker.data(); }

bool ImportDialog::isImporting() const { return m_worker != nullptr && !m_worker->isFinished(); }

void ImportDialog::setImporting(bool importing)
{
    importButton->setEnabled(!importing);
    sourceEdit->setEnabled(!importing);
    browseButton->setEnabled(!importing);
    filesetChooser->setEnabled(!importing);
    titleEdit->setEnabled(!importing);
    closeButton->setText(importing ? QStringLiteral("Cancel") : QStringLiteral("Close"));
    progressBar->setVisible(importing);
}

bool ImportDialog::startImport()
{
    const QString source = sourceEdit->text().trimmed();
    bool isGroup = false;
    const int index = chosenItem(filesetChooser, isGroup);
    const auto refuse = [this](const QString& text) {
        questions().messageBox(text, s_caption, MessageIcon::Warning, OkButton);
        return false;
    };
    if (source.isEmpty()) {
        return refuse(QStringLiteral("Name the file to import."));
    }
    if (index < 0 || index >= m_registry.count()) {
        return refuse(QStringLiteral("Choose the fileset to import into."));
    }
    Fileset* fileset = m_registry.at(index);
    if (fileset->readOnly) {
        return refuse(fileset->readOnlyMessage());
    }
    TKTBHandle* handle = nullptr;
    try {
        handle = fileset->handle();
    } catch (const CatalogError& error) {
        return refuse(error.message());
    }
    ImportOptions options;
    options.title = titleEdit->text().trimmed();
    auto* worker = new ImportWorker(handle, fileset->fileName, source, options, this);
    m_worker = worker;
    connect(worker, &ImportWorker::progressChanged, this, [this](quint64 done, quint64 total) {
        progressBar->setValue(total == 0 ? s_barSteps : static_cast<int>(done * s_barSteps / total));
    });
    connectGuarded(worker, &ImportWorker::importEnded, this,
        [this, index](const ImportResult& result) { onImportEnded(result, index); });
    statusLabel->setText(QStringLiteral("Importing %1 ...").arg(source));
    progressBar->setValue(0);
    setImporting(true);
    worker->start();
    return true;
}

void ImportDialog::onImportEnded(const ImportResult& result, int fileset)
{
    m_worker->deleteLater();
    m_worker = nullptr;
    setImporting(false);
    QStringList lines;
    for (const ImportedDisc& disc : result.imported) {
        lines.append(
            QStringLiteral("Imported \"%1\": %2 files, %3 folders.").arg(disc.title).arg(disc.files).arg(disc.folders));
    }
    if (result.imported.empty()) {
        lines.append(QStringLiteral("Nothing was imported."));
    }
    if (result.cancelled) {
        lines.append(QStringLiteral("Cancelled; the disc being read was not added."));
    }
    statusLabel->setText(lines.join(QLatin1Char('\n')));
    // The fileset's views follow its new discs.
    if (!result.imported.empty() && fileset < m_registry.count()) {
        m_registry.notifyChanged(m_registry.at(fileset));
    }
    QStringList problems = result.refused;
    if (!result.error.isEmpty()) {
        problems.append(result.error);
    }
    if (!problems.isEmpty()) {
        questions().messageBox(problems.join(QLatin1Char('\n')), s_caption, MessageIcon::Warning, OkButton);
    }
    emit importEnded();
}

void ImportDialog::reject()
{
    if (isImporting()) {
        m_worker->cancel();
        return;
    }
    QDialog::reject();
}
