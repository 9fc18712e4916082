#include "gui/dialogs/filesetpropertiesdialog.h"

#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_io.h"
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
void refileUnderOwner(TKTBFile* fileset)
{
    if (OwnerList == nullptr) {
        return;
    }
    const QString owner = fileset->GetOwner();
    const int current = OwnerList->IndexOfFileset(fileset);
    if (current >= 0 && current == OwnerList->IndexOfName(owner)) {
        return;
    }
    OwnerList->RemoveFileset(fileset);
    OwnerList->AddFileset(owner, fileset);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The counting worker

TinfoThread::TinfoThread(TformKTBprop* window, const std::vector<TKTBFile*>& filesets)
    : Window(window)
{
    m_paths.reserve(filesets.size());
    for (const TKTBFile* fileset : filesets) {
        m_paths.push_back(QFile::encodeName(fileset->FileName).toStdString());
    }
    connect(this, &TinfoThread::totalsChanged, window, &TformKTBprop::ShowTotals, Qt::QueuedConnection);
}

TinfoThread::~TinfoThread()
{
    Terminate();
    wait();
}

void TinfoThread::run()
{
    try {
        for (const std::string& path : m_paths) {
            if (Terminated()) {
                return;
            }
            walk(path);
        }
        emit totalsChanged(m_discs, m_files, m_folders, m_bytes);
    } catch (...) {
        // Counting is only shown, never needed: a failure leaves the totals as far as they came.
    }
}

void TinfoThread::walk(const std::string& path)
{
    TKTBHandle* handle = nullptr;
    if (ktbOpen(handle, path.c_str(), KTB_OPEN_READONLY) != KTB_OK) {
        return;
    }
    const auto countRecord = [this] {
        ++m_records;
        if (m_records % RecordsPerReport == 0) {
            emit walkProgress(m_records);
        }
    };
    TKTBCursor* cursor = ktbFindFirstAll(handle, KTB_FIND_ENDMARKS);
    if (cursor != nullptr) {
        countRecord();
        while (!Terminated() && ktbFindNext(cursor) == KTB_OK) {
            countRecord();
        }
        m_discs += cursor->Discs;
        m_files += cursor->Files;
        m_folders += cursor->Folders;
        m_bytes += cursor->Bytes;
        emit totalsChanged(m_discs, m_files, m_folders, m_bytes);
        ktbFindClose(cursor);
    }
    ktbClose(handle);
}

// ---------------------------------------------------------------------------------------------
// The window

TformKTBprop::TformKTBprop(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("formKTBprop"));
    setWindowTitle(QStringLiteral("KTB File Properties"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QGridLayout;
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(SmallImages().Icon(imgFileset).pixmap(32, 32));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMinimumWidth(300);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QPalette warning = Label2->palette();
    warning.setColor(QPalette::WindowText, Qt::red);
    Label2->setPalette(warning);
    top->addWidget(Image1, 0, 0, 2, 1, Qt::AlignTop);
    top->addWidget(Edit2, 0, 1);
    top->addWidget(Label2, 1, 1);
    top->setColumnStretch(1, 1);
    layout->addLayout(top);
    layout->addWidget(separatorLine(this));

    // The facts and the totals share one form, so that their values line up.
    auto* facts = new QFormLayout;
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    lab_created = valueLabel(this, "lab_created", QStringLiteral("N/A"));
    lab_last = valueLabel(this, "lab_last", QStringLiteral("N/A"));
    facts->addRow(QStringLiteral("Owner:"), Edit1);
    facts->addRow(QStringLiteral("Created: "), lab_created);
    facts->addRow(QStringLiteral("Latest change : "), lab_last);
    facts->addRow(separatorLine(this));
    Lab_files = valueLabel(this, "Lab_files", QStringLiteral("0"));
    lab_folders = valueLabel(this, "lab_folders", QStringLiteral("0"));
    Lab_discs = valueLabel(this, "Lab_discs", QStringLiteral("0"));
    lab_bytes = valueLabel(this, "lab_bytes", QStringLiteral("0"));
    facts->addRow(QStringLiteral("Total Files"), Lab_files);
    facts->addRow(QStringLiteral("Total Folders"), lab_folders);
    facts->addRow(QStringLiteral("Total discs"), Lab_discs);
    facts->addRow(QStringLiteral("Total Bytes"), lab_bytes);
    layout->addLayout(facts);
    layout->addWidget(separatorLine(this));

    Label4 = valueLabel(this, "Label4", QStringLiteral("Version: N/A"));
    layout->addWidget(Label4);
    auto* pathRow = new QHBoxLayout;
    Edit3 = new QLineEdit(this);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setReadOnly(true);
    auto* pathLabel = new QLabel(QStringLiteral("Path:"), this);
    pathLabel->setBuddy(Edit3);
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(Edit3, 1);
    layout->addLayout(pathRow);

    addButtonRow(layout, this, Button2, "Button2", QStringLiteral("Ok"), Button1, "Button1");
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connectConfirm(this, Button2, [this] { Button2Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

TformKTBprop::~TformKTBprop() { stopWorker(); }

std::vector<TKTBFile*> TformKTBprop::filesets() const
{
    std::vector<TKTBFile*> list;
    for (const TItemData& item : m_items) {
        if (item.Kind == ikFileset && item.Ref != nullptr) {
            list.push_back(static_cast<TKTBFile*>(item.Ref));
        }
    }
    return list;
}

void TformKTBprop::Fill(const TItemDataArray& items)
{
    m_items = items;
    const std::vector<TKTBFile*> chosen = filesets();
    if (chosen.size() == 1) {
        TKTBFile* fileset = chosen.front();
        Label2->setText(fileset->IsLocked() ? QStringLiteral("[LOCKED]") : QString());
        lab_created->setText(dateText(fileset->GetCreated()));
        lab_last->setText(dateText(fileset->GetModified()));
        const std::uint32_t version = fileset->GetVersion();
        Label4->setText(QStringLiteral("Used KTB Version: %1.%2").arg(version & 0xFFFFu).arg(version >> 16));
        Edit1->setText(fileset->GetOwner());
        Edit2->setText(fileset->GetDescription());
        Edit3->setText(fileset->FileName);
        Edit2->setCursorPosition(0);
        Edit3->setCursorPosition(0);
        return;
    }
    QStringList names;
    for (TKTBFile* fileset : chosen) {
        names.append(fileset->GetDescription());
    }
    showAsUnused(Edit2);
    Edit2->setText(names.join(QStringLiteral(", ")));
    Edit2->setCursorPosition(0);
    Edit1->clear();
}

TinfoThread* TformKTBprop::CreateWorker()
{
    stopWorker();
    m_worker = new TinfoThread(this, filesets());
    return m_worker;
}

int TformKTBprop::ShowFor(const TItemDataArray& items)
{
    Fill(items);
    CreateWorker()->start();
    centreOnScreen(this);
    return exec();
}

void TformKTBprop::ShowTotals(quint32 discs, quint64 files, quint32 folders, quint64 bytes)
{
    Lab_files->setText(QString::number(files));
    lab_folders->setText(QString::number(folders));
    Lab_discs->setText(QString::number(discs));
    lab_bytes->setText(FormatSize(static_cast<std::int64_t>(bytes)));
}

void TformKTBprop::stopWorker()
{
    if (m_worker == nullptr) {
        return;
    }
    m_worker->Terminate();
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
}

void TformKTBprop::Button2Click()
{
    stopWorker();
    const std::vector<TKTBFile*> chosen = filesets();
    if (chosen.size() == 1) {
        chosen.front()->SetDescription(Edit2->text());
    }
    for (TKTBFile* fileset : chosen) {
        fileset->SetOwner(Edit1->text());
        refileUnderOwner(fileset);
    }
}

void TformKTBprop::Button1Click() { reject(); }

void TformKTBprop::FormClose() { stopWorker(); }

void TformKTBprop::done(int result)
{
    FormClose();
    QDialog::done(result);
}

int ShowFilesetProperties(const TItemDataArray& items)
{
    if (items.empty()) {
        return QDialog::Rejected;
    }
    auto window = std::make_unique<TformKTBprop>(QApplication::activeWindow());
    return window->ShowFor(items);
}
