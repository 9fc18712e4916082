#include "gui/dialogs/discpropertiesdialog.h"

#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "gui/common/appicons.h"
#include "gui/common/dialogparts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>
#include <memory>

namespace {

// Catalogs keep a comment's line breaks as CR LF; the box shows plain line feeds.
QString commentForDisplay(const char* stored)
{
    return decodeCatalogText(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void copyText(char* field, std::size_t fieldSize, const std::string& bytes)
{
    std::memset(field, 0, fieldSize);
    std::memcpy(field, bytes.data(), std::min(bytes.size(), fieldSize - 1));
}

// The disc record at an item's offset. A fileset whose record cannot be read is closed before the error
// is raised.
TKTBDisc readDisc(const TItemData& item)
{
    auto* fileset = static_cast<TKTBFile*>(item.Ref);
    TKTBEntity* entity = nullptr;
    const TKTBERROR code = ktbReadEntity(fileset->Handle(), item.Offset, entity);
    const TKTBDisc* record = entity != nullptr ? entity->disc() : nullptr;
    if (code != KTB_OK || record == nullptr) {
        ktbFreeEntity(entity);
        fileset->Close();
        throw EKTBException(code != KTB_OK ? code : KTB_ERR_BADENTITY, fileset->FileName);
    }
    const TKTBDisc disc = *record;
    ktbFreeEntity(entity);
    return disc;
}

} // namespace

std::int64_t CapacityFromText(const QString& text)
{
    bool isNumber = false;
    const qlonglong megabytes = text.toLongLong(&isNumber, 10);
    std::int64_t bytes = 0;
    if (!isNumber || __builtin_mul_overflow(megabytes, DISC_CAPACITY_UNIT, &bytes)) {
        return 0;
    }
    return bytes;
}

TFormDiscProp::TFormDiscProp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FormDiscProp"));
    setWindowTitle(QStringLiteral("Disc Properties"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(SmallImages().Icon(imgDataDisc).pixmap(32, 32));
    Edit_title = new QLineEdit(this);
    Edit_title->setObjectName(QStringLiteral("Edit_title"));
    Edit_title->setMinimumWidth(300);
    top->addWidget(Image1);
    top->addWidget(Edit_title, 1);
    layout->addLayout(top);

    auto* facts = new QFormLayout;
    Label9 = valueLabel(this, "Label9");
    facts->addRow(QStringLiteral("Owner"), Label9);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems({ QStringLiteral("650"), QStringLiteral("680"), QStringLiteral("700") });
    ComboBox1->setEditText(QStringLiteral("650"));
    auto* capacityRow = new QHBoxLayout;
    capacityRow->addWidget(ComboBox1);
    capacityRow->addWidget(new QLabel(QStringLiteral("Megabytes"), this));
    capacityRow->addStretch(1);
    facts->addRow(QStringLiteral("Disc Capacity"), capacityRow);
    lab_scanned = valueLabel(this, "lab_scanned");
    lab_entries = valueLabel(this, "lab_entries");
    lab_used = valueLabel(this, "lab_used");
    lab_free = valueLabel(this, "lab_free");
    facts->addRow(QStringLiteral("Scanned:"), lab_scanned);
    facts->addRow(QStringLiteral("Files: "), lab_entries);
    facts->addRow(QStringLiteral("Used space"), lab_used);
    facts->addRow(QStringLiteral("Free Space"), lab_free);
    CheckBox1 = new QCheckBox(QStringLiteral("AudioCD"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    facts->addRow(QString(), CheckBox1);
    layout->addLayout(facts);

    auto* commentLabel = new QLabel(QStringLiteral("Comments"), this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setTabChangesFocus(true);
    Memo1->setFixedHeight(Memo1->fontMetrics().lineSpacing() * 4 + 12);
    commentLabel->setBuddy(Memo1);
    layout->addWidget(commentLabel);
    layout->addWidget(Memo1);

    addButtonRow(layout, this, Button2, "Button2", QStringLiteral("Ok"), Button1, "Button1");
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connectConfirm(this, Button2, [this] { Button2Click(); });
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    // The grayed state is the window's own: once the user clicks the box it has two states.
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1->setTristate(false); });
}

void TFormDiscProp::Fill(const TItemDataArray& items)
{
    m_items.clear();
    for (const TItemData& item : items) {
        if (item.Kind == ikDisc && item.Ref != nullptr) {
            m_items.push_back(item);
        }
    }
    const bool single = m_items.size() == 1;
    if (!single) {
        showAsUnused(Edit_title);
        showAsUnused(Memo1);
        CheckBox1->setTristate(true);
        CheckBox1->setCheckState(Qt::PartiallyChecked);
    }
    std::uint64_t files = 0;
    std::uint64_t used = 0;
    for (const TItemData& item : m_items) {
        auto* fileset = static_cast<TKTBFile*>(item.Ref);
        const TKTBDisc disc = readDisc(item);
        const QString title = decodeCatalogText(disc.Title);
        Edit_title->setText(Edit_title->text().isEmpty() ? title : Edit_title->text() + QStringLiteral(", ") + title);
        if (single) {
            Label9->setText(fileset->GetOwner());
            Memo1->setPlainText(commentForDisplay(disc.Comment));
            lab_scanned->setText(formatDateTime(dosToDateTime(disc.ScanTime)));
        }
        ComboBox1->setEditText(QString::number(disc.Capacity / DISC_CAPACITY_UNIT));
        files += disc.Files;
        used += static_cast<std::uint64_t>(disc.Used);
        lab_entries->setText(QString::number(files));
        lab_used->setText(FormatSize(static_cast<std::int64_t>(used)));
        if (single) {
            // Signed: an over-full disc shows how much it is over, with a "-".
            const auto free = static_cast<std::int64_t>(
                static_cast<std::uint64_t>(disc.Capacity) - static_cast<std::uint64_t>(disc.Used));
            lab_free->setText(FormatSize(free));
            CheckBox1->setChecked((disc.Flags & KTB_DISC_AUDIO) != 0);
        }
        fileset->Close();
    }
    Edit_title->setCursorPosition(0);
}

void TFormDiscProp::Button2Click()
{
    const std::int64_t capacity = CapacityFromText(ComboBox1->currentText());
    const bool withTexts = Edit_title->isEnabled();
    std::string comment
        = encodeCatalogText(Memo1->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")), KTB_COMMENT_MAX);
    if (!comment.empty() && comment.back() == '\r') {
        comment.pop_back(); // a line break cut in half
    }
    const std::string title = encodeCatalogText(Edit_title->text(), KTB_TITLE_MAX);
    for (const TItemData& item : m_items) {
        TKTBDisc disc {};
        disc.Capacity = capacity;
        switch (CheckBox1->checkState()) {
        case Qt::Unchecked:
            disc.Flags = item.Flags & ~KTB_DISC_AUDIO;
            break;
        case Qt::Checked:
            disc.Flags = item.Flags | KTB_DISC_AUDIO;
            break;
        case Qt::PartiallyChecked:
            disc.Flags = item.Flags;
            break;
        }
        std::uint32_t mask = KTB_DISC_CAPACITY | KTB_DISC_FLAGS;
        if (withTexts) {
            copyText(disc.Title, sizeof disc.Title, title);
            copyText(disc.Comment, sizeof disc.Comment, comment);
            mask |= KTB_DISC_TITLE | KTB_DISC_COMMENT;
        }
        auto* fileset = static_cast<TKTBFile*>(item.Ref);
        // A refused update (a locked fileset) leaves the disc as it was; nothing to tell the user.
        ktbUpdateDisc(fileset->Handle(), item.Offset, disc, mask);
        fileset->Close();
    }
}

int ShowDiscProperties(const TItemDataArray& items)
{
    if (items.empty()) {
        return QDialog::Rejected;
    }
    auto window = std::make_unique<TFormDiscProp>(QApplication::activeWindow());
    window->Fill(items);
    centreOnScreen(window.get());
    return window->exec();
}
