#include "gui/scan/scandialog.h"

#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_discs.h"
#include "gui/common/appicons.h"
#include "gui/common/filesetchooser.h"
#include "gui/scan/mediaevents.h"
#include "gui/scan/scanprocedure.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstring>

namespace {

/// The marker of the disc controls, enabled and disabled together.
const char* const s_tag = "Tag";
constexpr int s_discControlTag = 1;

const QColor s_storedColour(255, 0, 0);
const QColor s_notScannedColour(0, 128, 0);

const QString s_notAvailable = QStringLiteral("N/A");

QString letterText(char letter) { return QStringLiteral("(") + QChar::fromLatin1(letter) + QStringLiteral(":)"); }

QString textOf(const char* field, std::size_t size)
{
    return decodeCatalogText(std::string_view(field, strnlen(field, size)));
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* valueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(s_notAvailable, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    // Wide enough for a scan time in any of the user's date formats.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("30 September 2000 00:00:00 ")));
    return label;
}

} // namespace

TformScan::TformScan(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("formScan"));
    setWindowTitle(QStringLiteral("Katalox Scan"));

    DriveList = new QComboBox(this);
    DriveList->setObjectName(QStringLiteral("DriveList"));
    DriveList->setMinimumWidth(260);
    filelist = new TImageComboBox(this);
    filelist->setObjectName(QStringLiteral("filelist"));
    edit_title = new QLineEdit(this);
    edit_title->setObjectName(QStringLiteral("edit_title"));
    edit_title->setProperty(s_tag, s_discControlTag);

    label_lastscan = valueLabel("label_lastscan", this);
    label_UsedSpace = valueLabel("label_UsedSpace", this);
    label_files = valueLabel("label_files", this);
    Label_folders = valueLabel("Label_folders", this);

    auto* comments = new QGroupBox(QStringLiteral("Comments:"), this);
    Memo = new QPlainTextEdit(comments);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setProperty(s_tag, s_discControlTag);
    Memo->setTabChangesFocus(true);
    Memo->setFixedHeight(72);
    auto* commentsLayout = new QVBoxLayout(comments);
    commentsLayout->addWidget(Memo);

