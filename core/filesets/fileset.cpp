#include "core/filesets/fileset.h"

#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/text/catalogtext.h"
#include "engine/DirTravel.h"
#include "engine/ktb_io.h"
#include "platform/configfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cstring>

Fileset::Fileset(const QString& path, bool createNew, bool readOnly)
    : createPending(createNew)
    , fileName(path)
    , readOnly(readOnly)
{
    if (createNew && QFileInfo::exists(path)) {
        throw FileError(QStringLiteral("Cannot create new fileset. ") + path + QStringLiteral(" already exists."));
    }
}

Fileset::~Fileset() = default;

TKTBHandle* Fileset::handle()
{
    if (m_handle == nullptr) {
        open();
    }
    return m_handle.get();
}

void Fileset::open()
{
    close();
    std::uint32_t flags = 0;
    if (createPending) {
        flags = KTB_OPEN_CREATE;
    } else if (readOnly) {
        flags = KTB_OPEN_READONLY;
    }
    const QByteArray path = QFile::encodeName(fileName);
    const TKTBERROR code = ktbOpenOwned(m_handle, path.constData(), flags);
    if (code != KTB_OK) {
        throw CatalogError(code, fileName);
    }
    if (ktbCheckWritable(m_handle.get()) == KTB_ERR_LOCKED) {
        // The right key makes the handle writable; a wrong or empty one leaves it locked. The key is
        // offered as the field stores it (43 bytes), or a longer key would lock its own fileset.
        ktbUnlock(m_handle.get(), encodeCatalogText(protectionKey, KTB_KEY_MAX).c_str());
    }
    createPending = false;
}

void Fileset::close() { m_handle.reset(); }

bool Fileset::isLocked()
{
    const TKTBERROR code = ktbCheckWritable(handle());
    if (code == KTB_OK) {
        return false;
    }
    if (code == KTB_ERR_LOCKED) {
        return true;
    }
    throw CatalogError(code, fileName);
}

QString Fileset::descriptionOrFileName()
{
    try {
        return description();
    } catch (const CatalogError&) {
        return fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    }
}

QString Fileset::readOnlyMessage()
{
    return QStringLiteral("The fileset \"") + descriptionOrFileName()
        + QStringLiteral("\" is opened read-only: its file cannot be written.") + QStringLiteral("\r\n") + fileName
        + QStringLiteral("\r\n") + QStringLiteral("It can be browsed and searched, but not changed.");
}

namespace {

std::size_t textLimit(int field)
{
    switch (field) {
    case KTB_HDR_OWNER:
        return KTB_OWNER_MAX;
    case KTB_HDR_NAME:
        return KTB_NAME_MAX;
    default:
        return KTB_KEY_MAX;
    }
}

} // namespace

QVariant Fileset::accessField(bool write, int field, const QVariant& value)
{
    TKTBHandle* handle = this->handle();
    char buffer[KTB_NAME_MAX + 1] = {};
    std::uint32_t number = 0;
    const bool isText = field == KTB_HDR_OWNER || field == KTB_HDR_NAME || field == KTB_HDR_KEY;
    const bool isDate = field == KTB_HDR_CREATED || field == KTB_HDR_MODIFIED;
    if (write) {
        if (isText) {
            // The engine keeps 63, 127 or 43 bytes; cut here so no character is split.
            const std::string bytes = encodeCatalogText(value.toString(), textLimit(field));
            std::memcpy(buffer, bytes.data(), bytes.size());
        } else if (isDate) {
            number = dateTimeToDos(value.toDateTime());
        } else {
            number = value.toUInt();
        }
        const TKTBERROR code = ktbSetHeaderField(
            handle, field, isText ? static_cast<const void*>(buffer) : static_cast<const void*>(&number));
        if (code != KTB_OK && code != KTB_ERR_LOCKED) {
            throw CatalogError(code, fileName);
        }
        return {};
    }
    const TKTBERROR code
        = ktbGetHeaderField(handle, field, isText ? static_cast<void*>(buffer) : static_cast<void*>(&number));
    if (code == KTB_ERR_LOCKED) {
        return isText ? QVariant(QString()) : QVariant();
    }
    if (code != KTB_OK) {
        throw CatalogError(code, fileName);
    }
    if (isText) {
        return decodeCatalogText(std::string_view(buffer, strnlen(buffer, textLimit(field))));
    }
    if (isDate) {
        return dosToDateTime(number);
    }
    return QVariant::fromValue(number);
}

QString Fileset::owner() { return accessField(false, KTB_HDR_OWNER).toString(); }

void Fileset::setOwner(const QString& owner) { accessField(true, KTB_HDR_OWNER, owner); }

QString Fileset::description()
{
    const QString name = accessField(false, KTB_HDR_NAME).toString();
    if (!name.isEmpty()) {
        return name;
    }
    return fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
}

void Fileset::setDescription(const QString& description) { accessField(true, KTB_HDR_NAME, description); }

QDateTime Fileset::created() { return accessField(false, KTB_HDR_CREATED).toDateTime(); }

QDateTime Fileset::modified() { return accessField(false, KTB_HDR_MODIFIED).toDateTime(); }

std::uint32_t Fileset::version() { return accessField(false, KTB_HDR_VERSION).toUInt(); }

void Fileset::setProtectionKey(const QString& key)
{
    protectionKey = key;
    accessField(true, KTB_HDR_KEY, key);
}

std::uint64_t Fileset::dataSize()
{
    open();
    return ktbFileSize(m_handle.get()) - KTB_HEADER_SIZE;
}

int Fileset::discCount()
{
    const KtbCursorPtr cursor(ktbFindFirst(handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES, KTB_HEADER_SIZE, nullptr));
    if (cursor == nullptr) {
        return 0;
    }
    while (ktbFindNext(cursor.get()) == KTB_OK) { }
    return static_cast<int>(cursor->Discs);
}

std::uint64_t Fileset::totalDiscSize()
{
    const KtbCursorPtr cursor(ktbFindFirst(handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES, KTB_HEADER_SIZE, nullptr));
    std::uint64_t total = 0;
    if (cursor == nullptr) {
        return 0;
    }
    do {
        if (const TKTBDisc* disc = cursor->Current != nullptr ? cursor->Current->disc() : nullptr) {
            total += static_cast<std::uint64_t>(disc->Used);
        }
    } while (ktbFindNext(cursor.get()) == KTB_OK);
    return total;
}
