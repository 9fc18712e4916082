#include "core/filesets/fileset.h"

#include "core/common/questions.h"
#include "core/text/catalogtext.h"
#include "engine/DirTravel.h"
#include "engine/ktb_io.h"
#include "platform/configfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cstring>

const QString NobodyOwner = QStringLiteral("[Nobody]");
FilesetRegistry* g_filesetRegistry = nullptr;
OwnerIndex* g_ownerIndex = nullptr;
FilesetRegistry::ConversionQuestion FilesetRegistry::onConversionQuestion;
FilesetRegistry::ConvertFileset FilesetRegistry::onConvertFileset;

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

// ---------------------------------------------------------------------------------------------
// CatalogError, FileError

CatalogError::CatalogError(TKTBERROR code, const QString& fileName)
    : std::runtime_error(buildMessage(code, fileName).toStdString())
    , code(code)
    , m_message(buildMessage(code, fileName))
{
}

QString CatalogError::buildMessage(TKTBERROR code, const QString& fileName)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QString text = QStringLiteral("An error occurred in a KTB file");
    if (!fileName.isEmpty()) {
        text += lineEnd + QStringLiteral("File: ") + fileName;
    }
    text += lineEnd + QStringLiteral("Errormessage:") + QString::fromLatin1(ktbErrorName(code));
    if (code == KTB_ERR_BADENTITY) {
        TKTBErrorDetail detail;
        ktbErrorDetail(detail);
        text += lineEnd + lineEnd + QStringLiteral("Details: Token encountered: ") + QString::number(detail.Tag)
            + QStringLiteral(" at pos: ") + QString::number(detail.Offset);
    }
    return text;
}

FileError::FileError(const QString& message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

// ---------------------------------------------------------------------------------------------
// Fileset

Fileset::Fileset(const QString& path, bool createNew, bool readOnly)
    : createPending(createNew)
    , fileName(path)
    , readOnly(readOnly)
{
    if (createNew && QFileInfo::exists(path)) {
        throw FileError(QStringLiteral("Cannot create new fileset. ") + path + QStringLiteral(" already exists."));
    }
}

Fileset::~Fileset() { close(); }

TKTBHandle* Fileset::handle()
{
    if (m_handle == nullptr) {
        open();
    }
    return m_handle;
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
    TKTBHandle* handle = nullptr;
    const TKTBERROR code = ktbOpen(handle, path.constData(), flags);
    if (code != KTB_OK) {
        throw CatalogError(code, fileName);
    }
    m_handle = handle;
    if (ktbCheckWritable(m_handle) == KTB_ERR_LOCKED) {
        // The right key makes the handle writable; a wrong or empty one leaves it locked. The key is
        // offered as the field stores it (43 bytes), or a longer key would lock its own fileset.
        ktbUnlock(m_handle, encodeCatalogText(protectionKey, KTB_KEY_MAX).c_str());
    }
    createPending = false;
}

void Fileset::close()
{
    if (m_handle != nullptr) {
        ktbClose(m_handle);
    }
}

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
    return ktbFileSize(m_handle) - KTB_HEADER_SIZE;
}

int Fileset::discCount()
{
    TKTBCursor* cursor = ktbFindFirst(handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES, KTB_HEADER_SIZE, nullptr);
    if (cursor == nullptr) {
        return 0;
    }
    while (ktbFindNext(cursor) == KTB_OK) { }
    const int count = static_cast<int>(cursor->Discs);
    ktbFindClose(cursor);
    return count;
}

std::uint64_t Fileset::totalDiscSize()
{
    TKTBCursor* cursor = ktbFindFirst(handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES, KTB_HEADER_SIZE, nullptr);
    std::uint64_t total = 0;
    if (cursor == nullptr) {
        return 0;
    }
    do {
        if (const TKTBDisc* disc = cursor->Current != nullptr ? cursor->Current->disc() : nullptr) {
            total += static_cast<std::uint64_t>(disc->Used);
        }
    } while (ktbFindNext(cursor) == KTB_OK);
    ktbFindClose(cursor);
    return total;
}

// ---------------------------------------------------------------------------------------------
// FilesetRegistry

FilesetRegistry::FilesetRegistry()
    : FilesetRegistry(Options {})
{
}

