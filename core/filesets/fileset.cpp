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
TKTBFiles* FilesetList = nullptr;
TKTBOwners* OwnerList = nullptr;
TKTBFiles::ConversionQuestion TKTBFiles::OnConversionQuestion;
TKTBFiles::ConvertFileset TKTBFiles::OnConvertFileset;

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
// EKTBException, EInOutError

EKTBException::EKTBException(TKTBERROR code, const QString& fileName)
    : std::runtime_error(buildMessage(code, fileName).toStdString())
    , Code(code)
    , m_message(buildMessage(code, fileName))
{
}

QString EKTBException::buildMessage(TKTBERROR code, const QString& fileName)
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

EInOutError::EInOutError(const QString& message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

// ---------------------------------------------------------------------------------------------
// TKTBFile

TKTBFile::TKTBFile(const QString& path, bool createNew, bool readOnly)
    : CreatePending(createNew)
    , FileName(path)
    , ReadOnly(readOnly)
{
    if (createNew && QFileInfo::exists(path)) {
        throw EInOutError(QStringLiteral("Cannot create new fileset. ") + path + QStringLiteral(" already exists."));
    }
}

TKTBFile::~TKTBFile() { Close(); }

TKTBHandle* TKTBFile::Handle()
{
    if (m_handle == nullptr) {
        Open();
    }
    return m_handle;
}

void TKTBFile::Open()
{
    Close();
    std::uint32_t flags = 0;
    if (CreatePending) {
        flags = KTB_OPEN_CREATE;
    } else if (ReadOnly) {
        flags = KTB_OPEN_READONLY;
    }
    const QByteArray path = QFile::encodeName(FileName);
    TKTBHandle* handle = nullptr;
    const TKTBERROR code = ktbOpen(handle, path.constData(), flags);
    if (code != KTB_OK) {
        throw EKTBException(code, FileName);
    }
    m_handle = handle;
    if (ktbCheckWritable(m_handle) == KTB_ERR_LOCKED) {
        // The right key makes the handle writable; a wrong or empty one leaves it locked. The key is
        // offered as the field stores it (43 bytes), or a longer key would lock its own fileset.
        ktbUnlock(m_handle, encodeCatalogText(ProtectionKey, KTB_KEY_MAX).c_str());
    }
    CreatePending = false;
}

void TKTBFile::Close()
{
    if (m_handle != nullptr) {
        ktbClose(m_handle);
    }
}

bool TKTBFile::IsLocked()
{
    const TKTBERROR code = ktbCheckWritable(Handle());
    if (code == KTB_OK) {
        return false;
    }
    if (code == KTB_ERR_LOCKED) {
        return true;
    }
    throw EKTBException(code, FileName);
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

QVariant TKTBFile::AccessField(bool write, int field, const QVariant& value)
{
    TKTBHandle* handle = Handle();
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
            throw EKTBException(code, FileName);
        }
        return {};
    }
    const TKTBERROR code
        = ktbGetHeaderField(handle, field, isText ? static_cast<void*>(buffer) : static_cast<void*>(&number));
    if (code == KTB_ERR_LOCKED) {
        return isText ? QVariant(QString()) : QVariant();
    }
    if (code != KTB_OK) {
        throw EKTBException(code, FileName);
    }
    if (isText) {
        return decodeCatalogText(std::string_view(buffer, strnlen(buffer, textLimit(field))));
    }
    if (isDate) {
        return dosToDateTime(number);
    }
    return QVariant::fromValue(number);
}

QString TKTBFile::GetOwner() { return AccessField(false, KTB_HDR_OWNER).toString(); }

void TKTBFile::SetOwner(const QString& owner) { AccessField(true, KTB_HDR_OWNER, owner); }

QString TKTBFile::GetDescription()
{
    const QString name = AccessField(false, KTB_HDR_NAME).toString();
    if (!name.isEmpty()) {
        return name;
    }
    return FileName.mid(FileName.lastIndexOf(QLatin1Char('/')) + 1);
}

void TKTBFile::SetDescription(const QString& description) { AccessField(true, KTB_HDR_NAME, description); }

QDateTime TKTBFile::GetCreated() { return AccessField(false, KTB_HDR_CREATED).toDateTime(); }

QDateTime TKTBFile::GetModified() { return AccessField(false, KTB_HDR_MODIFIED).toDateTime(); }

std::uint32_t TKTBFile::GetVersion() { return AccessField(false, KTB_HDR_VERSION).toUInt(); }

void TKTBFile::SetProtectionKey(const QString& key)
{
    ProtectionKey = key;
    AccessField(true, KTB_HDR_KEY, key);
}

std::uint64_t TKTBFile::DataSize()
{
    Open();
    return ktbFileSize(m_handle) - KTB_HEADER_SIZE;
}

