#include "core/export/catalogimport.h"

#include "core/catalog/discrecording.h"
#include "core/export/exporttext.h"
#include "core/export/jsonreader.h"
#include "core/filesets/catalogerror.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_owners.h"
#include "engine/ktb_utils.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace {

/// Folders deeper than this in a document are refused: no disc holds such a tree (a path of the file
/// system holds 4,096 bytes at most).
constexpr std::size_t s_maxDepth = 2048;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openForReading(const QString& path, QString& error)
{
    FilePtr file(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (file == nullptr) {
        error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    return file;
}

/// Opens the file to import, its size being the total of the progress; null (result.error set) when it
/// cannot be read.
FilePtr openSource(const QString& path, ImportResult& result, std::uint64_t& total)
{
    FilePtr file = openForReading(path, result.error);
    total = file == nullptr ? 0 : static_cast<std::uint64_t>(QFileInfo(path).size());
    return file;
}

QString discText(const TKTBDisc& disc)
{
    return QStringLiteral("\"%1\" (serial %2)")
        .arg(decodeCatalogText(std::string_view(disc.Title, strnlen(disc.Title, sizeof disc.Title))),
            QString::fromStdString(serialText(disc.Serial)));
}

std::int64_t nowMilliseconds() { return QDateTime::currentMSecsSinceEpoch(); }

} // namespace

/// Reads the discs of a JSON export and builds each in a scratch catalog.
class JsonDiscReader {
public:
    JsonDiscReader(CatalogImport& import, JsonReader& reader, const QString& path)
        : m_import(import)
        , m_reader(reader)
        , m_path(path)
    {
    }

    bool run(const ImportOptions& options, ImportResult& result);

private:
    /// A text and the bytes given for it in a "...Bytes" field.
    struct Text {
        std::string text;
        std::string bytes;
        bool hasBytes = false;
        const std::string& stored() const { return hasBytes ? bytes : text; }
    };
    struct Counts {
        std::uint64_t files = 0;
        std::uint64_t folders = 0;
        std::uint64_t bytes = 0;
    };
    /// An entry being read: its keys so far, and whether its folder record is written already.
    struct OpenEntry {
        Text name;
        Text comment;
        std::uint64_t size = 0;
        std::uint32_t dateTime = 0;
        bool folder = false;
        bool opened = false;
    };

    bool fail(const QString& what)
    {
        if (m_error.isEmpty()) {
            m_error = m_path + QStringLiteral(": ") + what;
        }
        return false;
    }
    bool failReader() { return fail(QString::fromStdString(m_reader.error())); }
    bool next(JsonReader::Token& token) { return m_reader.next(token) || failReader(); }
    bool expect(JsonReader::Token wanted, const char* what);
    /// Reads a key's string value into text, or its base64 into bytes for a "...Bytes" key.
    bool readText(const std::string& key, const char* name, Text& text, bool& matched);
    bool readUnsigned(std::uint64_t limit, std::uint64_t& value, const std::string& key);

    bool readFilesets(const ImportOptions& options, ImportResult& result);
    bool readFileset(const ImportOptions& options, ImportResult& result);
    bool readDisc(bool wanted, ImportResult& result);
    TKTBERROR buildDisc(TKTBHandle* scratch, TKTBDisc& disc);
    /// Reads the "katalox" or "version" key's value: what the document says it is.
    bool readKind();
    /// Reads an array of entries whose "[" was read, with every folder's entries in it.
    bool readEntries(TKTBAppender& out, Counts& counts);
    /// Reads the keys of an entry up to its end, or up to the "[" of its own entries (opened then set).
    bool readEntryKeys(TKTBAppender& out, OpenEntry& entry, std::size_t depth, bool& descended);
    /// Writes the record of an entry whose keys are read, or its folder's end.
    bool finishEntry(TKTBAppender& out, Counts& counts, const OpenEntry& entry);
    bool writeName(TKTBAppender& out, const OpenEntry& entry);

    CatalogImport& m_import;
    JsonReader& m_reader;
    QString m_path;
    QString m_error;
    std::uint32_t m_discIndex = 0;
};

bool JsonDiscReader::expect(JsonReader::Token wanted, const char* what)
{
    JsonReader::Token token {};
    if (!next(token)) {
        return false;
    }
    return token == wanted
        || fail(QStringLiteral("%1 expected at byte %2").arg(QLatin1String(what)).arg(m_reader.position()));
}

bool JsonDiscReader::readText(const std::string& key, const char* name, Text& text, bool& matched)
{
    const std::size_t length = std::strlen(name);
    matched = false;
    const bool plain = key == name;
    const bool bytes
        = key.size() == length + 5 && key.compare(0, length, name) == 0 && key.compare(length, 5, "Bytes") == 0;
    if (!plain && !bytes) {
        return true;
    }
    matched = true;
    if (!expect(JsonReader::Token::String, "a text")) {
        return false;
    }
    if (plain) {
        text.text = m_reader.text();
        return true;
    }
    text.hasBytes = true;
    return decodeBase64(m_reader.text(), text.bytes)
        || fail(
            QStringLiteral("\"%1\" is no base64 at byte %2").arg(QString::fromStdString(key)).arg(m_reader.position()));
}

bool JsonDiscReader::readUnsigned(std::uint64_t limit, std::uint64_t& value, const std::string& key)
{
    return expect(JsonReader::Token::Number, "a number")
        && (m_reader.number(limit, value)
            || fail(QStringLiteral("\"%1\" must be a whole number from 0 to %2 at byte %3")
                        .arg(QString::fromStdString(key))
                        .arg(limit)
                        .arg(m_reader.position())));
}

bool JsonDiscReader::run(const ImportOptions& options, ImportResult& result)
{
    if (!expect(JsonReader::Token::ObjectBegin, "a JSON object")) {
        result.error = m_error;
        return false;
    }
    bool sawFilesets = false;
    JsonReader::Token token {};
    while (next(token) && token == JsonReader::Token::Key) {
        if (m_reader.text() == "katalox" || m_reader.text() == "version") {
            if (!readKind()) {
                break;
            }
            continue;
        }
        if (m_reader.text() != "filesets") {
            if (!next(token) || !m_reader.skipValue(token)) {
                failReader();
                break;
            }
            continue;
        }
        sawFilesets = true;
        if (!readFilesets(options, result)) {
            break;
        }
    }
    if (m_error.isEmpty() && !sawFilesets) {
        fail(QStringLiteral("no \"filesets\": not a catalog export"));
    }
    if (m_error.isEmpty() && token == JsonReader::Token::ObjectEnd) {
        next(token);
    }
    if (!result.error.isEmpty() || result.cancelled) {
        return false;
    }
    result.error = m_error;
    return m_error.isEmpty();
}

bool JsonDiscReader::readFilesets(const ImportOptions& options, ImportResult& result)
{
    if (!expect(JsonReader::Token::ArrayBegin, "an array of filesets")) {
        return false;
    }
    JsonReader::Token token {};
    while (next(token) && token == JsonReader::Token::ObjectBegin) {
        if (!readFileset(options, result)) {
            return false;
        }
    }
    return m_error.isEmpty() && (token == JsonReader::Token::ArrayEnd || fail(QStringLiteral("a fileset expected")));
}

bool JsonDiscReader::readFileset(const ImportOptions& options, ImportResult& result)
{
    JsonReader::Token token {};
    while (next(token) && token == JsonReader::Token::Key) {
        if (m_reader.text() != "discs") {
            if (!next(token) || !m_reader.skipValue(token)) {
                return failReader();
            }
            continue;
        }
        if (!expect(JsonReader::Token::ArrayBegin, "an array of discs")) {
            return false;
        }
        while (next(token) && token == JsonReader::Token::ObjectBegin) {
            const std::uint32_t index = m_discIndex++;
            const bool wanted = options.discs.empty()
                || std::find(options.discs.begin(), options.discs.end(), index) != options.discs.end();
            if (!readDisc(wanted, result)) {
                return false;
            }
        }
        if (!m_error.isEmpty()) {
            return false;
        }
        if (token != JsonReader::Token::ArrayEnd) {
            return fail(QStringLiteral("a disc expected"));
        }
    }
    return m_error.isEmpty();
}

bool JsonDiscReader::readDisc(bool wanted, ImportResult& result)
{
    if (!wanted) {
        return m_reader.skipValue(JsonReader::Token::ObjectBegin) || failReader();
    }
    const bool goOn = m_import.appendDisc(
        [this](TKTBHandle* scratch, TKTBDisc& disc, QString& error) {
            const TKTBERROR code = buildDisc(scratch, disc);
            error = m_error;
            return code;
        },
        result);
    return goOn;
}

TKTBERROR JsonDiscReader::buildDisc(TKTBHandle* scratch, TKTBDisc& disc)
{
    TKTBAppender out(scratch);
    const std::uint64_t start = out.position();
    disc = TKTBDisc {};
    out.appendByte(KTB_TAG_DISC);
    out.append(&disc, sizeof disc);

    Text title;
    Text comment;
    Counts counts;
    bool hasFlags = false;
    bool hasUsed = false;
    bool hasCapacity = false;
    bool audio = false;
    const auto bad = [this] { return KTB_ERR_BADENTITY; };
    JsonReader::Token token {};
    while (next(token) && token == JsonReader::Token::Key) {
        const std::string key = m_reader.text();
        bool matched = false;
        if (!readText(key, "title", title, matched)) {
            return bad();
        }
        if (!matched && !readText(key, "comment", comment, matched)) {
            return bad();
        }
        if (matched) {
            continue;
        }
        std::uint64_t value = 0;
        if (key == "serial") {
            if (!expect(JsonReader::Token::String, "the serial as text")) {
                return bad();
            }
            if (!parseSerialText(m_reader.text(), disc.Serial)) {
                fail(QStringLiteral("\"%1\" is no serial (as \"D61A-E85B\") at byte %2")
                         .arg(QString::fromStdString(m_reader.text()))
                         .arg(m_reader.position()));
                return bad();
            }
        } else if (key == "flags") {
            if (!readUnsigned(UINT32_MAX, value, key)) {
                return bad();
            }
            disc.Flags = static_cast<std::uint32_t>(value);
            hasFlags = true;
        } else if (key == "audio") {
            if (!next(token) || (token != JsonReader::Token::True && token != JsonReader::Token::False)) {
                fail(QStringLiteral("\"audio\" must be true or false"));
                return bad();
            }
            audio = token == JsonReader::Token::True;
        } else if (key == "scanned" || key == "scanTime") {
            if (!next(token)) {
                return bad();
            }
            if (token == JsonReader::Token::String && key == "scanned") {
                if (!parseDosDateTime(m_reader.text(), disc.ScanTime)) {
                    fail(QStringLiteral("\"scanned\" is no date (as \"2003-05-01T12:00:00\") at byte %1")
                             .arg(m_reader.position()));
                    return bad();
                }
            } else if (token == JsonReader::Token::Number && m_reader.number(UINT32_MAX, value)) {
                disc.ScanTime = static_cast<std::uint32_t>(value);
            } else if (token != JsonReader::Token::Null) {
                fail(QStringLiteral("\"%1\" is no date at byte %2")
                         .arg(QString::fromStdString(key))
                         .arg(m_reader.position()));
                return bad();
            }
        } else if (key == "used" || key == "capacity") {
            if (!readUnsigned(INT64_MAX, value, key)) {
                return bad();
            }
            (key == "used" ? disc.Used : disc.Capacity) = static_cast<std::int64_t>(value);
            (key == "used" ? hasUsed : hasCapacity) = true;
        } else if (key == "files" || key == "folders") {
            // Counted from the entries that arrive, whatever the document claims.
            if (!readUnsigned(UINT32_MAX, value, key)) {
                return bad();
            }
        } else if (key == "entries") {
            // The disc's fields come before its entries in an export: a disc the fileset holds already
            // is refused before its tree is read.
            ktbStoreText(disc.Title, sizeof disc.Title, title.stored());
            if (KtbEntityPtr existing; ktbFindDiscBySerialOwned(m_import.m_destination, disc.Serial, existing)) {
                if (!next(token) || !m_reader.skipValue(token) || !m_reader.skipValue(JsonReader::Token::ObjectBegin)) {
                    failReader();
                    return bad();
                }
                return KTB_ERR_DISCEXISTS;
            }
            if (!expect(JsonReader::Token::ArrayBegin, "an array of entries") || !readEntries(out, counts)) {
                return m_import.stopRequested() ? KTB_ERR_INTERRUPTED : bad();
            }
        } else if (!next(token) || !m_reader.skipValue(token)) {
            failReader();
            return bad();
        }
    }
    if (!m_error.isEmpty()) {
        return bad();
    }
    if (token != JsonReader::Token::ObjectEnd) {
        fail(QStringLiteral("a key expected at byte %1").arg(m_reader.position()));
        return bad();
    }
    out.appendByte(KTB_TAG_ENDDISC);
    ktbStoreText(disc.Title, sizeof disc.Title, title.stored());
    ktbStoreText(disc.Comment, sizeof disc.Comment, comment.stored());
    if (!hasFlags && audio) {
        disc.Flags = KTB_DISC_AUDIO;
    }
    disc.Files = static_cast<std::uint32_t>(counts.files);
    disc.Folders = static_cast<std::uint32_t>(counts.folders);
    if (!hasUsed) {
        disc.Used = static_cast<std::int64_t>(counts.bytes);
    }
    if (!hasCapacity) {
        disc.Capacity = ktbRoundCapacity(disc.Used);
    }
    disc.RunLength = static_cast<std::uint32_t>(out.position() - start);
    if (!out.patch(start + 1, &disc, sizeof disc) || !out.flush()) {
        return KTB_ERR_MAPPINGFAILED;
    }
    return KTB_OK;
}

bool JsonDiscReader::readEntries(TKTBAppender& out, Counts& counts)
{
    // The entries whose own entries are being read, the outermost first. A loop rather than recursion:
    // the depth of a document costs memory, never stack.
    std::vector<OpenEntry> open;
    for (;;) {
        JsonReader::Token token {};
        if (!next(token)) {
            return false;
        }
        if (token == JsonReader::Token::ArrayEnd) {
            if (open.empty()) {
                return true;
            }
            // A folder's entries ended: its remaining keys follow.
        } else if (token == JsonReader::Token::ObjectBegin) {
            if (m_import.stopRequested()) {
                return false;
            }
            open.emplace_back();
        } else {
            return fail(QStringLiteral("an entry expected at byte %1").arg(m_reader.position()));
        }
        bool descended = false;
        if (!readEntryKeys(out, open.back(), open.size() - 1, descended)) {
            return false;
        }
        if (descended) {
            continue;
        }
        if (!finishEntry(out, counts, open.back())) {
            return false;
        }
        open.pop_back();
        m_import.noteProgress(m_reader.position());
    }
}

bool JsonDiscReader::writeName(TKTBAppender& out, const OpenEntry& entry)
{
    if (entry.name.stored().empty()) {
        return fail(QStringLiteral("an entry without a name at byte %1").arg(m_reader.position()));
    }
    return out.appendString(entry.name.stored())
        || fail(QStringLiteral("a name longer than 65,535 bytes at byte %1").arg(m_reader.position()));
}

bool JsonDiscReader::readEntryKeys(TKTBAppender& out, OpenEntry& entry, std::size_t depth, bool& descended)
{
    JsonReader::Token token {};
    while (next(token) && token == JsonReader::Token::Key) {
        const std::string key = m_reader.text();
        bool matched = false;
        if (!readText(key, "name", entry.name, matched)
            || (!matched && !readText(key, "comment", entry.comment, matched))) {
            return false;
        }
        if (matched) {
            continue;
        }
        std::uint64_t value = 0;
        if (key == "size") {
            if (!readUnsigned(UINT32_MAX, entry.size, key)) {
                return false;
            }
        } else if (key == "modified" || key == "dateTime") {
            if (!next(token)) {
                return false;
            }
            if (token == JsonReader::Token::String && key == "modified") {
                if (!parseDosDateTime(m_reader.text(), entry.dateTime)) {
                    return fail(QStringLiteral("\"modified\" is no date (as \"2003-05-01T12:00:00\") at byte %1")
                                    .arg(m_reader.position()));
                }
            } else if (token == JsonReader::Token::Number && m_reader.number(UINT32_MAX, value)) {
                entry.dateTime = static_cast<std::uint32_t>(value);
            } else if (token != JsonReader::Token::Null) {
                return fail(QStringLiteral("\"%1\" is no date at byte %2")
                                .arg(QString::fromStdString(key))
                                .arg(m_reader.position()));
            }
        } else if (key == "folder") {
            if (!next(token)) {
                return false;
            }
            entry.folder = token == JsonReader::Token::True;
            if (!m_reader.skipValue(token)) {
                return failReader();
            }
        } else if (key == "entries") {
            if (entry.opened) {
                return fail(QStringLiteral("a folder with two lists of entries at byte %1").arg(m_reader.position()));
            }
            if (depth >= s_maxDepth) {
                return fail(QStringLiteral("folders nested deeper than %1 levels").arg(s_maxDepth));
            }
            entry.folder = true;
            entry.opened = true;
            out.appendByte(KTB_TAG_FOLDER);
            if (!writeName(out, entry) || !expect(JsonReader::Token::ArrayBegin, "an array of entries")) {
                return false;
            }
            descended = true;
            return true;
        } else if (!next(token) || !m_reader.skipValue(token)) {
            return failReader();
        }
    }
    if (!m_error.isEmpty()) {
        return false;
    }
    return token == JsonReader::Token::ObjectEnd
        || fail(QStringLiteral("a key expected at byte %1").arg(m_reader.position()));
}

bool JsonDiscReader::finishEntry(TKTBAppender& out, Counts& counts, const OpenEntry& entry)
{
    if (entry.folder) {
        if (!entry.opened) {
            out.appendByte(KTB_TAG_FOLDER);
            if (!writeName(out, entry)) {
                return false;
            }
        }
        out.appendByte(KTB_TAG_ENDFOLDER);
        ++counts.folders;
        return out.ok() || fail(QStringLiteral("the scratch catalog cannot be written"));
    }
    const auto fileSize = static_cast<std::uint32_t>(entry.size);
    out.appendByte(KTB_TAG_FILE);
    if (!writeName(out, entry)) {
        return false;
    }
    out.append(&fileSize, sizeof fileSize);
    out.append(&entry.dateTime, sizeof entry.dateTime);
    if (!out.appendString(entry.comment.stored())) {
        return fail(QStringLiteral("a comment longer than 65,535 bytes"));
    }
    ++counts.files;
    counts.bytes += fileSize;
    return out.ok() || fail(QStringLiteral("the scratch catalog cannot be written"));
}

bool JsonDiscReader::readKind()
{
    // An export says what it is ({"katalox": "export", "version": 1}); a document made by hand may leave
    // both out, but one that says it is something else, or of another version, is not read as ours.
    const bool tag = m_reader.text() == "katalox";
    JsonReader::Token token {};
    if (!next(token)) {
        return false;
    }
    if (tag) {
        return (token == JsonReader::Token::String && m_reader.text() == "export")
            || fail(QStringLiteral("not a catalog export (\"katalox\" is not \"export\")"));
    }
    std::uint64_t version = 0;
    return (token == JsonReader::Token::Number && m_reader.number(UINT32_MAX, version) && version == 1)
        || fail(QStringLiteral("an export of another version than 1, which this program cannot read"));
}

// ---------------------------------------------------------------------------------------------

CatalogImport::CatalogImport(TKTBHandle* destination, const QString& destinationName, ScratchLayout layout)
    : m_destination(destination)
    , m_destinationName(destinationName)
    , m_layout(std::move(layout))
{
}

void CatalogImport::noteProgress(std::uint64_t done)
{
    if (!onProgress) {
        return;
    }
    const std::int64_t now = nowMilliseconds();
    if (now < m_nextProgress && done < m_total) {
        return;
    }
    m_nextProgress = now + 200;
    onProgress(done, m_total);
}

bool CatalogImport::appendDisc(
    const std::function<TKTBERROR(TKTBHandle* scratch, TKTBDisc& disc, QString& error)>& build, ImportResult& result)
{
    DiscRecording recording(m_layout);
    if (!recording.usable()) {
        result.error = QStringLiteral("Cannot make a scratch folder in %1").arg(m_layout.temporaryFolder);
        return false;
    }
    const QString scratchPath = QFile::decodeName(recording.scratchPath());
    if (const TKTBERROR code = recording.create(); code != KTB_OK) {
        result.error = CatalogError::buildMessage(code, scratchPath);
        return false;
    }
    TKTBDisc disc {};
    QString error;
    const TKTBERROR built = recording.recordWith([&](TKTBHandle* scratch) { return build(scratch, disc, error); });
    if (built == KTB_ERR_DISCEXISTS) {
        result.refused.append(discText(disc) + QStringLiteral(": the fileset holds this disc already"));
        return true;
    }
    if (stopRequested()) {
        result.cancelled = true;
        return false;
    }
    if (built != KTB_OK) {
        result.error = !error.isEmpty() ? error : CatalogError::buildMessage(built, scratchPath);
        return false;
    }
    const TransplantResult moved = recording.transplant(m_destination, 0);
    if (moved.code == KTB_ERR_DISCEXISTS) {
        result.refused.append(discText(disc) + QStringLiteral(": the fileset holds this disc already"));
        return true;
    }
    if (moved.failure != TransplantFailure::None) {
        result.error = moved.failure == TransplantFailure::ScratchNotOpened
            ? CatalogError::buildMessage(moved.code, scratchPath)
            : CatalogError::buildMessage(moved.code, m_destinationName);
        return false;
    }
    result.imported.push_back({ decodeCatalogText(std::string_view(disc.Title, strnlen(disc.Title, sizeof disc.Title))),
        disc.Serial, moved.offset, disc.Files, disc.Folders });
    return true;
}

ImportResult CatalogImport::importFile(const QString& path, const ImportOptions& options)
{
    ImportResult result;
    const FilePtr file = openForReading(path, result.error);
    if (file == nullptr) {
        return result;
    }
    int first = 0;
    do {
        first = std::fgetc(file.get());
    } while (first == ' ' || first == '\t' || first == '\r' || first == '\n');
    return first == '{' ? importJson(path, options) : importList(path, options);
}

ImportResult CatalogImport::importJson(const QString& path, const ImportOptions& options)
{
    ImportResult result;
    const FilePtr file = openSource(path, result, m_total);
    if (file == nullptr) {
        return result;
    }
    JsonReader reader(file.get());
    JsonDiscReader discs(*this, reader, path);
    discs.run(options, result);
    noteProgress(m_total);
    return result;
}

namespace {

/// The largest size a disc's used bytes can hold.
constexpr std::uint64_t s_maxListBytes = INT64_MAX;

/// The tree of a list, gathered whole (a list's lines may name a folder's files in any order), as a
/// table of folders that name their sub-folders by place: neither writing nor freeing it recurses,
/// however deep the list goes.
struct ListTree {
    struct Folder {
        std::map<std::string, std::size_t, std::less<>> folders; ///< name and place in the table
        std::map<std::string, std::uint64_t, std::less<>> files;
    };
    std::vector<Folder> folders = std::vector<Folder>(1); ///< the disc's top first
    std::uint64_t bytes = 0; ///< the sizes of the files, together

    /// The place of the sub-folder name of the folder at place parent, made when missing.
    std::size_t folder(std::size_t parent, std::string_view name)
    {
        auto& subFolders = folders[parent].folders;
        if (const auto found = subFolders.find(name); found != subFolders.end()) {
            return found->second;
        }
        subFolders.emplace(std::string(name), folders.size());
        folders.emplace_back();
        return folders.size() - 1;
    }
};

bool writeListTree(TKTBAppender& out, const ListTree& tree, std::uint64_t& files, std::uint64_t& folders)
{
    // Depth first, a folder's files before its sub-folders; each open folder with its next sub-folder.
    struct Level {
        const ListTree::Folder* folder;
        std::map<std::string, std::size_t, std::less<>>::const_iterator next;
    };
    std::vector<Level> levels;
    const auto enter = [&](const ListTree::Folder& folder) {
        for (const auto& [name, size] : folder.files) {
            // A catalog keeps the low 32 bits of a size, as a scan does.
            const auto stored = static_cast<std::uint32_t>(size);
            const std::uint32_t noDate = 0;
            out.appendByte(KTB_TAG_FILE);
            out.appendString(name);
            out.append(&stored, sizeof stored);
            out.append(&noDate, sizeof noDate);
            out.appendString({});
            ++files;
        }
        levels.push_back({ &folder, folder.folders.begin() });
    };
    enter(tree.folders.front());
    while (!levels.empty() && out.ok()) {
        Level& level = levels.back();
        if (level.next == level.folder->folders.end()) {
            levels.pop_back();
            if (!levels.empty()) {
                out.appendByte(KTB_TAG_ENDFOLDER);
                ++folders;
            }
            continue;
        }
        const auto& [name, place] = *level.next++;
        out.appendByte(KTB_TAG_FOLDER);
        out.appendString(name);
        enter(tree.folders[place]);
    }
    return out.ok();
}

/// A line as getline(3) reads it: every byte, a NUL too.
struct LineBuffer {
    char* data = nullptr;
    std::size_t capacity = 0;
    LineBuffer() = default;
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;
    ~LineBuffer() { std::free(data); }
};

} // namespace

ImportResult CatalogImport::importList(const QString& path, const ImportOptions& options)
{
    ImportResult result;
    const FilePtr file = openSource(path, result, m_total);
    if (file == nullptr) {
        return result;
    }
    ListTree tree;
    std::uint64_t lineNumber = 0;
    std::uint64_t done = 0;
    const auto lineError = [&](const QString& what) {
        result.error = QStringLiteral("%1, line %2: %3").arg(path).arg(lineNumber).arg(what);
        return result;
    };
    LineBuffer buffer;
    for (;;) {
        const ssize_t read = ::getline(&buffer.data, &buffer.capacity, file.get());
        if (read < 0) {
            break;
        }
        done += static_cast<std::uint64_t>(read);
        ++lineNumber;
        std::string_view line(buffer.data, static_cast<std::size_t>(read));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        if (stopRequested()) {
            result.cancelled = true;
            return result;
        }
        noteProgress(done);
        if (line.empty()) {
            continue;
        }
        if (line.find('\0') != std::string_view::npos) {
            return lineError(QStringLiteral("a NUL byte: a list is plain text"));
        }
        const std::size_t tab = line.find('\t');
        std::uint64_t size = 0;
        const char* end = line.data() + (tab == std::string_view::npos ? 0 : tab);
        const auto [parsed, problem] = std::from_chars(line.data(), end, size);
        if (tab == std::string_view::npos || tab == 0 || parsed != end) {
            return lineError(QStringLiteral("a line must be a size in bytes, a tab and a path"));
        }
        if (problem != std::errc() || size > s_maxListBytes) {
            return lineError(QStringLiteral("a size larger than %1 bytes").arg(s_maxListBytes));
        }
        std::string_view rest = line.substr(tab + 1);
        const bool isFolder = !rest.empty() && rest.back() == '/';
        std::vector<std::string_view> parts;
        while (!rest.empty()) {
            const std::size_t slash = rest.find('/');
            const std::string_view part = rest.substr(0, slash);
            if (!part.empty()) {
                parts.push_back(part);
            }
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        }
        if (parts.empty()) {
            return lineError(QStringLiteral("no path"));
        }
        for (const std::string_view part : parts) {
            if (part.size() > 65535) {
                return lineError(QStringLiteral("a name longer than 65,535 bytes"));
            }
        }
        std::size_t folder = 0;
        for (std::size_t i = 0; i + (isFolder ? 0 : 1) < parts.size(); ++i) {
            folder = tree.folder(folder, parts[i]);
        }
        if (isFolder) {
            continue;
        }
        // A file listed again takes its last size.
        auto& files = tree.folders[folder].files;
        const auto [named, added] = files.try_emplace(std::string(parts.back()), size);
        tree.bytes -= added ? 0 : named->second;
        named->second = size;
        if (size > s_maxListBytes - tree.bytes) {
            return lineError(QStringLiteral("the sizes add up to more than %1 bytes").arg(s_maxListBytes));
        }
        tree.bytes += size;
    }
    if (std::ferror(file.get())) {
        result.error = path + QStringLiteral(": the file cannot be read");
        return result;
    }

    const QString title = options.title.isEmpty() ? QFileInfo(path).completeBaseName() : options.title;
    appendDisc(
        [&](TKTBHandle* scratch, TKTBDisc& disc, QString& error) {
            disc = TKTBDisc {};
            disc.Serial = options.serial;
            ktbStoreText(disc.Title, sizeof disc.Title, encodeCatalogText(title));
            if (KtbEntityPtr existing; ktbFindDiscBySerialOwned(m_destination, disc.Serial, existing)) {
                return KTB_ERR_DISCEXISTS;
            }
            TKTBAppender out(scratch);
            const std::uint64_t start = out.position();
            out.appendByte(KTB_TAG_DISC);
            out.append(&disc, sizeof disc);
            std::uint64_t files = 0;
            std::uint64_t folders = 0;
            if (!writeListTree(out, tree, files, folders)) {
                error = QStringLiteral("The scratch catalog cannot be written");
                return KTB_ERR_MAPPINGFAILED;
            }
            out.appendByte(KTB_TAG_ENDDISC);
            disc.ScanTime = ktbNowLocalDos();
            disc.Files = static_cast<std::uint32_t>(files);
            disc.Folders = static_cast<std::uint32_t>(folders);
            disc.Used = static_cast<std::int64_t>(tree.bytes);
            disc.Capacity = ktbRoundCapacity(disc.Used);
            disc.RunLength = static_cast<std::uint32_t>(out.position() - start);
            return out.patch(start + 1, &disc, sizeof disc) && out.flush() ? KTB_OK : KTB_ERR_MAPPINGFAILED;
        },
        result);
    return result;
}