    CheckBox1 = new QCheckBox(QStringLiteral("Eject When Scanned"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    btn_Scan = new QPushButton(QStringLiteral("Scan and Add"), this);
    btn_Scan->setObjectName(QStringLiteral("btn_Scan"));
    btn_Scan->setProperty(s_tag, s_discControlTag);
    btn_Scan->setDefault(true);
    btn_close = new QPushButton(QStringLiteral("Close"), this);
    btn_close->setObjectName(QStringLiteral("btn_close"));
    btn_close->setAutoDefault(false);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    auto* choices = new QGridLayout;
    choices->addWidget(caption(QStringLiteral("Drive"), this), 0, 0);
    choices->addWidget(DriveList, 0, 1);
    choices->addWidget(caption(QStringLiteral("Fileset :"), this), 1, 0);
    choices->addWidget(filelist, 1, 1);
    choices->addWidget(caption(QStringLiteral("New Disc Name"), this), 2, 0);
    choices->addWidget(edit_title, 2, 1);
    choices->setColumnStretch(1, 1);

    auto* facts = new QGridLayout;
    facts->addWidget(caption(QStringLiteral("Scanned : "), this), 0, 0);
    facts->addWidget(label_lastscan, 0, 1);
    facts->addWidget(caption(QStringLiteral("Used :"), this), 0, 2);
    facts->addWidget(label_UsedSpace, 0, 3);
    facts->addWidget(caption(QStringLiteral("Files :"), this), 1, 0);
    facts->addWidget(label_files, 1, 1);
    facts->addWidget(caption(QStringLiteral("Folders : "), this), 1, 2);
    facts->addWidget(Label_folders, 1, 3);
    facts->setColumnStretch(1, 1);
    facts->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CheckBox1);
    buttons->addStretch(1);
    buttons->addWidget(btn_Scan);
    buttons->addWidget(btn_close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 12, 12, 8);
    body->setSpacing(8);
    body->addLayout(choices);
    body->addLayout(facts);
    body->addWidget(comments);
    body->addLayout(buttons);
    layout->addLayout(body);
    layout->addWidget(StatusBar1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    CDEvents1 = new TCDEvents(this);
    CDEvents1->setObjectName(QStringLiteral("CDEvents1"));
    CDEvents1->AfterArrival = [this](TCDEvents*, char letter) { CDEvents1AfterArrival(letter); };
    CDEvents1->AfterRemove = [this](TCDEvents*, char letter) { CDEvents1AfterRemove(letter); };
    connect(CDEvents1, &TCDEvents::drivesChanged, this, [this] { RunGuarded([this] { FillDriveList(); }); });

    connect(btn_Scan, &QPushButton::clicked, this, [this] { RunGuarded([this] { btn_ScanClick(); }); });
    connect(btn_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(DriveList, &QComboBox::activated, this, [this] { RunGuarded([this] { DriveListChange(); }); });
    connect(filelist, &QComboBox::activated, this, [this] { RunGuarded([this] { filelistChange(); }); });

    ShowNoDisc();
}

TformScan::~TformScan() = default;

void TformScan::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        RunGuarded([this] { FormShow(); });
    }
}

void TformScan::FormShow()
{
    FillDriveList();
    FillFilesets();
}

char TformScan::SelectedLetter() const
{
    const int index = DriveList->currentIndex();
    return index >= 0 && index < m_drives.size() ? m_drives.at(index).Letter : 0;
}

void TformScan::setDriveText(qsizetype index, const QString& text)
{
    m_drives[index].Text = text;
    DriveList->setItemText(static_cast<int>(index), text);
}

void TformScan::EnableDiscControls(bool on)
{
    for (QWidget* control : findChildren<QWidget*>()) {
        if (control->property(s_tag).toInt() == s_discControlTag) {
            control->setEnabled(on);
        }
    }
}

void TformScan::FillDriveList()
{
    const char selected = SelectedLetter();
    GetCDDrives(&m_drives);
    for (TDriveEntry& entry : m_drives) {
        TKTBDisc facts {};
        entry.Text = ktbDiscFromDrive(entry.Letter, facts)
            ? textOf(facts.Title, sizeof facts.Title) + QStringLiteral(" ") + letterText(entry.Letter)
            : letterText(entry.Letter);
    }
    {
        const QSignalBlocker quiet(DriveList);
        DriveList->clear();
        for (const TDriveEntry& entry : m_drives) {
            DriveList->addItem(entry.Text, QChar::fromLatin1(entry.Letter));
        }
        const qsizetype keep = selected != 0 ? IndexOfDrive(m_drives, selected) : -1;
        DriveList->setCurrentIndex(m_drives.isEmpty() ? -1 : static_cast<int>(std::max<qsizetype>(keep, 0)));
    }
    DriveListChange();
}

void TformScan::FillFilesets()
{
    FillFilesetChooser(filelist, false);
    const QString stored = settings().GetStr(skDefaultFileSet);
    {
        const QSignalBlocker quiet(filelist);
        for (int i = 0; i < filelist->count(); ++i) {
            if (sameTextAscii(filelist->itemText(i), stored)) {
                filelist->setCurrentIndex(i);
                break;
            }
        }
    }
    filelistChange();
}

void TformScan::filelistChange()
{
    m_fileset = nullptr;
    bool isGroup = false;
    const int index = GetChosenItem(filelist, isGroup);
    if (index < 0 || isGroup || FilesetList == nullptr || index >= FilesetList->Count()) {
        return;
    }
    m_fileset = FilesetList->Items(index);
    StatusBar1->showMessage(m_fileset->FileName);
    ShowDisc(SelectedLetter());
    settings().SetStr(skDefaultFileSet, filelist->currentText());
}

void TformScan::DriveListChange()
{
    const char letter = SelectedLetter();
    ShowDisc(letter != 0 && filelist->count() > 0 ? letter : 0);
}

void TformScan::ShowDisc(char letter)
{
    m_disc = TKTBDisc {};
    if (letter == 0 || !ktbDiscFromDrive(letter, m_disc)) {
        ShowNoDisc();
        return;
    }
    if (m_fileset == nullptr) {
        return;
    }
    TKTBEntity* stored = nullptr;
    if (ktbFindDiscBySerial(m_fileset->Handle(), m_disc.Serial, stored)) {
        m_disc = *stored->disc();
        ktbFreeEntity(stored);
        label_files->setText(QString::number(m_disc.Files));
        Label_folders->setText(QString::number(m_disc.Folders));
        label_lastscan->setText(formatDateTime(dosToDateTime(m_disc.ScanTime)));
        setScanTimeColour(s_storedColour);
        Memo->setPlainText(textOf(m_disc.Comment, sizeof m_disc.Comment));
    } else {
        label_files->setText(s_notAvailable);
        Label_folders->setText(s_notAvailable);
        label_lastscan->setText(QStringLiteral("Not scanned"));
        setScanTimeColour(s_notScannedColour);
        Memo->clear();
    }
    edit_title->setText(textOf(m_disc.Title, sizeof m_disc.Title));
    label_UsedSpace->setText(FormatSize(m_disc.Used));
    EnableDiscControls(true);
}

void TformScan::ShowNoDisc()
{
    EnableDiscControls(false);
    edit_title->setText(QStringLiteral("No Disc in Drive!"));
    Memo->clear();
    label_files->setText(s_notAvailable);
    Label_folders->setText(s_notAvailable);
    label_lastscan->setText(s_notAvailable);
    label_UsedSpace->setText(s_notAvailable);
    setScanTimeColour(QApplication::palette(label_lastscan).color(QPalette::WindowText));
}

void TformScan::setScanTimeColour(const QColor& colour)
{
    QPalette palette = label_lastscan->palette();
    palette.setColor(QPalette::WindowText, colour);
    label_lastscan->setPalette(palette);
}

void TformScan::btn_ScanClick()
{
    const char letter = SelectedLetter();
    if (letter == 0 || m_fileset == nullptr) {
        return;
    }
    // What the user typed is what the disc gets: the title and the comment, each cut to its field.
    const std::string title = encodeCatalogText(edit_title->text(), KTB_TITLE_MAX);
    std::memset(m_disc.Title, 0, sizeof m_disc.Title);
    std::memcpy(m_disc.Title, title.data(), title.size());
    const std::string comment = encodeCatalogText(Memo->toPlainText(), KTB_COMMENT_MAX);
    std::memset(m_disc.Comment, 0, sizeof m_disc.Comment);
    std::memcpy(m_disc.Comment, comment.data(), comment.size());

    ScanDisc(letter, m_fileset->Handle(), m_disc, false, false);
    m_fileset->Close();
    if (CheckBox1->isChecked()) {
        SetCDDoor(letter, true);
        return;
    }
    ShowDisc(letter);
}

void TformScan::CDEvents1AfterRemove(char letter)
{
    const qsizetype index = IndexOfDrive(m_drives, letter);
    if (index < 0) {
        return;
    }
    setDriveText(index, letterText(letter));
    {
        const QSignalBlocker quiet(DriveList);
        DriveList->setCurrentIndex(static_cast<int>(index));
    }
    ShowDisc(letter);
}

void TformScan::CDEvents1AfterArrival(char letter)
{
    const qsizetype index = IndexOfDrive(m_drives, letter);
    if (index < 0) {
        return;
    }
    TKTBDisc facts {};
    if (ktbDiscFromDrive(letter, facts)) {
        setDriveText(index, textOf(facts.Title, sizeof facts.Title) + letterText(letter));
        const QSignalBlocker quiet(DriveList);
        DriveList->setCurrentIndex(static_cast<int>(index));
    }
    ShowDisc(letter);
}