int TKTBFile::DiscCount()
{
    TKTBCursor* cursor = ktbFindFirst(Handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES, KTB_HEADER_SIZE, nullptr);
    if (cursor == nullptr) {
        return 0;
    }
    while (ktbFindNext(cursor) == KTB_OK) { }
    const int count = static_cast<int>(cursor->Discs);
    ktbFindClose(cursor);
    return count;
}

std::uint64_t TKTBFile::TotalDiscSize()
{
    TKTBCursor* cursor = ktbFindFirst(Handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES, KTB_HEADER_SIZE, nullptr);
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
// TKTBFiles

TKTBFiles::TKTBFiles()
    : TKTBFiles(Options {})
{
}

TKTBFiles::TKTBFiles(Options options)
    : m_options(options)
{
    if (!m_options.useListFile) {
        return;
    }
    LoadLocations();
    // A damaged file named in the list must not end the program: the failure is kept and shown
    // once the program runs; the filesets registered before it stay.
    try {
        AddLocations();
    } catch (const EKTBException& failure) {
        m_startupError = failure.message();
    } catch (const std::exception& failure) {
        m_startupError = QString::fromUtf8(failure.what());
    }
}

TKTBFiles::~TKTBFiles()
{
    if (m_options.useListFile && !SaveLocations()) {
        questions().messageBox(QStringLiteral("Unable to write to ") + ListFilePath(), QStringLiteral("Katalox"),
            TMsgIcon::Error, mbOK, true);
    }
    Clear();
}

std::optional<QString> TKTBFiles::TakeStartupError()
{
    std::optional<QString> error = std::move(m_startupError);
    m_startupError.reset();
    return error;
}

QString TKTBFiles::ListFilePath() { return QString::fromStdString(configFolder()) + QStringLiteral("ktblist.lst"); }

void TKTBFiles::LoadLocations()
{
    QFile file(ListFilePath());
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
        Locations.append(
            decodeCatalogText(std::string_view(bytes.constData() + start, static_cast<std::size_t>(i - start))));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < bytes.size()) {
        Locations.append(decodeCatalogText(
            std::string_view(bytes.constData() + start, static_cast<std::size_t>(bytes.size() - start))));
    }
}

bool TKTBFiles::SaveLocations() const
{
    QByteArray bytes;
    for (const QString& location : Locations) {
        bytes += location.toUtf8();
        bytes += "\r\n";
    }
    QFile file(ListFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        return false;
    }
    return file.flush();
}

int TKTBFiles::IndexOf(const TKTBFile* fileset) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == fileset) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TKTBFiles::destroyAt(int index)
{
    std::unique_ptr<TKTBFile> fileset = std::move(m_items.at(static_cast<std::size_t>(index)));
    m_items.erase(m_items.begin() + index);
    if (OnNotify) {
        OnNotify(fileset.get(), TListNotification::lnDeleted);
    }
}

void TKTBFiles::Delete(int index) { destroyAt(index); }

void TKTBFiles::Clear()
{
    while (!m_items.empty()) {
        destroyAt(Count() - 1);
    }
}

void TKTBFiles::append(std::unique_ptr<TKTBFile> fileset)
{
    TKTBFile* added = fileset.get();
    m_items.push_back(std::move(fileset));
    if (OnNotify) {
        OnNotify(added, TListNotification::lnAdded);
    }
}

QString TKTBFiles::ConversionQuestionText(const QString& path)
{
    return QStringLiteral("The Fileset \"") + path
        + QStringLiteral("\" is an older version.\r\nYou wish to convert it ?");
}

int TKTBFiles::AddFile(const QString& path)
{
    if (IndexOfPath(path) >= 0) {
        return -1;
    }
    const QByteArray encoded = QFile::encodeName(path);
    TKTBHandle* probe = nullptr;
    const TKTBERROR code = ktbOpen(probe, encoded.constData(), m_options.readOnly ? KTB_OPEN_READONLY : 0);
    ktbClose(probe);
    if (code == KTB_ERR_WRONGVERSION) {
        if (!OnConversionQuestion || !OnConversionQuestion(path)) {
            return -1;
        }
        if (!OnConvertFileset || OnConvertFileset(path) != 1) {
            return -1;
        }
    } else if (code != KTB_OK) {
        throw EKTBException(code, path);
    }
    append(std::make_unique<TKTBFile>(path, false, m_options.readOnly));
    return Count() - 1;
}

void TKTBFiles::AddFolder(const QString& folder)
{
    std::vector<std::string> files;
    ktbListFiles(QFile::encodeName(folder).toStdString(), "*.ktb", files, true);
    for (const std::string& file : files) {
        try {
            AddFile(QFile::decodeName(QByteArray::fromStdString(file)));
        } catch (...) {
            // A damaged or unreadable file found by folder scanning is skipped.
        }
    }
}

