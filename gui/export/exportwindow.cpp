#include "gui/export/exportwindow.h"

#include "core/common/questions.h"
#include "core/companion/companioncatalogs.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "gui/common/errordisplay.h"
#include "gui/companion/savepath.h"
#include "gui/companion/scopepicker.h"
#include "gui/companion/walkprogresspanel.h"
#include "gui/companion/walkworker.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

Q_DECLARE_METATYPE(ExportResult)

namespace {

const QString s_caption = QStringLiteral("Katalox Export");

struct FormatEntry {
    const char* caption;
    const char* filter;
    ExportFormat format;
};

constexpr FormatEntry s_formats[] = {
    { "CSV (spreadsheets)", "CSV files (*.csv)", ExportFormat::Csv },
    { "JSON (scripts; Import reads it back)", "JSON files (*.json)", ExportFormat::Json },
    { "HTML (one web page with a tree and a search box)", "HTML files (*.html)", ExportFormat::Html },
    { "Text (an indented tree)", "Text files (*.txt)", ExportFormat::Text },
};

} // namespace

ExportWindow::ExportWindow(CompanionCatalogs& catalogs, QWidget* parent)
    : QMainWindow(parent)
    , m_catalogs(catalogs)
{
    setObjectName(QStringLiteral("exportWindow"));
    setWindowTitle(s_caption);

    auto* splitter = new QSplitter(this);
    addScopePane(splitter, catalogs, scopePicker);

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(6, 6, 6, 6);
    auto* form = new QFormLayout;
    folderEdit = new QLineEdit(right);
    folderEdit->setObjectName(QStringLiteral("folderEdit"));
    folderEdit->setPlaceholderText(QStringLiteral("the whole disc, or a folder such as /Music/Rock"));
    form->addRow(QStringLiteral("Folder of the disc:"), folderEdit);

    auto* include = new QWidget(right);
    auto* includeLayout = new QHBoxLayout(include);
    includeLayout->setContentsMargins(0, 0, 0, 0);
    filesAndFoldersButton = new QRadioButton(QStringLiteral("Folders and files"), include);
    filesAndFoldersButton->setObjectName(QStringLiteral("filesAndFoldersButton"));
    filesAndFoldersButton->setChecked(true);
    foldersOnlyButton = new QRadioButton(QStringLiteral("Folders only"), include);
    foldersOnlyButton->setObjectName(QStringLiteral("foldersOnlyButton"));
    includeLayout->addWidget(filesAndFoldersButton);
    includeLayout->addWidget(foldersOnlyButton);
    includeLayout->addStretch(1);
    form->addRow(QStringLiteral("Include:"), include);

    auto* depth = new QWidget(right);
    auto* depthLayout = new QHBoxLayout(depth);
    depthLayout->setContentsMargins(0, 0, 0, 0);
    depthCheck = new QCheckBox(QStringLiteral("At most"), depth);
    depthCheck->setObjectName(QStringLiteral("depthCheck"));
    depthSpin = new QSpinBox(depth);
    depthSpin->setObjectName(QStringLiteral("depthSpin"));
    depthSpin->setRange(1, 999);
    depthSpin->setValue(2);
    depthLayout->addWidget(depthCheck);
    depthLayout->addWidget(depthSpin);
    depthLayout->addWidget(new QLabel(QStringLiteral("levels of folders"), depth));
    depthLayout->addStretch(1);
    form->addRow(QStringLiteral("Depth:"), depth);

    formatChooser = new QComboBox(right);
    formatChooser->setObjectName(QStringLiteral("formatChooser"));
    for (const FormatEntry& format : s_formats) {
        formatChooser->addItem(QString::fromLatin1(format.caption));
    }
    form->addRow(QStringLiteral("Format:"), formatChooser);
    byteOrderMarkCheck = new QCheckBox(QStringLiteral("Byte order mark (for spreadsheet programs)"), right);
    byteOrderMarkCheck->setObjectName(QStringLiteral("byteOrderMarkCheck"));
    byteOrderMarkCheck->setChecked(true);
    form->addRow(QString(), byteOrderMarkCheck);
    rightLayout->addLayout(form);

    exportButton = new QPushButton(QStringLiteral("Export..."), right);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    exportButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(exportButton);
    rightLayout->addLayout(buttons);
    progressPanel = new WalkProgressPanel(right);
    rightLayout->addWidget(progressPanel);
    statusLabel = new QLabel(right);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setWordWrap(true);
    statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rightLayout->addWidget(statusLabel);
    rightLayout->addStretch(1);

    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 300, 500 });
    setCentralWidget(splitter);
    resize(820, 480);

    connectGuarded(exportButton, &QPushButton::clicked, this, [this] { chooseFileAndExport(); });
    connect(scopePicker, &ScopePicker::scopeChanged, this, &ExportWindow::updateControls);
    connect(depthCheck, &QCheckBox::toggled, this, &ExportWindow::updateControls);
    connect(formatChooser, &QComboBox::currentIndexChanged, this, &ExportWindow::updateControls);
    updateControls();
}

