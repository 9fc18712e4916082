// ktb record: records a folder, a disc image or the medium in a drive as a new disc of a catalog.
// The recording goes into a scratch catalog of its own in the system's temporary folder and is copied
// into the catalog only once it is whole, as the program's scan does: an interrupted or failed
// recording leaves the catalog as it was.
#include "tools/ktbtool.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "platform/drivelayer.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace ktbtool {

namespace {

    /// The letter a folder or an image is recorded under; it never shows outside this command.
    constexpr char s_pathLetter = 'S';

    /// Where the disc comes from: a drive letter, or a folder or image put behind a drive of our own.
    struct RecordSource {
        char letter = 0;
        std::string shown; ///< as the user named it
        bool isPath = false;
    };

    bool isDriveLetter(const std::string& text)
    {
        const bool letter = !text.empty() && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
        return letter && (text.size() == 1 || (text.size() == 2 && text[1] == ':'));
    }

    /// Finds the drive for the source; a file or folder of that name wins over a drive letter.
    bool resolveSource(const std::string& text, RecordSource& source)
    {
        source.shown = text;
        struct stat status { };
        if (::stat(text.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode) && !S_ISREG(status.st_mode)) {
                reportError("record", text + ": neither a folder nor a disc image");
                return false;
            }
            auto table = std::make_unique<PathDriveTable>();
            table->setDrive(s_pathLetter, text);
            setDriveTable(std::move(table));
            source.letter = s_pathLetter;
            source.isPath = true;
            return true;
        }
        if (!isDriveLetter(text)) {
            reportError("record", text + ": no such folder, image or drive");
            return false;
        }
        source.letter = static_cast<char>(text[0] >= 'a' ? text[0] - 'a' + 'A' : text[0]);
        source.shown = std::string(1, source.letter) + ":";
        if (driveTable().drive(source.letter) == nullptr) {
            reportError("record", "no drive " + source.shown);
            return false;
        }
        return true;
    }

    /// A walk path ("S:\Music\Rock\") as the user knows the place: below the folder or image named, or
    /// on the drive.
    std::string placeOf(const RecordSource& source, const std::string& walkPath)
    {
        if (!source.isPath) {
            return walkPath;
        }
        std::string place = source.shown;
        if (place.back() != '/') {
            place += '/';
        }
        for (std::size_t index = 3; index < walkPath.size(); ++index) {
            place += walkPath[index] == '\\' ? '/' : walkPath[index];
        }
        return place;
    }

    /// The scratch catalog: a private folder in the system's temporary folder with the catalog in it;
    /// both go when it ends.
    class ScratchCatalog {
    public:
        ScratchCatalog()
        {
            std::error_code error;
            const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
            std::string pattern = (error ? std::filesystem::path("/tmp") : temporary) / "ktb-record-XXXXXX";
            if (::mkdtemp(pattern.data()) != nullptr) {
                m_folder = pattern;
            }
        }
        ~ScratchCatalog()
        {
            ktbClose(Handle);
            if (!m_folder.empty()) {
                ::unlink(path().c_str());
                ::rmdir(m_folder.c_str());
            }
        }
        ScratchCatalog(const ScratchCatalog&) = delete;
        ScratchCatalog& operator=(const ScratchCatalog&) = delete;

        bool usable() const { return !m_folder.empty(); }
        std::string path() const { return m_folder + "/record.ktb"; }

        TKTBHandle* Handle = nullptr;

    private:
        std::string m_folder;
    };

    struct Counts {
        Progress* progress;
        std::uint64_t files = 0;
        std::uint64_t folders = 0;
        std::uint64_t bytes = 0;
    };

    bool countStep(std::uint8_t kind, const char*, const TKTBDirEntry* entry, void* userData)
    {
        auto& counts = *static_cast<Counts*>(userData);
        if (kind == KTB_WALK_FILE) {
            ++counts.files;
            counts.bytes += static_cast<std::uint32_t>(entry->Size);
        } else if (kind == KTB_WALK_FOLDER) {
            ++counts.folders;
        }
        if (counts.progress->due()) {
            char text[96];
            std::snprintf(text, sizeof text, "%" PRIu64 " files, %" PRIu64 " folders, %" PRIu64 " bytes", counts.files,
                counts.folders, counts.bytes);
            counts.progress->show(text);
        }
        return !InterruptGuard::requested();
    }

    /// Fills the disc record from the medium and the options; false (reported) without a medium.
    bool discOfSource(const RecordSource& source, const ParsedArguments& parsed, TKTBDisc& disc)
    {
        Drive* drive = driveTable().drive(source.letter);
        if (!ktbDiscFromDrive(source.letter, disc)) {
            VolumeFacts facts;
            if (drive != nullptr) {
                drive->volumeFacts(facts);
            }
            if (!source.isPath) {
                reportError("record", "no readable medium in drive " + source.shown);
            } else if (!facts.Problem.empty()) {
                reportError("record", source.shown + ": no readable disc in this image: " + facts.Problem);
            } else {
                reportError("record",
                    source.shown
                        + ": no readable disc in this image (an ISO 9660 or UDF image, or a CD image: .cue, .ccd, "
                          ".nrg or .toc, is needed)");
            }
            return false;
        }
        bool audio = false;
        if (drive != nullptr && drive->isAudio(audio) && audio) {
            disc.Flags = KTB_DISC_AUDIO;
        }
        if (const std::string* title = parsed.value("title")) {
            ktbStoreText(disc.Title, sizeof disc.Title, *title);
        }
        if (const std::string* comment = parsed.value("comment")) {
            ktbStoreText(disc.Comment, sizeof disc.Comment, *comment);
        }
        disc.ScanTime = ktbNowLocalDos();
        return true;
    }

    /// Reports why a recording into the scratch catalog at scratchPath did not end well.
    void reportRecordingFailure(const RecordSource& source, const std::string& scratchPath, TKTBERROR code)
    {
        const std::string failed = ktbLastWalkFailure();
        const std::string problem = ktbLastWalkProblem();
        const std::string because = problem.empty() ? "" : " (" + problem + ")";
        if (code != KTB_ERR_INTERRUPTED) {
            reportError("record", scratchPath + ": the recording failed: " + describeWriteFailure(code));
        } else if (failed.empty()) {
            reportError("record", source.shown + ": the recording failed: " + describeCode(code));
        } else if (ktbLastWalkFoundNothing()) {
            reportError("record", source.shown + ": nothing to record: the medium holds no files or folders");
        } else if (failed.size() == 3) {
            reportError(
                "record", source.shown + ": the top folder cannot be read" + because + "; the recording stopped");
        } else {
            reportError("record",
                placeOf(source, failed) + ": the folder cannot be listed" + because + "; the recording stopped");
        }
    }

    bool checkTextOption(const ParsedArguments& parsed, const char* name, std::size_t limit)
    {
        const std::string* text = parsed.value(name);
        if (text != nullptr && text->size() > limit) {
            usageError("record",
                std::string("--") + name + " takes at most " + std::to_string(limit) + " bytes, not "
                    + std::to_string(text->size()));
            return false;
        }
        return true;
    }

    /// Records the source into file; an interruption noticed on the way ends it with ExitError after
    /// everything was tidied up.
    int record(const std::string& file, const RecordSource& source, const ParsedArguments& parsed)
    {
        TKTBDisc disc {};
        if (!discOfSource(source, parsed, disc)) {
            return ExitError;
        }
        ChangedCatalog destination("record", file, { .createMissing = true });
        if (InterruptGuard::requested() || !destination.open()) {
            return ExitError;
        }
        TKTBEntity* existing = nullptr;
        if (ktbFindDiscBySerial(destination.handle(), disc.Serial, existing)) {
            reportError("record",
                file + ": the disc is recorded already: " + describeDisc(destination.handle(), existing->Offset)
                    + " at offset " + std::to_string(existing->Offset));
            ktbFreeEntity(existing);
            return ExitError;
        }

        ScratchCatalog scratch;
        if (!scratch.usable()) {
            reportError("record", "cannot make a scratch folder in the temporary folder");
            return ExitError;
        }
        const TKTBERROR opened = ktbOpen(scratch.Handle, scratch.path().c_str(), KTB_OPEN_CREATE);
        if (opened != KTB_OK) {
            reportError("record", scratch.path() + ": " + describeCode(opened));
            return ExitError;
        }
        Progress progress("record", source.shown + ":", 0, 0);
        Counts counts { &progress };
        const TKTBERROR recorded = ktbRecordDrive(scratch.Handle, source.letter, disc, &counts, countStep);
        progress.clear();
        if (InterruptGuard::requested()) {
            reportError("record", "interrupted; " + file + " is unchanged");
            return ExitError;
        }
        if (recorded != KTB_OK) {
            reportRecordingFailure(source, scratch.path(), recorded);
            return ExitError;
        }
        std::uint32_t offset = 0;
        const TKTBERROR copied = ktbCopyDisc(scratch.Handle, destination.handle(), KTB_HEADER_SIZE, offset);
        if (copied != KTB_OK) {
            reportError("record", file + ": " + describeWriteFailure(copied));
            return ExitError;
        }
        destination.keep();
        TKTBDisc stored {};
        ktbReadDisc(destination.handle(), offset, stored);
        std::printf("Recorded %s into %s at offset %u: %u files, %u folders, %" PRId64 " bytes used.\n",
            describeDisc(destination.handle(), offset).c_str(), file.c_str(), offset, stored.Files, stored.Folders,
            stored.Used);
        return ExitOk;
    }

} // namespace

int runRecord(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("record", arguments, "", { "title", "comment" });
    if (parsed.help) {
        return printHelp("record");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.size() != 2) {
        return usageError("record",
            parsed.operands.empty()           ? "no catalog file given"
                : parsed.operands.size() == 1 ? "no source given"
                                              : "too many arguments");
    }
    if (!checkTextOption(parsed, "title", KTB_TITLE_MAX) || !checkTextOption(parsed, "comment", KTB_COMMENT_MAX)) {
        return ExitError;
    }
    RecordSource source;
    if (!resolveSource(parsed.operands[1], source)) {
        return ExitError;
    }
    InterruptGuard interrupt;
    const int status = record(parsed.operands[0], source, parsed);
    return status != ExitOk && InterruptGuard::requested() ? interrupt.endBySignal() : status;
}

} // namespace ktbtool
