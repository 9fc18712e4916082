#include "filesets/CatalogText.h"

#include "engine/ktb_utils.h"

#include <QLocale>
#include <QRegularExpression>

QString decodeCatalogText(std::string_view bytes)
{
    if (ktbIsUtf8(bytes)) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    const std::string utf8 = ktbCp1252ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string encodeCatalogText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return { utf8.constData(), static_cast<std::size_t>(utf8.size()) };
}

std::string encodeCatalogText(const QString& text, std::size_t maxBytes)
{
    std::string bytes = encodeCatalogText(text);
    bytes.resize(ktbCutLength(bytes, maxBytes));
    return bytes;
}

QDateTime dosToDateTime(std::uint32_t packed)
{
    std::tm time {};
    if (packed == 0 || !ktbUnpackDosDateTime(packed, time)) {
        return {};
    }
    return QDateTime(QDate(time.tm_year + 1900, time.tm_mon + 1, time.tm_mday),
        QTime(time.tm_hour, time.tm_min, time.tm_sec), Qt::LocalTime);
}

std::uint32_t dateTimeToDos(const QDateTime& dateTime)
{
    if (!dateTime.isValid()) {
        return 0;
    }
    const QDateTime local = dateTime.toLocalTime();
    std::tm time {};
    time.tm_year = local.date().year() - 1900;
    time.tm_mon = local.date().month() - 1;
    time.tm_mday = local.date().day();
    time.tm_hour = local.time().hour();
    time.tm_min = local.time().minute();
    time.tm_sec = local.time().second();
    return ktbPackDosDateTime(time);
}

namespace {

// The locale's long time format without its time zone part.
QString longTimeFormat()
{
    static const QString format = [] {
        QString text = QLocale().timeFormat(QLocale::LongFormat);
        text.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
        return text.trimmed();
    }();
    return format;
}

} // namespace

QString formatDateTime(const QDateTime& dateTime)
{
    if (!dateTime.isValid()) {
        return {};
    }
    const QLocale locale;
    return locale.toString(dateTime.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(dateTime.time(), longTimeFormat());
}

QString formatDosDateTime(std::uint32_t packed)
{
    const QDateTime dateTime = dosToDateTime(packed);
    if (!dateTime.isValid()) {
        return {};
    }
    if (dateTime.time() == QTime(0, 0)) {
        return QLocale().toString(dateTime.date(), QLocale::ShortFormat);
    }
    return formatDateTime(dateTime);
}

QString formatDosDate(std::uint32_t packed)
{
    const QDateTime dateTime = dosToDateTime(packed);
    return dateTime.isValid() ? QLocale().toString(dateTime.date(), QLocale::ShortFormat) : QString();
}