FilesetRegistry::FilesetRegistry(Options options)
    : m_options(options)
{
    if (!m_options.useListFile) {
        return;
    }
    loadLocations();
    // A damaged file named in the list must not end the program: the failure is kept and shown
    // once the program runs; the filesets registered before it stay.
    try {
        addLocations();
    } catch (const CatalogError& failure) {
        m_startupError = failure.message();
    } catch (const std::exception& failure) {
        m_startupError = QString::fromUtf8(failure.what());
    }
}

FilesetRegistry::~FilesetRegistry()
{
    if (m_options.useListFile && !saveLocations()) {
        questions().messageBox(QStringLiteral("Unable to write to ") + listFilePath(), QStringLiteral("Katalox"),
            MessageIcon::Error, OkButton, true);
    }
    clear();
}

std::optional<QString> FilesetRegistry::takeStartupError()
{
    std::optional<QString> error = std::move(m_startupError);
    m_startupError.reset();
    return error;
}

QString FilesetRegistry::listFilePath()
{
    return QString::fromStdString(configFolder()) + QStringLiteral("ktblist.lst");
}

void FilesetRegistry::loadLocations()
{
    QFile file(listFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray bytes = file.readAll();
    // CR LF, a lone CR and a lone LF each end a line; a last line without line end is still read.
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        locations.append(
            decodeCatalogText(std::string_view(bytes.constData() + start, static_cast<std::size_t>(i - start))));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < bytes.size()) {
        locations.append(decodeCatalogText(
            std::string_view(bytes.constData() + start, static_cast<std::size_t>(bytes.size() - start))));
    }
}

bool FilesetRegistry::saveLocations() const
{
    QByteArray bytes;
    for (const QString& location : locations) {
        bytes += location.toUtf8();
        bytes += "\r\n";
    }
    QFile file(listFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        return false;
    }
    return file.flush();
}

int FilesetRegistry::indexOf(const Fileset* fileset) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == fileset) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FilesetRegistry::destroyAt(int index)
{
    std::unique_ptr<Fileset> fileset = std::move(m_items.at(static_cast<std::size_t>(index)));
    m_items.erase(m_items.begin() + index);
    if (onNotify) {
        onNotify(fileset.get(), RegistryChange::FilesetDeleted);
    }
}

void FilesetRegistry::removeAt(int index) { destroyAt(index); }

void FilesetRegistry::clear()
{
    while (!m_items.empty()) {
        destroyAt(count() - 1);
    }
}

void FilesetRegistry::append(std::unique_ptr<Fileset> fileset)
{
    Fileset* added = fileset.get();
    m_items.push_back(std::move(fileset));
    if (onNotify) {
        onNotify(added, RegistryChange::FilesetAdded);
    }
}

QString FilesetRegistry::conversionQuestionText(const QString& path)
{
    return QStringLiteral("The Fileset \"") + path
        + QStringLiteral("\" is an older version.\r\nYou wish to convert it ?");
}

int FilesetRegistry::addFile(const QString& path)
{
    if (indexOfPath(path) >= 0) {
        return -1;
    }
    const QByteArray encoded = QFile::encodeName(path);
    TKTBHandle* probe = nullptr;
    const TKTBERROR code = ktbOpen(probe, encoded.constData(), m_options.readOnly ? KTB_OPEN_READONLY : 0);
    ktbClose(probe);
    if (code == KTB_ERR_WRONGVERSION) {
        if (!onConversionQuestion || !onConversionQuestion(path)) {
            return -1;
        }
        if (!onConvertFileset || onConvertFileset(path) != 1) {
            return -1;
        }
    } else if (code != KTB_OK) {
        throw CatalogError(code, path);
    }
    append(std::make_unique<Fileset>(path, false, m_options.readOnly));
    return count() - 1;
}

void FilesetRegistry::addFolder(const QString& folder)
{
    std::vector<std::string> files;
    ktbListFiles(QFile::encodeName(folder).toStdString(), "*.ktb", files, true);
    for (const std::string& file : files) {
        try {
            addFile(QFile::decodeName(QByteArray::fromStdString(file)));
        } catch (...) {
            // A damaged or unreadable file found by folder scanning is skipped.
        }
    }
}

void FilesetRegistry::addLocations()
{
    const QStringList locations = this->locations;
    for (const QString& location : locations) {
        const QFileInfo info(location);
        if (info.isFile()) {
            addFile(location);
        } else if (info.isDir()) {
            addFolder(location);
        }
    }
}

