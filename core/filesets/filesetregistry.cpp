#include "core/filesets/filesetregistry.h"

#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/owner.h"
#include "core/text/catalogtext.h"
#include "engine/DirTravel.h"
#include "engine/ktb_io.h"
#include "engine/ktb_journal.h"
#include "engine/ktb_owners.h"
#include "platform/configfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

FilesetRegistry* g_filesetRegistry = nullptr;

namespace {

/// Whether this process may write the file: its permissions, a read-only medium and an immutable file
/// all say no.
bool isWritableFile(const QByteArray& encodedPath)
{
    return ::faccessat(AT_FDCWD, encodedPath.constData(), W_OK, AT_EACCESS) == 0;
}

/// Why a file could not be opened, in the user's words, after the engine's message.
QString loadFailureReason(TKTBERROR code, const QString& path)
{
    const QString lineEnd = QStringLiteral("\r\n");
    switch (code) {
    case KTB_ERR_FILENOTAVAILABLE:
        return isWritableFile(QFile::encodeName(path))
            ? lineEnd + QStringLiteral("The file is in use by another program (another Katalox?).")
            : lineEnd + QStringLiteral("The file cannot be read.");
    case KTB_ERR_INVALIDHEADER:
    case KTB_ERR_BADENTITY:
        return lineEnd + QStringLiteral("The file is damaged or is no catalog.");
    default:
        return {};
    }
}

} // namespace

FilesetRegistry::ConversionQuestion FilesetRegistry::onConversionQuestion;
FilesetRegistry::ConvertFileset FilesetRegistry::onConvertFileset;

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
    // A file that cannot be opened is kept and shown once the program runs.
    addLocations();
}

FilesetRegistry::~FilesetRegistry()
{
    if (m_options.useListFile && !saveLocations()) {
        questions().messageBox(QStringLiteral("Unable to write to ") + listFilePath(), QStringLiteral("Katalox"),
            MessageIcon::Error, OkButton, true);
    }
    clear();
}

std::optional<QString> FilesetRegistry::takeLoadErrors()
{
    if (m_loadErrors.isEmpty()) {
        return std::nullopt;
    }
    const QString text = m_loadErrors.join(QStringLiteral("\r\n\r\n"));
    m_loadErrors.clear();
    return text;
}

void FilesetRegistry::keepLoadError(const QString& path, const QString& message)
{
    // Every pass over the locations meets the file again; the user hears of it once.
    if (m_reportedFiles.contains(path)) {
        return;
    }
    m_reportedFiles.append(path);
    m_loadErrors.append(message);
}

void FilesetRegistry::notifyChanged(Fileset* fileset)
{
    if (fileset != nullptr && indexOf(fileset) >= 0) {
        emit filesetChanged(fileset);
    }
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
    emit filesetRemoved(fileset.get());
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
    emit filesetAdded(added);
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
    KtbHandlePtr probe;
    TKTBERROR code = ktbOpenOwned(probe, encoded.constData(), m_options.readOnly ? KTB_OPEN_READONLY : 0);
    bool unwritable = false;
    const TKTBJournalProblem inTheWay
        = code == KTB_ERR_FILENOTAVAILABLE && !m_options.readOnly ? ktbTakeJournalProblem() : TKTBJournalProblem {};
    if (code == KTB_ERR_FILENOTAVAILABLE && !m_options.readOnly
        && (!isWritableFile(encoded) || inTheWay.Trouble != TKTBJournalTrouble::None)) {
        // Browsing and searching need no writing: such a file is shown, and every change refused.
        code = ktbOpenOwned(probe, encoded.constData(), KTB_OPEN_READONLY);
        unwritable = true;
    }
    if (code == KTB_OK && inTheWay.Trouble != TKTBJournalTrouble::None) {
        // Readers read the catalog as it stands; the user learns why it cannot be changed.
        keepLoadError(path,
            QStringLiteral("The fileset ") + path + QStringLiteral(" is opened read-only: beside it, ")
                + QFile::decodeName(QByteArray::fromStdString(inTheWay.Path)) + QStringLiteral(" is ")
                + journalProblemText(inTheWay) + QLatin1Char('.'));
    }
    probe.reset(); // closed before a conversion or the fileset object opens the file again
    if (code == KTB_ERR_WRONGVERSION && !unwritable) {
        if (!onConversionQuestion || !onConversionQuestion(path)) {
            return -1;
        }
        if (!onConvertFileset || onConvertFileset(path) != 1) {
            return -1;
        }
    } else if (code != KTB_OK) {
        throw CatalogError(code, path);
    }
    append(std::make_unique<Fileset>(path, false, m_options.readOnly || unwritable));
    return count() - 1;
}

void FilesetRegistry::addFolder(const QString& folder)
{
    std::vector<std::string> files;
    ktbListFiles(QFile::encodeName(folder).toStdString(), "*.ktb", files, true);
    for (const std::string& file : files) {
        addFileKeepingFailure(QFile::decodeName(QByteArray::fromStdString(file)));
    }
}

void FilesetRegistry::addFileKeepingFailure(const QString& path)
{
    try {
        addFile(path);
    } catch (const CatalogError& failure) {
        keepLoadError(path, failure.message() + loadFailureReason(failure.code, path));
    } catch (const std::exception& failure) {
        keepLoadError(path, QString::fromUtf8(failure.what()));
    }
}

void FilesetRegistry::addLocations()
{
    const QStringList locations = this->locations;
    for (const QString& location : locations) {
        const QFileInfo info(location);
        if (info.isFile()) {
            addFileKeepingFailure(location);
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
    QString safeOwner = owner;
    for (QChar& c : safeOwner) {
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control) {
            c = QLatin1Char('_');
        }
    }
    const QString prefix = owner == NobodyOwner ? QString() : safeOwner + QStringLiteral(" - ");
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

QString FilesetRegistry::creationFailureReason(const QString& path)
{
    const QString quote = QStringLiteral("\"");
    const QFileInfo file(path);
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    if (!QFileInfo(file.absolutePath()).isDir()) {
        return QStringLiteral("The folder ") + quote + folder + quote + QStringLiteral(" does not exist.");
    }
    if (!QFileInfo(file.absolutePath()).isWritable()) {
        return QStringLiteral("The folder ") + quote + folder + quote + QStringLiteral(" cannot be written to.");
    }
    if (file.exists()) {
        return QStringLiteral("A file ") + quote + file.fileName() + quote + QStringLiteral(" exists already.");
    }
    return QStringLiteral("The file cannot be created in the folder ") + quote + folder + quote + QStringLiteral(".");
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