void TKTBFiles::AddLocations()
{
    const QStringList locations = Locations;
    for (const QString& location : locations) {
        const QFileInfo info(location);
        if (info.isFile()) {
            AddFile(location);
        } else if (info.isDir()) {
            AddFolder(location);
        }
    }
}

int TKTBFiles::IndexOfPath(const QString& path) const
{
    const QString wanted = upperAscii(path);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (upperAscii(m_items[i]->FileName) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString TKTBFiles::DefaultFileName(const QString& owner, const QString& folder)
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

int TKTBFiles::CreateFileset(const QString& owner, const QString& folder)
{
    try {
        auto fileset = std::make_unique<TKTBFile>(DefaultFileName(owner, folder), true, false);
        fileset->SetOwner(owner);
        append(std::move(fileset));
        return Count() - 1;
    } catch (...) {
        return -1;
    }
}

void TKTBFiles::CloseAll()
{
    for (const auto& fileset : m_items) {
        fileset->Close();
    }
}

// ---------------------------------------------------------------------------------------------
// TKTBOwner, TKTBOwners

int TKTBOwner::IndexOf(const TKTBFile* fileset) const
{
    for (std::size_t i = 0; i < m_filesets.size(); ++i) {
        if (m_filesets[i] == fileset) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TKTBOwner::Remove(const TKTBFile* fileset)
{
    const int index = IndexOf(fileset);
    if (index >= 0) {
        m_filesets.erase(m_filesets.begin() + index);
    }
}

void TKTBOwner::Rename(const QString& name)
{
    Name = name;
    for (TKTBFile* fileset : m_filesets) {
        fileset->SetOwner(name);
    }
}

TKTBOwners::TKTBOwners(TKTBFiles* registry)
    : m_registry(registry)
{
    m_registry->OnNotify = [this](TKTBFile* fileset, TListNotification action) { FilesetNotify(fileset, action); };
    // A fileset that cannot be opened ends the construction: the registry must not keep calling an
    // index that was never made.
    try {
        Rebuild();
    } catch (...) {
        Detach();
        throw;
    }
}

TKTBOwners::~TKTBOwners() { Detach(); }

void TKTBOwners::Detach()
{
    if (m_registry != nullptr) {
        m_registry->OnNotify = nullptr;
        m_registry = nullptr;
    }
}

void TKTBOwners::Delete(int index) { m_owners.erase(m_owners.begin() + index); }

int TKTBOwners::AddOwner(const QString& name)
{
    m_owners.push_back(std::make_unique<TKTBOwner>(name));
    return Count() - 1;
}

void TKTBOwners::AddFileset(const QString& name, TKTBFile* fileset)
{
    const QString ownerName = name.isEmpty() ? NobodyOwner : name;
    int index = IndexOfName(ownerName);
    if (index < 0) {
        index = AddOwner(ownerName);
    }
    Items(index)->Add(fileset);
}

void TKTBOwners::RemoveFileset(TKTBFile* fileset)
{
    // Every reference goes, also under an owner its header no longer names (a locked fileset moved to
    // another owner keeps its old owner text), so no owner outlives the object with a stale pointer.
    for (const auto& owner : m_owners) {
        owner->Remove(fileset);
    }
}

void TKTBOwners::FilesetNotify(TKTBFile* fileset, TListNotification action)
{
    if (action == TListNotification::lnAdded) {
        AddFileset(fileset->GetOwner(), fileset);
    } else if (action == TListNotification::lnDeleted) {
        RemoveFileset(fileset);
    }
}

int TKTBOwners::IndexOfName(const QString& name) const
{
    const QString wanted = upperAscii(name.isEmpty() ? NobodyOwner : name);
    for (std::size_t i = 0; i < m_owners.size(); ++i) {
        if (upperAscii(m_owners[i]->Name) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TKTBOwners::IndexOfFileset(const TKTBFile* fileset) const
{
    for (std::size_t i = 0; i < m_owners.size(); ++i) {
        if (m_owners[i]->IndexOf(fileset) >= 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool TKTBOwners::MoveFileset(TKTBFile* fileset, int target)
{
    const int source = IndexOfFileset(fileset);
    if (source < 0 || source == target || target < 0 || target >= Count()) {
        return false;
    }
    TKTBOwner* from = Items(source);
    from->Remove(fileset);
    Items(target)->Add(fileset);
    if (from->Count() == 0) {
        Delete(source);
    }
    return true;
}

void TKTBOwners::Rebuild()
{
    m_owners.clear();
    if (m_registry == nullptr) {
        return;
    }
    for (int i = 0; i < m_registry->Count(); ++i) {
        TKTBFile* fileset = m_registry->Items(i);
        AddFileset(fileset->GetOwner(), fileset);
    }
}
