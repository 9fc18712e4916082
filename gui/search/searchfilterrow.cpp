#include "gui/search/searchfilterrow.h"

#include "core/search/searchfilter.h"

#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

namespace {

QComboBox* unitChooser(QWidget* parent, const QString& name)
{
    auto* chooser = new QComboBox(parent);
    chooser->setObjectName(name);
    // The item data is the unit's power of 1024.
    chooser->addItem(QStringLiteral("bytes"), 0);
    chooser->addItem(QStringLiteral("KiB"), 10);
    chooser->addItem(QStringLiteral("MiB"), 20);
    chooser->addItem(QStringLiteral("GiB"), 30);
    return chooser;
}

QLineEdit* fieldEdit(QWidget* parent, const QString& name, const QString& hint)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(hint);
    edit->setClearButtonEnabled(true);
    return edit;
}

/// A size field: empty, or a whole number of units; false for anything else or more than fits.
bool readSize(const QLineEdit* edit, const QComboBox* unit, std::optional<std::uint64_t>& size)
{
    const QString text = edit->text().trimmed();
    if (text.isEmpty()) {
        size.reset();
        return true;
    }
    bool ok = false;
    qulonglong value = QLocale().toULongLong(text, &ok);
    if (!ok) {
        value = text.toULongLong(&ok);
    }
    const int shift = unit->currentData().toInt();
    if (!ok || value > (qulonglong { 1 } << (62 - shift))) {
        return false;
    }
    size = static_cast<std::uint64_t>(value) << shift;
    return true;
}

bool readDay(const QLineEdit* edit, std::optional<QDate>& day)
{
    const QString text = edit->text().trimmed();
    if (text.isEmpty()) {
        day.reset();
        return true;
    }
    const QDate parsed = SearchFilterRow::parseDay(text);
    if (!parsed.isValid()) {
        return false;
    }
    day = parsed;
    return true;
}

} // namespace

SearchFilterRow::SearchFilterRow(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("searchFilterRow"));
    const QString dayHint = QLocale().dateFormat(QLocale::ShortFormat);
    minSizeEdit = fieldEdit(this, QStringLiteral("minSizeEdit"), QString());
    minSizeUnit = unitChooser(this, QStringLiteral("minSizeUnit"));
    maxSizeEdit = fieldEdit(this, QStringLiteral("maxSizeEdit"), QString());
    maxSizeUnit = unitChooser(this, QStringLiteral("maxSizeUnit"));
    fromEdit = fieldEdit(this, QStringLiteral("fromEdit"), dayHint);
    toEdit = fieldEdit(this, QStringLiteral("toEdit"), dayHint);
    kindChooser = new QComboBox(this);
    kindChooser->setObjectName(QStringLiteral("kindChooser"));
    kindChooser->addItem(QStringLiteral("Folders and files"), static_cast<int>(SearchFilter::Kinds::All));
    kindChooser->addItem(QStringLiteral("Files only"), static_cast<int>(SearchFilter::Kinds::FilesOnly));
    kindChooser->addItem(QStringLiteral("Folders only"), static_cast<int>(SearchFilter::Kinds::FoldersOnly));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Size at least:"), this), 0, 0);
    layout->addWidget(minSizeEdit, 0, 1);
    layout->addWidget(minSizeUnit, 0, 2);
    layout->addWidget(new QLabel(QStringLiteral("at most:"), this), 0, 3);
    layout->addWidget(maxSizeEdit, 0, 4);
    layout->addWidget(maxSizeUnit, 0, 5);
    layout->addWidget(new QLabel(QStringLiteral("Modified from:"), this), 1, 0);
    layout->addWidget(fromEdit, 1, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("to:"), this), 1, 3);
    layout->addWidget(toEdit, 1, 4, 1, 2);
    layout->addWidget(kindChooser, 2, 0, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(4, 1);
}

QDate SearchFilterRow::parseDay(const QString& text)
{
    const QLocale locale;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate day = locale.toDate(text, format);
    // Qt reads a two-digit year as 19xx; catalog dates begin in 1980.
    if (day.isValid() && !format.contains(QStringLiteral("yyyy")) && day.year() < 1980) {
        day = day.addYears(100);
    }
    if (!day.isValid()) {
        day = QDate::fromString(text, Qt::ISODate);
    }
    return day;
}

bool SearchFilterRow::readFilter(SearchFilter& filter, QString& error) const
{
    SearchFilter read;
    if (!readSize(minSizeEdit, minSizeUnit, read.minSize) || !readSize(maxSizeEdit, maxSizeUnit, read.maxSize)) {
        error = QStringLiteral("A size is a whole number, for example 10.");
        return false;
    }
    if (!readDay(fromEdit, read.from) || !readDay(toEdit, read.to)) {
        error = QStringLiteral("A day is written as ") + QLocale().dateFormat(QLocale::ShortFormat)
            + QStringLiteral(", for example ") + QLocale().toString(QDate(2004, 12, 31), QLocale::ShortFormat)
            + QStringLiteral(".");
        return false;
    }
    read.kinds = static_cast<SearchFilter::Kinds>(kindChooser->currentData().toInt());
    error = read.contradiction();
    if (!error.isEmpty()) {
        return false;
    }
    filter = read;
    return true;
}
