#include "gui/dialogs/newfilesetdialog.h"

#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "core/text/catalogtext.h"
#include "gui/common/errordisplay.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <stdexcept>

namespace {

const QChar s_quote = QLatin1Char('"');

/// Whether the registry's folder scan would find a file of this name ("*.ktb" in any letter case).
bool hasCatalogExtension(const QString& path) { return path.endsWith(QStringLiteral(".ktb"), Qt::CaseInsensitive); }

QLabel* captionLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

NewFilesetDialog::NewFilesetDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("newFilesetDialog"));
    setWindowTitle(QStringLiteral("Katalox New Fileset"));

    headingBand = new QFrame(this);
    headingBand->setObjectName(QStringLiteral("headingBand"));
    headingBand->setStyleSheet(
        QStringLiteral("#headingBand { background: white; border: none; border-bottom: 1px solid palette(mid); }"
                       " #headingBand QLabel { color: black; }"));
    headingLabel = captionLabel("headingLabel", QStringLiteral("Create a New Fileset"), headingBand);
    QFont bold = headingLabel->font();
    bold.setBold(true);
    headingLabel->setFont(bold);
    auto* band = new QHBoxLayout(headingBand);
    band->setContentsMargins(16, 14, 16, 14);
    band->addWidget(headingLabel);

    ownerLabel
        = captionLabel("ownerLabel", QStringLiteral("Type the owner of this fileset, or select from the list:"), this);
    ownerCombo = new QComboBox(this);
    ownerCombo->setObjectName(QStringLiteral("ownerCombo"));
    ownerCombo->setEditable(true);
    ownerCombo->setInsertPolicy(QComboBox::NoInsert);
    descriptionLabel = captionLabel("descriptionLabel", QStringLiteral("Enter the description of this fileset:"), this);
    descriptionEdit = new QLineEdit(this);
    descriptionEdit->setObjectName(QStringLiteral("descriptionEdit"));
    keyLabel = captionLabel(
        "keyLabel", QStringLiteral("Enter Protection Key. (prevents accidental editing of fileset)"), this);
    keyEdit = new QLineEdit(this);
    keyEdit->setObjectName(QStringLiteral("keyEdit"));
    keyEdit->setEchoMode(QLineEdit::Password);
    keyEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    keyLabel->setVisible(false);
    keyEdit->setVisible(false);
    keyEdit->installEventFilter(this);
    fileLabel = captionLabel(
        "fileLabel", QStringLiteral("The Fileset is stored as this file. Click button to change:"), this);
    fileEdit = new QLineEdit(this);
    fileEdit->setObjectName(QStringLiteral("fileEdit"));
    fileEdit->setMinimumWidth(360);
    browseButton = new QPushButton(QStringLiteral("..."), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    browseButton->setFixedWidth(browseButton->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("separator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    okButton = new QPushButton(QStringLiteral("Ok"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileEdit, 1);
    fileRow->addWidget(browseButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 12, 16, 12);
    body->setSpacing(4);
    body->addWidget(ownerLabel);
    body->addWidget(ownerCombo);
    body->addSpacing(8);
    body->addWidget(descriptionLabel);
    body->addWidget(descriptionEdit);
    body->addWidget(keyLabel);
    body->addWidget(keyEdit);
    body->addSpacing(8);
    body->addWidget(fileLabel);
    body->addLayout(fileRow);
    body->addSpacing(10);
    body->addWidget(separator);
    body->addSpacing(6);
    body->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(headingBand);
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(descriptionEdit, fileEdit);
    setTabOrder(fileEdit, browseButton);
    setTabOrder(browseButton, ownerCombo);
    setTabOrder(ownerCombo, cancelButton);
    setTabOrder(cancelButton, okButton);
    setTabOrder(okButton, keyEdit);

    connect(ownerCombo, &QComboBox::currentTextChanged, this, &NewFilesetDialog::onOwnerChanged);
    connectGuarded(browseButton, &QPushButton::clicked, this, [this] { onBrowseClicked(); });
    connectGuarded(okButton, &QPushButton::clicked, this, [this] { onOkClicked(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void NewFilesetDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        handleFirstShow();
        descriptionEdit->setFocus();
    }
}

bool NewFilesetDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the key field for another control of this window; not the window losing the focus to the
    // box that asks for the key again.
    if (watched == keyEdit && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            onKeyEditLeft();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NewFilesetDialog::handleFirstShow() { fillOwners(); }

void NewFilesetDialog::fillOwners()
{
    const auto indexOf = [this](const QString& name) {
        for (int i = 0; i < ownerCombo->count(); ++i) {
            if (sameTextAscii(ownerCombo->itemText(i), name)) {
                return i;
            }
        }
        return -1;
    };
    {
        const QSignalBlocker quiet(ownerCombo);
        ownerCombo->clear();
        for (int i = 0; g_ownerIndex != nullptr && i < g_ownerIndex->count(); ++i) {
            ownerCombo->addItem(g_ownerIndex->at(i)->name);
        }
        QString login;
        const bool haveLogin = loginName(login);
        if (haveLogin && indexOf(login) < 0) {
            ownerCombo->addItem(login);
        }
        QString owner = settings().stringValue(DefaultOwnerSetting);
        if (owner.isEmpty()) {
            owner = haveLogin ? login : QString();
            settings().setStringValue(DefaultOwnerSetting, owner);
        }
        int index = indexOf(owner);
        if (index < 0) {
            ownerCombo->addItem(owner);
            index = ownerCombo->count() - 1;
        }
        ownerCombo->setCurrentIndex(index);
    }
    onOwnerChanged();
}

void NewFilesetDialog::onOwnerChanged()
{
    m_proposal
        = FilesetRegistry::defaultFileName(ownerCombo->currentText(), settings().stringValue(FilesetFolderSetting));
    fileEdit->setText(m_proposal);
}

void NewFilesetDialog::onBrowseClicked()
{
    const QString text = fileEdit->text();
    const QString folder = text.left(text.lastIndexOf(QLatin1Char('/')) + 1);
    const QString chosen = questions().saveFileName(QString(), folder, QStringLiteral("Katalox Data Set (*.ktb)"));
    if (!chosen.isEmpty()) {
        fileEdit->setText(QFileInfo(chosen).absoluteFilePath());
    }
}

void NewFilesetDialog::onKeyEditLeft()
{
    QString again;
    if (!questions().inputBox(QStringLiteral("Verify.."), QStringLiteral("enter the key again:"), again, true)) {
        again.clear();
    }
    if (again != keyEdit->text()) {
        keyEdit->clear();
        questions().messageBox(
            QStringLiteral("The key was mistyped!"), QStringLiteral("Katalox"), MessageIcon::None, OkButton);
    }
}

int NewFilesetDialog::createAt(const QString& path, const QString& owner)
{
    {
        // Made and closed before the registry adds it, which opens it on its own.
        Fileset file(path, true);
        file.setOwner(owner);
    }
    return g_filesetRegistry->addFile(path);
}

void NewFilesetDialog::rememberLocation(const QString& path, const QString& storageFolder)
{
    const QFileInfo file(path);
    const QString canonical = file.canonicalFilePath();
    const QString folder = QFileInfo(canonical).absolutePath();
    const bool foundByFolders = hasCatalogExtension(canonical);
    const QString storage = QFileInfo(storageFolder).canonicalFilePath();
    if (foundByFolders && !storage.isEmpty() && storage == folder) {
        return;
    }
    for (const QString& location : g_filesetRegistry->locations) {
        const QFileInfo named(location);
        if (named.isFile() && named.canonicalFilePath() == canonical) {
            return;
        }
        if (named.isDir() && foundByFolders && named.canonicalFilePath() == folder) {
            return;
        }
    }
    g_filesetRegistry->locations.append(file.absoluteFilePath());
    // Written now as well as at exit, so the fileset is found again whatever ends the program.
    g_filesetRegistry->saveLocations();
}

void NewFilesetDialog::onOkClicked()
{
    // A focused key field runs its check first.
    okButton->setFocus();
    const QString owner = ownerCombo->currentText();
    settings().setStringValue(DefaultOwnerSetting, owner);
    bool created = false;
    QString reason;
    try {
        const QString folder = settings().stringValue(FilesetFolderSetting);
        const QString folderPart = folder.left(folder.lastIndexOf(QLatin1Char('/')) + 1);
        if (!folderPart.isEmpty() && !QDir().mkpath(folderPart)) {
            throw FileError(FilesetRegistry::creationFailureReason(folderPart + QStringLiteral("Fileset.ktb")));
        }
        // The file the user named is the file made; the proposal goes through the registry's own rule.
        const QString target = fileEdit->text();
        const bool ownChoice = target != m_proposal;
        const QString path = ownChoice ? QFileInfo(target).absoluteFilePath() : m_proposal;
        const int index = ownChoice ? createAt(path, owner) : g_filesetRegistry->createFileset(owner, folder);
        if (index < 0) {
            throw FileError(FilesetRegistry::creationFailureReason(path));
        }
        Fileset* fileset = g_filesetRegistry->at(index);
        fileset->setDescription(descriptionEdit->text());
        fileset->setProtectionKey(keyEdit->text());
        created = true;
        if (ownChoice) {
            rememberLocation(fileset->fileName, folder);
        }
        emit registryReloading();
        g_filesetRegistry->addLocations();
        g_ownerIndex->rebuild();
    } catch (const CatalogError& failure) {
        reason = failure.message();
    } catch (const FileError& failure) {
        reason = failure.message();
    } catch (const std::exception& failure) {
        reason = QString::fromUtf8(failure.what());
    }
    if (!reason.isEmpty()) {
        if (created) {
            // The fileset exists: the owners index must show it. The list let go of the old owners
            // before the index was rebuilt, so nothing looks at them while the box is open.
            emit registryReloading();
            try {
                g_ownerIndex->rebuild();
            } catch (...) {
                // The tree is refilled over what the index holds; the box below says what failed.
            }
        }
        questions().messageBox(QStringLiteral("Error Creating file: ") + s_quote + fileEdit->text() + s_quote
                + QStringLiteral(" !") + QStringLiteral("\r\n") + reason,
            QStringLiteral("Error"), MessageIcon::Error, OkButton);
    }
    if (created) {
        accept();
    }
}
