#include "tests/gui/scan/scanfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "gui/scan/scanprocedure.h"
#include "platform/configfolder.h"

#include <QDir>
#include <cstring>
#include <filesystem>

namespace {

/// A listing that reports each entry and can refuse one folder.
class HookedListing final : public DriveFolderListing {
public:
    HookedListing(std::unique_ptr<DriveFolderListing> inner, HookedDriveTable& table)
        : m_inner(std::move(inner))
        , m_table(table)
    {
    }
    bool next(TKTBDirEntry& entry) override
    {
        if (!m_inner->next(entry)) {
            return false;
        }
        if (m_table.OnEntry) {
            m_table.OnEntry(entry);
        }
        return true;
    }
    std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry& entry) override
    {
        if (!m_table.UnreadableFolder.empty() && m_table.UnreadableFolder == entry.Name) {
            return nullptr;
        }
        auto sub = m_inner->openSubfolder(entry);
        return sub == nullptr ? nullptr : std::make_unique<HookedListing>(std::move(sub), m_table);
    }

private:
    std::unique_ptr<DriveFolderListing> m_inner;
    HookedDriveTable& m_table;
};

class HookedDrive final : public Drive {
public:
    HookedDrive(Drive& inner, HookedDriveTable& table)
        : m_inner(inner)
        , m_table(table)
    {
    }
    bool volumeFacts(VolumeFacts& facts) override { return m_inner.volumeFacts(facts); }
    bool isAudio(bool& audio) override { return m_inner.isAudio(audio); }
    void setDoor(bool open) override { m_inner.setDoor(open); }
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override
    {
        auto listing = m_inner.openFolder(relativePath);
        return listing == nullptr ? nullptr : std::make_unique<HookedListing>(std::move(listing), m_table);
    }
    bool isDevice() const override { return m_inner.isDevice(); }
    std::string source() const override { return m_inner.source(); }
    bool mediumPresent() override { return m_inner.mediumPresent(); }

private:
    Drive& m_inner;
    HookedDriveTable& m_table;
};

} // namespace

Drive* HookedDriveTable::drive(char letter)
{
    Drive* inner = m_inner.drive(letter);
    if (inner == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(m_mutex);
    std::unique_ptr<Drive>& wrapped = m_wrapped[inner];
    if (wrapped == nullptr) {
        wrapped = std::make_unique<HookedDrive>(*inner, *this);
    }
    return wrapped.get();
}

void ScanFixture::SetUp()
{
    setConfigFolder(m_temp.path());
    std::filesystem::create_directories(storage());
    std::filesystem::create_directories(temporaryFolder());
    m_oldTemporaryFolder = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(temporaryFolder()));
    m_settings = std::make_unique<SettingsScope>();
    settings().setStringValue(FilesetFolderSetting, QString::fromStdString(storage()));
    g_filesetRegistry = new FilesetRegistry();
    g_ownerIndex = new OwnerIndex(g_filesetRegistry);
    m_questions = std::make_unique<ScriptedQuestions>();
    auto table = std::make_unique<HookedDriveTable>();
    m_drives = table.get();
    setDriveTable(std::move(table));
}

void ScanFixture::TearDown()
{
    setDriveTable(nullptr);
    m_questions.reset();
    g_ownerIndex->detach();
    delete g_ownerIndex;
    g_ownerIndex = nullptr;
    delete g_filesetRegistry;
    g_filesetRegistry = nullptr;
    m_settings.reset();
    if (m_oldTemporaryFolder.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", m_oldTemporaryFolder);
    }
    setConfigFolder(std::string());
}

std::string ScanFixture::folderDisc(const std::string& name, int count, std::uint64_t size)
{
    std::vector<DiscTreeEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({ "part" + std::to_string(i / 100) + "/file" + std::to_string(i) + ".dat", size });
    }
    const std::string folder = m_temp.file(name);
    EXPECT_TRUE(writeDiscTree(folder, entries));
    return folder;
}

std::string ScanFixture::isoDisc(const std::string& name, const std::string& volumeId)
{
    const std::string tree = m_temp.file(name + "-tree");
    EXPECT_TRUE(
        writeDiscTree(tree, { { "docs/readme.txt", 120 }, { "docs/more/notes.txt", 300 }, { "top.bin", 5000 } }));
    IsoImageOptions options;
    options.VolumeId = volumeId;
    const std::string image = m_temp.file(name + ".iso");
    EXPECT_TRUE(buildIsoImage(tree, image, options));
    return image;
}

std::string ScanFixture::audioDisc(const std::string& name)
{
    const std::string cue = m_temp.file(name + ".cue");
    EXPECT_TRUE(writeCueDisc(cue, { CueTrack::audio(300), CueTrack::audio(450), CueTrack::audio(600) }));
    return cue;
}

Fileset* ScanFixture::addFileset(const std::string& fileName, const CatalogBuilder& catalog)
{
    const std::string path = storage() + fileName;
    EXPECT_TRUE(catalog.writeTo(path));
    const int index = g_filesetRegistry->addFile(QString::fromStdString(path));
    EXPECT_GE(index, 0);
    g_ownerIndex->rebuild();
    return index >= 0 ? g_filesetRegistry->at(index) : nullptr;
}

std::vector<TKTBDisc> ScanFixture::discsOf(const std::string& path)
{
    std::vector<TKTBDisc> discs;
    for (const std::uint32_t offset : discOffsetsOf(path)) {
        KtbHandlePtr handle;
        ktbOpenOwned(handle, path.c_str(), KTB_OPEN_READONLY);
        TKTBDisc disc {};
        EXPECT_TRUE(ktbReadDisc(handle.get(), offset, disc));
        discs.push_back(disc);
    }
    return discs;
}

std::vector<std::uint32_t> ScanFixture::discOffsetsOf(const std::string& path)
{
    std::vector<std::uint32_t> offsets;
    KtbHandlePtr handle;
    if (ktbOpenOwned(handle, path.c_str(), KTB_OPEN_READONLY) != KTB_OK) {
        ADD_FAILURE() << "cannot open " << path;
        return offsets;
    }
    const KtbCursorPtr cursor(ktbFindFirstAll(handle.get(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    while (cursor != nullptr && cursor->Current != nullptr) {
        offsets.push_back(cursor->Current->Offset);
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
    return offsets;
}

std::uint32_t ScanFixture::serialOf(char letter)
{
    TKTBDisc disc {};
    EXPECT_TRUE(ktbDiscFromDrive(letter, disc));
    return disc.Serial;
}

QStringList ScanFixture::scratchLeftovers() const
{
    return QDir(QString::fromStdString(temporaryFolder()))
        .entryList(
            { ScratchFolderPrefix + QStringLiteral("*") }, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

QString titleOf(const TKTBDisc& disc)
{
    return QString::fromUtf8(disc.Title, static_cast<qsizetype>(strnlen(disc.Title, sizeof disc.Title)));
}

QString commentOf(const TKTBDisc& disc)
{
    return QString::fromUtf8(disc.Comment, static_cast<qsizetype>(strnlen(disc.Comment, sizeof disc.Comment)));
}

TKTBDisc discTemplate(const std::string& title, const std::string& comment)
{
    TKTBDisc disc {};
    std::memcpy(disc.Title, title.data(), std::min(title.size(), sizeof disc.Title - 1));
    std::memcpy(disc.Comment, comment.data(), std::min(comment.size(), sizeof disc.Comment - 1));
    return disc;
}
