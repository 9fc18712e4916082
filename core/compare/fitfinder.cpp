#include "core/compare/fitfinder.h"

#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/treelisting.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>

namespace {

MediumRoom roomOf(const CompanionCatalogs& catalogs, int catalog, const CatalogDiscEntry& disc)
{
    MediumRoom room;
    room.catalog = catalog;
    room.offset = disc.offset;
    room.title = disc.title;
    room.path = catalogTreePath(catalogs.at(catalog), {}) + disc.title + QLatin1Char('\\');
    room.serial = disc.serial;
    room.scanTime = disc.scanTime;
    room.capacity = disc.capacity;
    room.used = disc.used;
    return room;
}

/// The disc records of a target, in file order; raises CatalogError when the catalog cannot be read.
void readTarget(const CompanionCatalogs& catalogs, const WalkTarget& target, std::vector<MediumRoom>& media)
{
    if (target.discs.empty()) {
        for (const CatalogDiscEntry& disc : catalogs.discs(target.catalog)) {
            media.push_back(roomOf(catalogs, target.catalog, disc));
        }
        return;
    }
    TKTBHandle* handle = target.fileset->handle();
    for (const std::uint32_t offset : target.discs) {
        TKTBDisc disc {};
        if (!ktbReadDisc(handle, offset, disc)) {
            throw CatalogError(KTB_ERR_DISCNOTEXISTS, target.fileset->fileName);
        }
        const QString title = decodeCatalogText(std::string_view(disc.Title, strnlen(disc.Title, sizeof disc.Title)));
        media.push_back(roomOf(catalogs, target.catalog,
            { offset, title, disc.Serial, disc.Flags, disc.ScanTime, disc.Used, disc.Capacity }));
    }
}

constexpr std::uint64_t s_mediaSizes[] = { 734003200ull, 4707319808ull, 8543666176ull, 25025314816ull, 50050629632ull };
constexpr const char* s_mediaNames[] = { "cd", "dvd", "dvd-dl", "bd", "bd-dl" };

} // namespace

std::vector<MediumRoom> readMediaRoom(
    const CompanionCatalogs& catalogs, const std::vector<WalkTarget>& targets, QStringList& faults)
{
    std::vector<MediumRoom> discs;
    for (const WalkTarget& target : targets) {
        try {
            readTarget(catalogs, target, discs);
        } catch (const CatalogError& error) {
            faults.append(error.message());
        }
    }
    // One medium a serial number: the latest scan tells its room.
    std::map<std::uint32_t, std::size_t> latest;
    for (std::size_t index = 0; index < discs.size(); ++index) {
        const MediumRoom& disc = discs[index];
        if (disc.serial == 0) {
            continue;
        }
        const auto [known, added] = latest.try_emplace(disc.serial, index);
        if (!added && discs[known->second].scanTime < disc.scanTime) {
            known->second = index;
        }
    }
    std::vector<MediumRoom> media;
    for (std::size_t index = 0; index < discs.size(); ++index) {
        if (discs[index].serial != 0 && latest[discs[index].serial] == index) {
            media.push_back(std::move(discs[index]));
        }
    }
    return media;
}

std::vector<MediumRoom> mediaThatHold(const std::vector<MediumRoom>& media, std::uint64_t bytes)
{
    std::vector<MediumRoom> holding;
    std::copy_if(media.begin(), media.end(), std::back_inserter(holding),
        [bytes](const MediumRoom& medium) { return medium.free() >= bytes; });
    std::stable_sort(
        holding.begin(), holding.end(), [](const MediumRoom& a, const MediumRoom& b) { return a.free() < b.free(); });
    return holding;
}

FolderMeasure measureFolder(const QString& location, const std::atomic_bool* stop)
{
    FolderMeasure measure;
    const LocationDrive drive = openLocation(location);
    if (drive.drive == nullptr) {
        measure.failure = drive.failure;
        return measure;
    }
    std::map<std::string, std::size_t> topFolders;
    const DriveWalkResult walked = walkDrive(
        *drive.drive, location,
        [&measure, &topFolders](const DriveItem& item) {
            if (item.folders.empty()) {
                measure.entries.push_back({ std::string(item.name), item.folder, 0, 0 });
                if (item.folder) {
                    topFolders[std::string(item.name)] = measure.entries.size() - 1;
                }
            }
            if (item.folder) {
                return;
            }
            FolderEntryBytes& entry
                = item.folders.empty() ? measure.entries.back() : measure.entries[topFolders.at(item.folders.front())];
            entry.bytes += item.fullSize;
            ++entry.files;
            measure.bytes += item.fullSize;
            ++measure.files;
        },
        [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed); });
    measure.complete = walked.complete;
    measure.failure = walked.failure;
    return measure;
}

MediaPlan planNewMedia(const std::vector<FolderEntryBytes>& entries, std::uint64_t mediumSize)
{
    MediaPlan plan;
    plan.mediumSize = mediumSize;
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
        [&entries](std::size_t a, std::size_t b) { return entries[a].bytes > entries[b].bytes; });
    for (const std::size_t index : order) {
        const std::uint64_t bytes = entries[index].bytes;
        if (bytes > mediumSize) {
            plan.tooLarge.push_back(index);
            continue;
        }
        const auto fits = std::find_if(plan.media.begin(), plan.media.end(),
            [&](const PlannedMedium& medium) { return mediumSize - medium.bytes >= bytes; });
        PlannedMedium& medium = fits != plan.media.end() ? *fits : plan.media.emplace_back();
        medium.entries.push_back(index);
        medium.bytes += bytes;
    }
    return plan;
}

bool parseByteAmount(const QString& text, std::uint64_t& bytes)
{
    const QString amount = text.trimmed().toLower();
    for (std::size_t index = 0; index < std::size(s_mediaNames); ++index) {
        if (amount == QLatin1String(s_mediaNames[index])) {
            bytes = s_mediaSizes[index];
            return true;
        }
    }
    qsizetype digits = 0;
    while (digits < amount.size() && (amount[digits].isDigit() || amount[digits] == QLatin1Char('.'))) {
        ++digits;
    }
    bool number = false;
    const double value = amount.left(digits).toDouble(&number);
    const QString unit = amount.mid(digits);
    static const std::map<QString, double> units = { { QString(), 1.0 }, { QStringLiteral("b"), 1.0 },
        { QStringLiteral("k"), 1024.0 }, { QStringLiteral("kib"), 1024.0 }, { QStringLiteral("kb"), 1e3 },
        { QStringLiteral("m"), 1048576.0 }, { QStringLiteral("mib"), 1048576.0 }, { QStringLiteral("mb"), 1e6 },
        { QStringLiteral("g"), 1073741824.0 }, { QStringLiteral("gib"), 1073741824.0 }, { QStringLiteral("gb"), 1e9 },
        { QStringLiteral("t"), 1099511627776.0 }, { QStringLiteral("tib"), 1099511627776.0 },
        { QStringLiteral("tb"), 1e12 } };
    const auto factor = units.find(unit);
    if (!number || digits == 0 || factor == units.end()) {
        return false;
    }
    const double total = std::floor(value * factor->second);
    if (!(total >= 1.0) || total >= 9.2e18) {
        return false;
    }
    bytes = static_cast<std::uint64_t>(total);
    return true;
}
