#include "core/text/catalogtext.h"

#include "engine/ktb_utils.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <memory>

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

/// Formats dates and times in the user's formats quickly: the locale's short date format and long
/// time format (without its time zone) are parsed once into fields, and every value is then written
/// field by field, without the locale machinery that lists of many rows cannot afford.
class DateTimeFormatter {
public:
    DateTimeFormatter()
    {
        const QLocale locale;
        QString time = locale.timeFormat(QLocale::LongFormat);
        time.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
        parse(locale.dateFormat(QLocale::ShortFormat), m_date);
        parse(time.trimmed(), m_time);
        for (int month = 1; month <= 12; ++month) {
            m_shortMonths[month - 1] = locale.monthName(month, QLocale::ShortFormat);
            m_longMonths[month - 1] = locale.monthName(month, QLocale::LongFormat);
        }
        for (int day = 1; day <= 7; ++day) {
            m_shortDays[day - 1] = locale.dayName(day, QLocale::ShortFormat);
            m_longDays[day - 1] = locale.dayName(day, QLocale::LongFormat);
        }
        const QList<uint> zero = locale.zeroDigit().toUcs4();
        m_zero = zero.isEmpty() ? U'0' : static_cast<char32_t>(zero.first());
        m_amLower = locale.amText().toLower();
        m_pmLower = locale.pmText().toLower();
        m_amUpper = locale.amText().toUpper();
        m_pmUpper = locale.pmText().toUpper();
        m_twelveHour = std::any_of(m_time.begin(), m_time.end(),
            [](const Field& field) { return field.letter == QLatin1Char('a') || field.letter == QLatin1Char('A'); });
    }

private:
    struct Field {
        QChar letter; ///< 0 for literal text
        int count;
        QString text;
    };

    static void parse(const QString& format, QList<Field>& fields)
    {
        for (qsizetype i = 0; i < format.size();) {
            const QChar c = format.at(i);
            if (c == QLatin1Char('\'')) {
                const qsizetype close = format.indexOf(QLatin1Char('\''), i + 1);
                const qsizetype end = close < 0 ? format.size() : close;
                fields.append({ QChar(), 0, end == i + 1 ? QStringLiteral("'") : format.mid(i + 1, end - i - 1) });
                i = end + 1;
                continue;
            }
            if (QStringLiteral("dMyhHmszaA").contains(c)) {
                qsizetype run = 1;
                while (i + run < format.size() && format.at(i + run) == c) {
                    ++run;
                }
                if ((c == QLatin1Char('a') || c == QLatin1Char('A')) && i + 1 < format.size()
                    && format.at(i + 1).toUpper() == QLatin1Char('P')) {
                    run = 2;
                }
                fields.append({ c, static_cast<int>(run), QString() });
                i += run;
                continue;
            }
            if (!fields.isEmpty() && fields.last().letter.isNull()) {
                fields.last().text += c;
            } else {
                fields.append({ QChar(), 0, QString(c) });
            }
            ++i;
        }
    }

    // Digits in the locale's own digit set (Arabic-Indic digits, for instance).
    void appendNumber(QString& out, int value, int width) const
    {
        char32_t digits[12];
        int count = 0;
        unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
        do {
            digits[count++] = m_zero + rest % 10;
            rest /= 10;
        } while (rest != 0);
        for (int pad = count; pad < width; ++pad) {
            out += QChar::fromUcs4(m_zero);
        }
        while (count > 0) {
            out += QChar::fromUcs4(digits[--count]);
        }
    }

public:
    /// The fields of one date and time; the day of the week is found only when a format asks for it.
    struct Parts {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
        int second = 0;
        int millisecond = 0;
    };