int FilesetRegistry::indexOfPath(const QString& path) const
{
    const QString wanted = upperAscii(path);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (upperAscii(m_items[i]->fileName) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString FilesetRegistry::defaultFileName(const QString& owner, const QString& folder)
{
    const QString prefix = owner == NobodyOwner ? QString() : owner + QStringLiteral(" - ");
    QString base = folder;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    for (int n = 0;; ++n) {
        const QString candidate
            = base + prefix + QStringLiteral("Fileset") + QString::number(n) + QStringLiteral(".ktb");
        if (!QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
}

int FilesetRegistry::createFileset(const QString& owner, const QString& folder)
{
    try {
        auto fileset = std::make_unique<Fileset>(defaultFileName(owner, folder), true, false);
        fileset->setOwner(owner);
        append(std::move(fileset));
        return count() - 1;
    } catch (...) {
        return -1;
    }
}

void FilesetRegistry::closeAll()
{
    for (const auto& fileset : m_items) {
        fileset->close();
    }
}

// ---------------------------------------------------------------------------------------------
// Owner, OwnerIndex

int Owner::indexOf(const Fileset* fileset) const
{
    for (std::size_t i = 0; i < m_filesets.size(); ++i) {
        if (m_filesets[i] == fileset) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Owner::remove(const Fileset* fileset)
{
    const int index = indexOf(fileset);
    if (index >= 0) {
        m_filesets.erase(m_filesets.begin() + index);
    }
}

void Owner::rename(const QString& name)
{
    this->name = name;
    for (Fileset* fileset : m_filesets) {
        fileset->setOwner(name);
    }
}

OwnerIndex::OwnerIndex(FilesetRegistry* registry)
    : m_registry(registry)
{
    m_registry->onNotify = [this](Fileset* fileset, RegistryChange action) { onRegistryChanged(fileset, action); };
    // A fileset that cannot be opened ends the construction: the registry must not keep calling an
    // index that was never made.
    try {
        rebuild();
    } catch (...) {
        detach();
        throw;
    }
}

OwnerIndex::~OwnerIndex() { detach(); }

void OwnerIndex::detach()
{
    if (m_registry != nullptr) {
        m_registry->onNotify = nullptr;
        m_registry = nullptr;
    }
}

void OwnerIndex::removeAt(int index) { m_owners.erase(m_owners.begin() + index); }

int OwnerIndex::addOwner(const QString& name)
{
    m_owners.push_back(std::make_unique<Owner>(name));
    return count() - 1;
}

void OwnerIndex::addFileset(const QString& name, Fileset* fileset)
{
    const QString ownerName = name.isEmpty() ? NobodyOwner : name;
    int index = indexOfName(ownerName);
    if (index < 0) {
        index = addOwner(ownerName);
    }
    at(index)->add(fileset);
}

void OwnerIndex::removeFileset(Fileset* fileset)
{
    // Every reference goes, also under an owner its header no longer names (a locked fileset moved to
    // another owner keeps its old owner text), so no owner outlives the object with a stale pointer.
    for (const auto& owner : m_owners) {
        owner->remove(fileset);
    }
}

void OwnerIndex::onRegistryChanged(Fileset* fileset, RegistryChange action)
{
    if (action == RegistryChange::FilesetAdded) {
        addFileset(fileset->owner(), fileset);
    } else if (action == RegistryChange::FilesetDeleted) {
        removeFileset(fileset);
    }
}

int OwnerIndex::indexOfName(const QString& name) const
{
    const QString wanted = upperAscii(name.isEmpty() ? NobodyOwner : name);
    for (std::size_t i = 0; i < m_owners.size(); ++i) {
        if (upperAscii(m_owners[i]->name) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int OwnerIndex::indexOfFileset(const Fileset* fileset) const
{
    for (std::size_t i = 0; i < m_owners.size(); ++i) {
        if (m_owners[i]->indexOf(fileset) >= 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool OwnerIndex::moveFileset(Fileset* fileset, int target)
{
    const int source = indexOfFileset(fileset);
    if (source < 0 || source == target || target < 0 || target >= count()) {
        return false;
    }
    Owner* from = at(source);
    from->remove(fileset);
    at(target)->add(fileset);
    if (from->count() == 0) {
        removeAt(source);
    }
    return true;
}

void OwnerIndex::rebuild()
{
    m_owners.clear();
    if (m_registry == nullptr) {
        return;
    }
    for (int i = 0; i < m_registry->count(); ++i) {
        Fileset* fileset = m_registry->at(i);
        addFileset(fileset->owner(), fileset);
    }
}
