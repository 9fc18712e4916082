#include "gui/dialogs/filesetpropertiesdialog.h"

#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/common/appicons.h"
#include "gui/common/dialogparts.h"

#include <QApplication>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace {

QString dateText(const QDateTime& dateTime)
{
    const QString text = formatDateTime(dateTime);
    return text.isEmpty() ? QStringLiteral("N/A") : text;
}

// The owners index follows the registry, not the owner texts: a fileset given another owner is filed
// under it here, so the tree shows it there. The owner it leaves stays in the index, possibly empty,
// until the next rebuild, so no view is left holding an owner that no longer exists. A locked fileset
// kept its owner text and stays where it is.
void refileUnderOwner(Fileset* fileset)
{
    if (g_ownerIndex == nullptr) {
        return;
    }
    const QString owner = fileset->owner();
    const int current = g_ownerIndex->indexOfFileset(fileset);
    if (current >= 0 && current == g_ownerIndex->indexOfName(owner)) {
        return;
    }
    g_ownerIndex->removeFileset(fileset);
    g_ownerIndex->addFileset(owner, fileset);
}

} // namespace

FilesetPropertiesDialog::FilesetPropertiesDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("filesetPropertiesDialog"));
    setWindowTitle(QStringLiteral("KTB File Properties"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QGridLayout;
    iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setPixmap(smallImageList().icon(FilesetImage).pixmap(32, 32));
    descriptionEdit = new QLineEdit(this);
    descriptionEdit->setObjectName(QStringLiteral("descriptionEdit"));
    descriptionEdit->setMinimumWidth(300);
    lockedLabel = new QLabel(this);
    lockedLabel->setObjectName(QStringLiteral("lockedLabel"));
    QPalette warning = lockedLabel->palette();
    warning.setColor(QPalette::WindowText, Qt::red);
    lockedLabel->setPalette(warning);
    top->addWidget(iconLabel, 0, 0, 2, 1, Qt::AlignTop);
    top->addWidget(descriptionEdit, 0, 1);
    top->addWidget(lockedLabel, 1, 1);
    top->setColumnStretch(1, 1);
    layout->addLayout(top);
    layout->addWidget(separatorLine(this));

    // The facts and the totals share one form, so that their values line up.
    auto* facts = new QFormLayout;
    ownerEdit = new QLineEdit(this);
    ownerEdit->setObjectName(QStringLiteral("ownerEdit"));
    createdLabel = valueLabel(this, "createdLabel", QStringLiteral("N/A"));
    modifiedLabel = valueLabel(this, "modifiedLabel", QStringLiteral("N/A"));
    facts->addRow(QStringLiteral("Owner:"), ownerEdit);
    facts->addRow(QStringLiteral("Created: "), createdLabel);
    facts->addRow(QStringLiteral("Latest change : "), modifiedLabel);
    facts->addRow(separatorLine(this));
    filesLabel = valueLabel(this, "filesLabel", QStringLiteral("0"));
    foldersLabel = valueLabel(this, "foldersLabel", QStringLiteral("0"));
    discsLabel = valueLabel(this, "discsLabel", QStringLiteral("0"));
    bytesLabel = valueLabel(this, "bytesLabel", QStringLiteral("0"));
    facts->addRow(QStringLiteral("Total Files"), filesLabel);
    facts->addRow(QStringLiteral("Total Folders"), foldersLabel);
    facts->addRow(QStringLiteral("Total discs"), discsLabel);
    facts->addRow(QStringLiteral("Total Bytes"), bytesLabel);
    layout->addLayout(facts);
    layout->addWidget(separatorLine(this));

    versionLabel = valueLabel(this, "versionLabel", QStringLiteral("Version: N/A"));
    layout->addWidget(versionLabel);
    auto* pathRow = new QHBoxLayout;
    pathEdit = new QLineEdit(this);
    pathEdit->setObjectName(QStringLiteral("pathEdit"));
    pathEdit->setReadOnly(true);
    auto* pathLabel = new QLabel(QStringLiteral("Path:"), this);
    pathLabel->setBuddy(pathEdit);
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(pathEdit, 1);
    layout->addLayout(pathRow);

    addButtonRow(layout, this, okButton, "okButton", QStringLiteral("Ok"), cancelButton, "okButton");
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connectConfirm(this, okButton, [this] { onOkClicked(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { onCancelClicked(); });
}

FilesetPropertiesDialog::~FilesetPropertiesDialog() { stopWorker(); }

std::vector<Fileset*> FilesetPropertiesDialog::filesets() const
{
    std::vector<Fileset*> list;
    for (const ItemRef& item : m_items) {
        if (item.kind == FilesetItem && item.ref != nullptr) {
            list.push_back(static_cast<Fileset*>(item.ref));
        }
    }
    return list;
}

void FilesetPropertiesDialog::fill(const ItemRefs& items)
{
    m_items = items;
    const std::vector<Fileset*> chosen = filesets();
    // A fileset opened read-only is shown; nothing of it can be stored.
    okButton->setEnabled(
        std::none_of(chosen.begin(), chosen.end(), [](const Fileset* fileset) { return fileset->readOnly; }));
    if (chosen.size() == 1) {
        Fileset* fileset = chosen.front();
        if (fileset->readOnly) {
            lockedLabel->setText(QStringLiteral("[READ-ONLY]"));
        } else {
            lockedLabel->setText(fileset->isLocked() ? QStringLiteral("[LOCKED]") : QString());
        }
        createdLabel->setText(dateText(fileset->created()));
        modifiedLabel->setText(dateText(fileset->modified()));
        const std::uint32_t version = fileset->version();
        versionLabel->setText(QStringLiteral("Used KTB Version: %1.%2").arg(version & 0xFFFFu).arg(version >> 16));
        ownerEdit->setText(fileset->owner());
        descriptionEdit->setText(fileset->description());
        pathEdit->setText(fileset->fileName);
        descriptionEdit->setCursorPosition(0);
        pathEdit->setCursorPosition(0);
        return;
    }
    QStringList names;
    for (Fileset* fileset : chosen) {
        names.append(fileset->description());
    }
    showAsUnused(descriptionEdit);
    descriptionEdit->setText(names.join(QStringLiteral(", ")));
    descriptionEdit->setCursorPosition(0);
    ownerEdit->clear();
}

FilesetCountWorker* FilesetPropertiesDialog::createWorker()
{
    stopWorker();
    m_worker = new FilesetCountWorker(filesets());
    connect(
        m_worker, &FilesetCountWorker::totalsChanged, this, &FilesetPropertiesDialog::showTotals, Qt::QueuedConnection);
    return m_worker;
}

int FilesetPropertiesDialog::showFor(const ItemRefs& items)
{
    fill(items);
    createWorker()->start();
    centreOnScreen(this);
    return exec();
}

void FilesetPropertiesDialog::showTotals(quint32 discs, quint64 files, quint32 folders, quint64 bytes)
{
    filesLabel->setText(QString::number(files));
    foldersLabel->setText(QString::number(folders));
    discsLabel->setText(QString::number(discs));
    bytesLabel->setText(formatSize(static_cast<std::int64_t>(bytes)));
}

void FilesetPropertiesDialog::stopWorker()
{
    if (m_worker == nullptr) {
        return;
    }
    m_worker->requestStop();
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
}

void FilesetPropertiesDialog::onOkClicked()
{
    stopWorker();
    const std::vector<Fileset*> chosen = filesets();
    if (chosen.size() == 1) {
        chosen.front()->setDescription(descriptionEdit->text());
    }
    for (Fileset* fileset : chosen) {
        fileset->setOwner(ownerEdit->text());
        refileUnderOwner(fileset);
    }
}

void FilesetPropertiesDialog::onCancelClicked() { reject(); }

void FilesetPropertiesDialog::handleClose() { stopWorker(); }

void FilesetPropertiesDialog::done(int result)
{
    handleClose();
    QDialog::done(result);
}

int showFilesetProperties(const ItemRefs& items)
{
    if (items.empty()) {
        return QDialog::Rejected;
    }
    auto window = std::make_unique<FilesetPropertiesDialog>(QApplication::activeWindow());
    return window->showFor(items);
}
