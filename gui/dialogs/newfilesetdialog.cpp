#include "gui/dialogs/newfilesetdialog.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "gui/common/appicons.h"

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

TFormNewFileset::TFormNewFileset(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormNewFileset"));
    setWindowTitle(QStringLiteral("Katalox New Fileset"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setStyleSheet(
        QStringLiteral("#Panel1 { background: white; border: none; border-bottom: 1px solid palette(mid); }"
                       " #Panel1 QLabel { color: black; }"));
    Label1 = captionLabel("Label1", QStringLiteral("Create a New Fileset"), Panel1);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    auto* band = new QHBoxLayout(Panel1);
    band->setContentsMargins(16, 14, 16, 14);
    band->addWidget(Label1);

    Label4 = captionLabel("Label4", QStringLiteral("Type the owner of this fileset, or select from the list:"), this);
    ownerlist = new QComboBox(this);
    ownerlist->setObjectName(QStringLiteral("ownerlist"));
    ownerlist->setEditable(true);
    ownerlist->setInsertPolicy(QComboBox::NoInsert);
    Label2 = captionLabel("Label2", QStringLiteral("Enter the description of this fileset:"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Label5 = captionLabel(
        "Label5", QStringLiteral("Enter Protection Key. (prevents accidental editing of fileset)"), this);
    MaskEdit1 = new QLineEdit(this);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setEchoMode(QLineEdit::Password);
    MaskEdit1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Label5->setVisible(false);
    MaskEdit1->setVisible(false);
    MaskEdit1->installEventFilter(this);
    Label3
        = captionLabel("Label3", QStringLiteral("The Fileset is stored as this file. Click button to change:"), this);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMinimumWidth(360);
    Button1 = new QPushButton(QStringLiteral("..."), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    Button1->setFixedWidth(Button1->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Button3 = new QPushButton(QStringLiteral("Ok"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(Edit2, 1);
    fileRow->addWidget(Button1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button3);
    buttons->addWidget(Button2);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 12, 16, 12);
    body->setSpacing(4);
    body->addWidget(Label4);
    body->addWidget(ownerlist);
    body->addSpacing(8);
    body->addWidget(Label2);
    body->addWidget(Edit1);
    body->addWidget(Label5);
    body->addWidget(MaskEdit1);
    body->addSpacing(8);
    body->addWidget(Label3);
    body->addLayout(fileRow);
    body->addSpacing(10);
    body->addWidget(Bevel1);
    body->addSpacing(6);
    body->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, ownerlist);
    setTabOrder(ownerlist, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, MaskEdit1);

    connect(ownerlist, &QComboBox::currentTextChanged, this, &TFormNewFileset::ownerlistChange);
    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button3Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormNewFileset::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
        Edit1->setFocus();
    }
}

bool TFormNewFileset::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the key field for another control of this window; not the window losing the focus to the
    // box that asks for the key again.
    if (watched == MaskEdit1 && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            MaskEdit1Exit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormNewFileset::FormShow() { InitOwnerList(); }

void TFormNewFileset::InitOwnerList()
{
    const auto indexOf = [this](const QString& name) {
        for (int i = 0; i < ownerlist->count(); ++i) {
            if (sameTextAscii(ownerlist->itemText(i), name)) {
                return i;
            }
        }
        return -1;
    };
    {
        const QSignalBlocker quiet(ownerlist);
        ownerlist->clear();
        for (int i = 0; OwnerList != nullptr && i < OwnerList->Count(); ++i) {
            ownerlist->addItem(OwnerList->Items(i)->Name);
        }
        QString login;
        const bool haveLogin = GetLoginName(login);
        if (haveLogin && indexOf(login) < 0) {
            ownerlist->addItem(login);
        }
        QString owner = settings().GetStr(skDefaultOwner);
        if (owner.isEmpty()) {
            owner = haveLogin ? login : QString();
            settings().SetStr(skDefaultOwner, owner);
        }
        int index = indexOf(owner);
        if (index < 0) {
            ownerlist->addItem(owner);
            index = ownerlist->count() - 1;
        }
        ownerlist->setCurrentIndex(index);
    }
    ownerlistChange();
}

void TFormNewFileset::ownerlistChange()
{
    m_proposal = TKTBFiles::DefaultFileName(ownerlist->currentText(), settings().GetStr(skFilesetFolder));
    Edit2->setText(m_proposal);
}

void TFormNewFileset::Button1Click()
{
    const QString text = Edit2->text();
    const QString folder = text.left(text.lastIndexOf(QLatin1Char('/')) + 1);
    const QString chosen = questions().saveFileName(QString(), folder, QStringLiteral("Katalox Data Set (*.ktb)"));
    if (!chosen.isEmpty()) {
        Edit2->setText(QFileInfo(chosen).absoluteFilePath());
    }
}

void TFormNewFileset::MaskEdit1Exit()
{
    QString again;
    if (!questions().inputBox(QStringLiteral("Verify.."), QStringLiteral("enter the key again:"), again, true)) {
        again.clear();
    }
    if (again != MaskEdit1->text()) {
        MaskEdit1->clear();
        questions().messageBox(
            QStringLiteral("The key was mistyped!"), QStringLiteral("Katalox"), TMsgIcon::None, mbOK);
    }
}

int TFormNewFileset::createAt(const QString& path, const QString& owner)
{
    {
        // Made and closed before the registry adds it, which opens it on its own.
        TKTBFile file(path, true);
        file.SetOwner(owner);
    }
    return FilesetList->AddFile(path);
}

void TFormNewFileset::rememberLocation(const QString& path, const QString& storageFolder)
{
    const QFileInfo file(path);
    const QString canonical = file.canonicalFilePath();
    const QString folder = QFileInfo(canonical).absolutePath();
    const bool foundByFolders = hasCatalogExtension(canonical);
    const QString storage = QFileInfo(storageFolder).canonicalFilePath();
    if (foundByFolders && !storage.isEmpty() && storage == folder) {
        return;
    }
    for (const QString& location : FilesetList->Locations) {
        const QFileInfo named(location);
        if (named.isFile() && named.canonicalFilePath() == canonical) {
            return;
        }
        if (named.isDir() && foundByFolders && named.canonicalFilePath() == folder) {
            return;
        }
    }
    FilesetList->Locations.append(file.absoluteFilePath());
    // Written now as well as at exit, so the fileset is found again whatever ends the program.
    FilesetList->SaveLocations();
}

void TFormNewFileset::Button3Click()
{
    // A focused key field runs its check first.
    Button3->setFocus();
    const QString owner = ownerlist->currentText();
    settings().SetStr(skDefaultOwner, owner);
    bool created = false;
    try {
        const QString folder = settings().GetStr(skFilesetFolder);
        const QString folderPart = folder.left(folder.lastIndexOf(QLatin1Char('/')) + 1);
        if (!folderPart.isEmpty() && !QDir().mkpath(folderPart)) {
            throw std::runtime_error("the storage folder cannot be made");
        }
        // The file the user named is the file made; the proposal goes through the registry's own rule.
        const QString target = Edit2->text();
        const bool ownChoice = target != m_proposal;
        const int index = ownChoice ? createAt(QFileInfo(target).absoluteFilePath(), owner)
                                    : FilesetList->CreateFileset(owner, folder);
        if (index < 0) {
            throw std::runtime_error("the fileset cannot be made");
        }
        TKTBFile* fileset = FilesetList->Items(index);
        fileset->SetDescription(Edit1->text());
        fileset->SetProtectionKey(MaskEdit1->text());
        created = true;
        if (ownChoice) {
            rememberLocation(fileset->FileName, folder);
        }
        FilesetList->AddLocations();
        OwnerList->Rebuild();
    } catch (...) {
        if (created) {
            // The fileset exists: the owners index must show it even when a location failed.
            OwnerList->Rebuild();
        }
        questions().messageBox(
            QStringLiteral("Error Creating file: ") + s_quote + Edit2->text() + s_quote + QStringLiteral(" !"),
            QStringLiteral("Error"), TMsgIcon::Error, mbOK);
    }
    if (created) {
        accept();
    }
}
