#include "core/compare/treelisting.h"

#include "core/companion/catalogwalk.h"
#include "core/compare/foldedname.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_utils.h"
#include "platform/drivelayer.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>

std::size_t TreeListing::child(std::size_t parent, std::string_view folded)
{
    Children& children = m_nodes[parent].children;
    if (const auto found = children.find(folded); found != children.end()) {
        return found->second;
    }
    children.emplace(std::string(folded), m_nodes.size());
    m_nodes.emplace_back();
    return m_nodes.size() - 1;
}

void TreeListing::add(std::span<const std::string> folders, std::string_view name, bool folder, std::uint32_t size,
    std::uint32_t dateTime)
{
    // The folders that hold the entry are those of the entry before it, cut to its depth (a walk goes
    // depth first); a walk that starts below the top names folders that were never entries.
    if (m_open.size() > folders.size()) {
        m_open.resize(folders.size());
    }
    if (!m_open.empty() && m_open.back().folded != foldedName(folders[m_open.size() - 1])) {
        m_open.clear(); // not in the order of a walk: found by name from the top
    }
    while (m_open.size() < folders.size()) {
        const std::size_t parent = m_open.empty() ? 0 : m_open.back().node;
        const std::string_view folded = foldedName(folders[m_open.size()]);
        m_open.push_back({ child(parent, folded), std::string(folded) });
    }
    const std::string_view folded = foldedName(name);
    const std::size_t node = child(m_open.empty() ? 0 : m_open.back().node, folded);
    const std::size_t index = m_entries.size();
    m_entries.push_back({ std::string(name), folder, size, dateTime, None });
    Node& path = m_nodes[node];
    (path.lastEntry == None ? path.firstEntry : m_entries[path.lastEntry].nextAtPath) = index;
    path.lastEntry = index;
    if (folder) {
        m_open.push_back({ node, std::string(folded) });
    }
}

void TreeListing::addRecord(const WalkRecord& record, std::size_t skippedNames)
{
    const bool folder = record.kind == KTB_TAG_FOLDER || record.kind == KTB_TAG_DISC;
    if (!folder && record.kind != KTB_TAG_FILE) {
        return;
    }
    // A disc's or folder's record ends its own chain.
    const std::size_t parents = folder ? record.chainNames.size() - 1 : record.chainNames.size();
    if (parents < skippedNames) {
        return;
    }
    add(record.chainNames.subspan(skippedNames, parents - skippedNames), record.name, folder, record.size,
        record.dateTime);
}

namespace {

struct DriveWalkState {
    std::vector<std::string> folders;
    const std::function<void(const DriveItem&)>* visit;
    const std::function<bool()>* stopRequested;
};

bool takeEntry(std::uint8_t kind, const char* /*path*/, const TKTBDirEntry* entry, void* userData)
{
    auto& state = *static_cast<DriveWalkState*>(userData);
    if (kind == KTB_WALK_ENDFOLDER) {
        if (!state.folders.empty()) {
            state.folders.pop_back();
        }
        return !(*state.stopRequested)();
    }
    DriveItem item;
    item.folders = state.folders;
    item.name = std::string_view(entry->Name, strnlen(entry->Name, sizeof entry->Name));
    item.folder = kind == KTB_WALK_FOLDER;
    if (!item.folder) {
        // As the recording stores them.
        item.fullSize = entry->Size;
        item.size = static_cast<std::uint32_t>(entry->Size);
        item.dateTime = ktbUnixToLocalDos(entry->LastWriteTime);
    }
    (*state.visit)(item);
    if (item.folder) {
        state.folders.emplace_back(item.name);
    }
    return !(*state.stopRequested)();
}

} // namespace

DriveWalkResult walkDrive(Drive& drive, const QString& shownName, const std::function<void(const DriveItem&)>& visit,
    const std::function<bool()>& stopRequested)
{
    DriveWalkState state { {}, &visit, &stopRequested };
    DriveWalkResult result;
    if (ktbWalkDriveFolder(drive, std::string(), std::string(), "*.*", takeEntry, &state)
        || ktbLastWalkFoundNothing()) {
        result.complete = true;
        return result;
    }
    if (stopRequested()) {
        return result;
    }
    QString folder = QString::fromUtf8(ktbLastWalkFailure());
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    result.failure = QStringLiteral("%1: cannot read the folder \"%2\"").arg(shownName, folder);
    const std::string problem = ktbLastWalkProblem();
    if (!problem.empty()) {
        result.failure += QStringLiteral(": ") + QString::fromStdString(problem);
    }
    return result;
}

void EntryProgress::count()
{
    // The clock is read once every 1024 entries.
    if (++m_entries % 1024 != 0 || !m_walk.onProgress) {
        return;
    }
    const std::int64_t now
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
              .count();
    if (now >= m_nextMilliseconds) {
        m_nextMilliseconds = now + 200;
        m_walk.onProgress(m_entries, 0);
    }
}

LocationDrive openLocation(const QString& location)
{
    LocationDrive result;
    static const QRegularExpression driveLetter(QStringLiteral("^[A-Za-z]:$"));
    if (driveLetter.match(location).hasMatch()) {
        result.drive = driveTable().drive(location.at(0).toUpper().toLatin1());
        if (result.drive == nullptr) {
            result.failure = location + QStringLiteral(": no such drive");
        }
        return result;
    }
    if (!QFileInfo::exists(location)) {
        result.failure = location + QStringLiteral(": no such file or folder");
        return result;
    }
    result.owned = openPathDrive(QFile::encodeName(location).toStdString());
    VolumeFacts facts;
    if (result.owned == nullptr || !result.owned->volumeFacts(facts)) {
        result.failure = location + QStringLiteral(": neither a folder nor a readable disc image");
        if (!facts.Problem.empty()) {
            result.failure += QStringLiteral(" (") + QString::fromStdString(facts.Problem) + QLatin1Char(')');
        }
        result.owned.reset();
        return result;
    }
    result.drive = result.owned.get();
    return result;
}
