#include "core/settings/inifile.h"

#include "core/text/catalogtext.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <utility>

namespace {

constexpr char s_lineEnd[] = "\r\n";
constexpr char s_byteOrderMark[] = "\xEF\xBB\xBF";

// One line of the file: [begin, end) is its text, [end, next) its line end (CR LF, LF or nothing).
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && isBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringAsciiCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype at = 0; at < a.size(); ++at) {
        if (foldAscii(a[at]) != foldAscii(b[at])) {
            return false;
        }
    }
    return true;
}

QList<Line> splitLines(const QByteArray& content)
{
    QList<Line> lines;
    qsizetype at = content.startsWith(s_byteOrderMark) ? 3 : 0;
    while (at < content.size()) {
        Line line;
        line.begin = at;
        const qsizetype feed = content.indexOf('\n', at);
        if (feed < 0) {
            line.end = line.next = content.size();
        } else {
            line.next = feed + 1;
            line.end = (feed > at && content[feed - 1] == '\r') ? feed - 1 : feed;
        }
        lines.append(line);
        at = line.next;
    }
    return lines;
}

QByteArrayView textOf(const QByteArray& content, const Line& line)
{
    return QByteArrayView(content).sliced(line.begin, line.end - line.begin);
}

// The name of a "[Name]" line, nullopt for any other line.
std::optional<QByteArrayView> sectionName(QByteArrayView text)
{
    text = trimmed(text);
    if (!text.startsWith('[')) {
        return std::nullopt;
    }
    text = text.sliced(1);
    const qsizetype close = text.indexOf(']');
    return trimmed(close < 0 ? text : text.first(close));
}

// The key of a "key=value" line, nullopt for a line without "=" or a comment.
std::optional<QByteArrayView> keyName(QByteArrayView text)
{
    const qsizetype equals = text.indexOf('=');
    if (equals < 0 || trimmed(text).startsWith(';')) {
        return std::nullopt;
    }
    return trimmed(text.first(equals));
}

// The lines of one section: the header line's index and the index after its last line.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange findSection(const QByteArray& content, const QList<Line>& lines, QByteArrayView section)
{
    SectionRange range;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const auto name = sectionName(textOf(content, lines[index]));
        if (!name) {
            continue;
        }
        if (range.header >= 0) {
            range.end = index;
            return range;
        }
        if (equalIgnoringAsciiCase(*name, section)) {
            range.header = index;
        }
    }
    if (range.header >= 0) {
        range.end = lines.size();
    }
    return range;
}

qsizetype findKey(const QByteArray& content, const QList<Line>& lines, SectionRange range, QByteArrayView key)
{
    for (qsizetype index = range.header + 1; index < range.end; ++index) {
        const auto name = keyName(textOf(content, lines[index]));
        if (name && equalIgnoringAsciiCase(*name, key)) {
            return index;
        }
    }
    return -1;
}

bool isQuote(char c) { return c == '"' || c == '\''; }

bool isQuoted(QByteArrayView text) { return text.size() >= 2 && isQuote(text.front()) && text.back() == text.front(); }

// UTF-8, else Windows-1252 as catalogs are read: one decoder for both, so a value reads as the same
// characters in either place and writes back as them.
QString decodeValue(QByteArrayView bytes)
{
    return decodeCatalogText(std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())));
}

QByteArray encodeValue(const QString& value)
{
    QByteArray bytes = value.toUtf8();
    if (const qsizetype zero = bytes.indexOf('\0'); zero >= 0) {
        bytes.truncate(zero);
    }
    bytes.replace('\r', ' ').replace('\n', ' ');
    const bool blankAtEnd = !bytes.isEmpty() && (isBlank(bytes.front()) || isBlank(bytes.back()));
    if (blankAtEnd || isQuoted(bytes)) {
        return '"' + bytes + '"';
    }
    return bytes;
}

// The whole file; an empty text for a missing file, nullopt when it exists but cannot be read.
std::optional<QByteArray> readContent(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path)) {
            return QByteArray();
        }
        return std::nullopt;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return content;
}

bool writeContent(const QString& path, const QByteArray& content)
{
    // Written beside the file and renamed over it, so a full disc or a crash never leaves half a file;
    // a folder that only lets the file itself be written gets it written in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

std::optional<QString> IniFile::value(QStringView section, QStringView key) const
{
    const std::optional<QByteArray> content = readContent(m_path);
    if (!content) {
        return std::nullopt;
    }
    const QList<Line> lines = splitLines(*content);
    const SectionRange range = findSection(*content, lines, section.toUtf8());
    if (range.header < 0) {
        return std::nullopt;
    }
    const qsizetype index = findKey(*content, lines, range, key.toUtf8());
    if (index < 0) {
        return std::nullopt;
    }
    const QByteArrayView text = textOf(*content, lines[index]);
    QByteArrayView raw = trimmed(text.sliced(text.indexOf('=') + 1));
    if (isQuoted(raw)) {
        raw = raw.sliced(1, raw.size() - 2);
    }
    return decodeValue(raw);
}

QString IniFile::value(QStringView section, QStringView key, const QString& defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}

bool IniFile::setValue(QStringView section, QStringView key, const QString& value)
{
    const std::optional<QByteArray> read = readContent(m_path);
    if (!read) {
        return false;
    }
    QByteArray content = *read;
    const QByteArray sectionBytes = section.toUtf8();
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray valueBytes = encodeValue(value);
    const QList<Line> lines = splitLines(content);
    const SectionRange range = findSection(content, lines, sectionBytes);

    if (range.header < 0) {
        QByteArray added;
        if (!content.isEmpty() && !content.endsWith('\n')) {
            added += s_lineEnd;
        }
        added += '[' + sectionBytes + ']' + s_lineEnd + keyBytes + '=' + valueBytes + s_lineEnd;
        return writeContent(m_path, content + added);
    }

    if (const qsizetype index = findKey(content, lines, range, keyBytes); index >= 0) {
        const Line& line = lines[index];
        const QByteArrayView text = textOf(content, line);
        const QByteArray spelledKey = trimmed(text.first(text.indexOf('='))).toByteArray();
        content.replace(line.begin, line.end - line.begin, spelledKey + '=' + valueBytes);
        return writeContent(m_path, content);
    }

    qsizetype last = range.header;
    for (qsizetype index = range.end - 1; index > range.header; --index) {
        if (!trimmed(textOf(content, lines[index])).isEmpty()) {
            last = index;
            break;
        }
    }
    QByteArray added = keyBytes + '=' + valueBytes + s_lineEnd;
    const qsizetype insertAt = lines[last].next;
    if (lines[last].next == lines[last].end) {
        // The line has no line end (the end of the file): it gets one before the new line.
        added.prepend(s_lineEnd);
    }
    content.insert(insertAt, added);
    return writeContent(m_path, content);
}
