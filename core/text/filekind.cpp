#include "core/text/filekind.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStringList>

namespace {

/// The kinds the MIME database does not tell well: it files archives, disc images, installers and
/// office documents alike under "application/".
const QHash<QString, FileKind>& ownKinds()
{
    static const QHash<QString, FileKind> kinds = [] {
        QHash<QString, FileKind> table;
        const auto add = [&table](FileKind kind, const char* extensions) {
            const QStringList list = QString::fromLatin1(extensions).split(QLatin1Char(' '));
            for (const QString& extension : list) {
                table.insert(extension, kind);
            }
        };
        add(FileKind::Document,
            "pdf doc docx dot dotx odt ott ods ots odp otp odg rtf txt text md tex epub mobi azw azw3 djvu djv ps "
            "xls xlsx xlsm ppt pptx pps ppsx wpd wps wri pages numbers key chm hlp nfo diz csv");
        add(FileKind::Archive,
            "zip rar 7z tar gz tgz bz2 tbz tbz2 xz txz lz lzma tlz zst z cab arj lzh lha ace arc zoo sit sitx cpio "
            "pak war");
        add(FileKind::DiscImage, "iso img bin cue nrg mdf mds ccd sub cdi b5t b6t bwt dmg isz daa uif vcd gi pdi");
        add(FileKind::Program,
            "exe com bat cmd msi msp dll sys scr ocx cpl drv pif vbs ps1 sh bash run app apk jar deb rpm appimage "
            "elf so ko");
        return table;
    }();
    return kinds;
}

FileKind kindOfMimeType(const QMimeType& type)
{
    const QString name = type.name();
    if (name.startsWith(QStringLiteral("audio/"))) {
        return FileKind::Audio;
    }
    if (name.startsWith(QStringLiteral("video/"))) {
        return FileKind::Video;
    }
    if (name.startsWith(QStringLiteral("image/"))) {
        return FileKind::Image;
    }
    if (name.startsWith(QStringLiteral("text/"))) {
        return FileKind::Document;
    }
    return FileKind::Other;
}

} // namespace

FileKind fileKindOfExtension(const QString& extension)
{
    if (extension.isEmpty()) {
        return FileKind::Other;
    }
    const QString lower = extension.toLower();
    const auto own = ownKinds().constFind(lower);
    if (own != ownKinds().constEnd()) {
        return own.value();
    }
    static const QMimeDatabase database;
    // By name only: the name of a file that does not exist, so the database never reads one.
    const QList<QMimeType> types = database.mimeTypesForFileName(QStringLiteral("x.") + lower);
    for (const QMimeType& type : types) {
        const FileKind kind = kindOfMimeType(type);
        if (kind != FileKind::Other) {
            return kind;
        }
    }
    return FileKind::Other;
}

QString fileKindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Audio:
        return QStringLiteral("Audio");
    case FileKind::Video:
        return QStringLiteral("Video");
    case FileKind::Image:
        return QStringLiteral("Image");
    case FileKind::Document:
        return QStringLiteral("Document");
    case FileKind::Archive:
        return QStringLiteral("Archive");
    case FileKind::DiscImage:
        return QStringLiteral("Disc image");
    case FileKind::Program:
        return QStringLiteral("Program");
    case FileKind::Other:
        break;
    }
    return QStringLiteral("Other");
}