ExportWindow::~ExportWindow() { delete m_worker.data(); }

void ExportWindow::updateControls()
{
    const std::vector<WalkTarget> targets = scopePicker->targets();
    // A folder is a place in one disc.
    const bool oneDisc = targets.size() == 1 && targets.front().discs.size() == 1;
    folderEdit->setEnabled(oneDisc);
    depthSpin->setEnabled(depthCheck->isChecked());
    byteOrderMarkCheck->setEnabled(options().format == ExportFormat::Csv);
    exportButton->setEnabled(!targets.empty() && !isExporting());
}

ExportOptions ExportWindow::options() const
{
    ExportOptions options;
    options.format = s_formats[std::max(0, formatChooser->currentIndex())].format;
    options.byteOrderMark = byteOrderMarkCheck->isChecked();
    options.selection.foldersOnly = foldersOnlyButton->isChecked();
    options.selection.depth = depthCheck->isChecked() ? depthSpin->value() : 0;
    return options;
}

bool ExportWindow::isExporting() const { return m_worker != nullptr && !m_worker->isFinished(); }

void ExportWindow::chooseFileAndExport()
{
    const FormatEntry& format = s_formats[std::max(0, formatChooser->currentIndex())];
    const QString path = askSavePath(s_caption, QStringLiteral("Export"), QStringLiteral("Catalogs"),
        QString::fromLatin1(format.filter), QLatin1Char('.') + exportExtension(format.format));
    if (!path.isEmpty()) {
        exportTo(path);
    }
}

bool ExportWindow::exportTo(const QString& path)
{
    std::vector<WalkTarget> targets = scopePicker->targets();
    if (targets.empty()) {
        questions().messageBox(QStringLiteral("Nothing chosen: tick the owners, filesets or discs to export."),
            s_caption, MessageIcon::Information, OkButton);
        return false;
    }
    ExportOptions chosen = options();
    const QString folder = folderEdit->isEnabled() ? folderEdit->text().trimmed() : QString();
    if (!folder.isEmpty() && folder != QStringLiteral("/")) {
        WalkTarget& target = targets.front();
        bool found = false;
        try {
            found = findExportFolder(target.fileset->handle(), target.discs.front(), folder, chosen.selection.folder);
        } catch (const CatalogError& error) {
            questions().messageBox(error.message(), s_caption, MessageIcon::Error, OkButton);
            return false;
        }
        if (!found) {
            questions().messageBox(
                QStringLiteral("The disc holds no folder %1.").arg(folder), s_caption, MessageIcon::Warning, OkButton);
            return false;
        }
    }
    const CompanionCatalogs* catalogs = &m_catalogs;
    auto* worker = new WalkWorker(
        makeExportWalk(std::move(targets)),
        [catalogs, chosen, path](CatalogWalk& walk) {
            ExportFile file(path);
            return QVariant::fromValue(exportCatalogs(*catalogs, walk, chosen, file));
        },
        this);
    m_worker = worker;
    connectGuarded(worker, &WalkWorker::walkEnded, this,
        [this, path](const QVariant& result, const QString& failure) { onExportEnded(result, failure, path); });
    statusLabel->setText(QStringLiteral("Exporting %1 to %2 ...").arg(scopePicker->scopeText(), path));
    progressPanel->watch(worker, QStringLiteral("Writing"));
    worker->start();
    updateControls();
    return true;
}

void ExportWindow::onExportEnded(const QVariant& result, const QString& failure, const QString& path)
{
    const bool cancelled = m_worker->wasCancelled();
    m_worker->deleteLater();
    m_worker = nullptr;
    const auto exported = result.value<ExportResult>();
    if (exported.written) {
        statusLabel->setText(QStringLiteral("Exported %1 folders and %2 files to %3.")
                                 .arg(exported.folders)
                                 .arg(exported.files)
                                 .arg(path));
    } else if (cancelled || exported.cancelled) {
        statusLabel->setText(QStringLiteral("Cancelled: %1 was not written.").arg(path));
    } else {
        const QString why = failure.isEmpty() ? exported.error : failure;
        statusLabel->setText(QStringLiteral("%1 was not written.").arg(path));
        questions().messageBox(QStringLiteral("The export failed; %1 was not written.\n\n%2").arg(path, why), s_caption,
            MessageIcon::Error, OkButton);
    }
    updateControls();
    emit exportEnded();
}

void ExportWindow::closeEvent(QCloseEvent* event)
{
    if (m_worker != nullptr) {
        m_worker->cancel();
    }
    QMainWindow::closeEvent(event);
}