    void appendDate(QString& out, const Parts& parts) const { append(out, m_date, parts); }
    void appendTime(QString& out, const Parts& parts) const { append(out, m_time, parts); }

private:
    void append(QString& out, const QList<Field>& fields, const Parts& parts) const
    {
        for (const Field& field : fields) {
            const char letter = field.letter.toLatin1();
            const int n = field.count;
            switch (letter) {
            case 0:
                out += field.text;
                break;
            case 'd':
                if (n <= 2) {
                    appendNumber(out, parts.day, n);
                } else {
                    const int weekday = QDate(parts.year, parts.month, parts.day).dayOfWeek();
                    out += (n == 3 ? m_shortDays : m_longDays)[weekday - 1];
                }
                break;
            case 'M':
                if (n <= 2) {
                    appendNumber(out, parts.month, n);
                } else {
                    out += (n == 3 ? m_shortMonths : m_longMonths)[parts.month - 1];
                }
                break;
            case 'y':
                appendNumber(out, n <= 2 ? parts.year % 100 : parts.year, n <= 2 ? 2 : 4);
                break;
            case 'h':
                appendNumber(out, m_twelveHour ? ((parts.hour + 11) % 12 + 1) : parts.hour, n);
                break;
            case 'H':
                appendNumber(out, parts.hour, n);
                break;
            case 'm':
                appendNumber(out, parts.minute, n);
                break;
            case 's':
                appendNumber(out, parts.second, n);
                break;
            case 'z':
                appendNumber(out, parts.millisecond, n >= 3 ? 3 : 1);
                break;
            case 'a':
                out += parts.hour < 12 ? m_amLower : m_pmLower;
                break;
            case 'A':
                out += parts.hour < 12 ? m_amUpper : m_pmUpper;
                break;
            default:
                break;
            }
        }
    }

    QList<Field> m_date;
    QList<Field> m_time;
    QString m_shortMonths[12];
    QString m_longMonths[12];
    QString m_shortDays[7];
    QString m_longDays[7];
    QString m_amLower;
    QString m_pmLower;
    QString m_amUpper;
    QString m_pmUpper;
    bool m_twelveHour = false;
    char32_t m_zero = U'0';
};

// Made again when the user's locale changes.
const DateTimeFormatter& formatter()
{
    thread_local std::unique_ptr<DateTimeFormatter> instance;
    thread_local QLocale madeFor;
    const QLocale current;
    if (instance == nullptr || !(current == madeFor)) {
        instance = std::make_unique<DateTimeFormatter>();
        madeFor = current;
    }
    return *instance;
}

} // namespace

QString formatDateTime(const QDateTime& dateTime)
{
    if (!dateTime.isValid()) {
        return {};
    }
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    const DateTimeFormatter::Parts parts { date.year(), date.month(), date.day(), time.hour(), time.minute(),
        time.second(), time.msec() };
    QString text;
    text.reserve(24);
    formatter().appendDate(text, parts);
    text += QLatin1Char(' ');
    formatter().appendTime(text, parts);
    return text;
}

QString formatDosDateTime(std::uint32_t packed)
{
    std::tm time {};
    if (packed == 0 || !ktbUnpackDosDateTime(packed, time)) {
        return {};
    }
    const DateTimeFormatter::Parts parts { time.tm_year + 1900, time.tm_mon + 1, time.tm_mday, time.tm_hour,
        time.tm_min, time.tm_sec, 0 };
    QString text;
    text.reserve(24);
    formatter().appendDate(text, parts);
    if (parts.hour != 0 || parts.minute != 0 || parts.second != 0) {
        text += QLatin1Char(' ');
        formatter().appendTime(text, parts);
    }
    return text;
}

QString formatDosDate(std::uint32_t packed)
{
    std::tm time {};
    if (packed == 0 || !ktbUnpackDosDateTime(packed, time)) {
        return {};
    }
    QString text;
    formatter().appendDate(text, { time.tm_year + 1900, time.tm_mon + 1, time.tm_mday, 0, 0, 0, 0 });
    return text;
}

QString formatDate(const QDate& date)
{
    QString text;
    if (date.isValid()) {
        formatter().appendDate(text, { date.year(), date.month(), date.day(), 0, 0, 0, 0 });
    }
    return text;
}

QString upperAscii(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(c.unicode() - 'a' + 'A');
        }
    }
    return result;
}

bool sameTextAscii(const QString& a, const QString& b)
{
    return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}
