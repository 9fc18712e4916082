#include "core/companion/companioncatalogs.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companionarguments.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "core/text/catalogtext.h"
#include "engine/DirTravel.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

QString catalogTreePath(const CatalogEntry& catalog, std::span<const std::string> names)
{
    QString path = catalog.owner + QLatin1Char('\\') + catalog.description + QLatin1Char('\\');
    for (const std::string& name : names) {
        path += decodeCatalogText(name) + QLatin1Char('\\');
    }
    return path;
}

QString CatalogProblem::message() const
{
    if (code == KTB_OK) {
        return path + QStringLiteral(": no such file or folder");
    }
    return CatalogError::buildMessage(code, path);
}

CompanionCatalogs::CompanionCatalogs()
    : m_registry(std::make_unique<FilesetRegistry>(FilesetRegistry::Options { .useListFile = false, .readOnly = true }))
{
}

CompanionCatalogs::~CompanionCatalogs() = default;

void CompanionCatalogs::load(const CompanionArguments& arguments)
{
    if (!arguments.catalogs.isEmpty()) {
        for (const QString& path : arguments.catalogs) {
            addPath(path);
        }
        return;
    }
    m_registry->loadLocations();
    const QStringList locations = m_registry->locations;
    for (const QString& location : locations) {
        // A location that no longer exists is passed over, as the main window does.
        if (QFileInfo::exists(location)) {
            addPath(location);
        }
    }
    QString folder = arguments.storageFolder;
    if (folder.isEmpty()) {
        folder = Settings().stringValue(FilesetFolderSetting);
    }
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        addPath(folder);
    }
}

bool CompanionCatalogs::addPath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        m_problems.push_back({ path, KTB_OK });
        return false;
    }
    bool added = true;
    if (info.isDir()) {
        std::vector<std::string> files;
        ktbListFiles(QFile::encodeName(path).toStdString(), "*.ktb", files, true);
        for (const std::string& file : files) {
            added = addCatalogFile(QFile::decodeName(QByteArray::fromStdString(file))) && added;
        }
    } else {
        added = addCatalogFile(path);
    }
    refreshEntries();
    return added;
}

bool CompanionCatalogs::addCatalogFile(const QString& path)
{
    // The registry would leave an older-version catalog out silently (its conversion question answers
    // No here) and a damaged one found in a folder too; a companion names both.
    KtbHandlePtr probe;
    const TKTBERROR code = ktbOpenOwned(probe, QFile::encodeName(path).constData(), KTB_OPEN_READONLY);
    if (code != KTB_OK) {
        m_problems.push_back({ path, code });
        return false;
    }
    probe.reset();
    try {
        m_registry->addFile(path);
    } catch (const CatalogError& error) {
        m_problems.push_back({ path, error.code });
        return false;
    }
    return true;
}

void CompanionCatalogs::refreshEntries()
{
    m_entries.clear();
    m_owners.clear();
    std::vector<int> unreadable;
    for (int index = 0; index < m_registry->count(); ++index) {
        Fileset* fileset = m_registry->at(index);
        CatalogEntry entry;
        entry.fileset = fileset;
        entry.fileName = fileset->fileName;
        try {
            entry.description = fileset->description();
            entry.owner = fileset->owner();
        } catch (const CatalogError& error) {
            m_problems.push_back({ fileset->fileName, error.code });
            unreadable.push_back(index);
            continue;
        }
        m_entries.push_back(entry);
    }
    for (auto index = unreadable.rbegin(); index != unreadable.rend(); ++index) {
        m_registry->removeAt(*index);
    }
    // Filed as the main window files them: the owners index decides which texts name one owner.
    OwnerIndex owners(m_registry.get());
    for (int i = 0; i < owners.count(); ++i) {
        const Owner* owner = owners.at(i);
        OwnerGroup group { owner->name, {} };
        for (int f = 0; f < owner->count(); ++f) {
            const int catalog = m_registry->indexOf(owner->at(f));
            m_entries.at(static_cast<std::size_t>(catalog)).owner = owner->name;
            group.catalogs.push_back(catalog);
        }
        m_owners.push_back(std::move(group));
    }
}

std::vector<WalkTarget> CompanionCatalogs::wholeTargets() const
{
    std::vector<WalkTarget> targets;
    for (int index = 0; index < count(); ++index) {
        targets.push_back({ index, at(index).fileset, {} });
    }
    return targets;
}

std::vector<CatalogDiscEntry> CompanionCatalogs::discs(int index) const
{
    Fileset* fileset = at(index).fileset;
    std::vector<CatalogDiscEntry> discs;
    TKTBHandle* handle = fileset->handle();
    KtbCursorPtr cursor(ktbFindFirstAll(handle, KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    // Without a cursor the last error tells why, unless the catalog is empty (it is not touched then).
    TKTBERROR answer = cursor != nullptr        ? KTB_OK
        : ktbFileSize(handle) > KTB_HEADER_SIZE ? ktbLastError()
                                                : KTB_NOENTITIES;
    while (answer == KTB_OK) {
        if (const TKTBDisc* disc = cursor->Current->disc()) {
            discs.push_back({ cursor->Current->Offset,
                decodeCatalogText(std::string_view(disc->Title, strnlen(disc->Title, sizeof disc->Title))),
                disc->Serial, disc->Flags, disc->ScanTime, disc->Used, disc->Capacity });
        }
        answer = ktbFindNext(cursor.get());
    }
    if (answer != KTB_NOENTITIES) {
        throw CatalogError(answer, fileset->fileName);
    }
    return discs;
}
