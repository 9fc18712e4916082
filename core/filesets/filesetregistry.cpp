#include "core/filesets/filesetregistry.h"

#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/owner.h"
#include "core/text/catalogtext.h"
#include "engine/DirTravel.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "platform/configfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cstring>

FilesetRegistry* g_filesetRegistry = nullptr;
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
    const TKTBERROR code = ktbOpenOwned(probe, encoded.constData(), m_options.readOnly ? KTB_OPEN_READONLY : 0);
    probe.reset(); // closed before a conversion or the fileset object opens the file again
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
