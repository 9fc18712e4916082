// ktb record: records a folder, a disc image or the medium in a drive as a new disc of a catalog.
// It is the program's recording (DiscRecording): into a scratch catalog of its own in the system's
// temporary folder, copied into the catalog only once it is whole, so an interrupted or failed
// recording leaves the catalog as it was.
#include "tools/ktbtool.h"

#include "core/catalog/discrecording.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "platform/drivelayer.h"

#include <QFile>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

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

    /// The scratch folders of ktb record: "ktb-record-PID-..." in the system's temporary folder (/tmp
    /// when it names none that exists), holding "record.ktb". Those of killed runs are removed first.
    ScratchLayout recordScratchLayout()
    {
        std::error_code error;
        const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
        const std::string folder = error ? std::string("/tmp") : temporary.string();
        return { QFile::decodeName(QByteArray::fromStdString(folder)), QStringLiteral("ktb-record-"),
            QStringLiteral("record.ktb"), true };
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
    void reportRecordingFailure(
        const RecordSource& source, const std::string& scratchPath, TKTBERROR code, const WalkFailure& walk)
    {
        const std::string& failed = walk.folder;
        const std::string because = walk.problem.empty() ? "" : " (" + walk.problem + ")";
        if (code != KTB_ERR_INTERRUPTED) {
            reportError("record", scratchPath + ": the recording failed: " + describeWriteFailure(code));
        } else if (failed.empty()) {
            reportError("record", source.shown + ": the recording failed: " + describeCode(code));
        } else if (walk.nothingOnMedium) {
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
        if (KtbEntityPtr existing; ktbFindDiscBySerialOwned(destination.handle(), disc.Serial, existing)) {
            reportError("record",
                file + ": the disc is recorded already: " + describeDisc(destination.handle(), existing->Offset)
                    + " at offset " + std::to_string(existing->Offset));
            return ExitError;
        }

        DiscRecording recording(recordScratchLayout());
        if (!recording.usable()) {
            reportError("record", "cannot make a scratch folder in the temporary folder");
            return ExitError;
        }
        const std::string scratchPath = recording.scratchPath().toStdString();
        const TKTBERROR opened = recording.create();
        if (opened != KTB_OK) {
            reportError("record", scratchPath + ": " + describeCode(opened));
            return ExitError;
        }
        Progress progress("record", source.shown + ":", 0, 0);
        const TKTBERROR recorded = recording.record(source.letter, disc, [&](const RecordingProgress& counts) {
            if (progress.due()) {
                char text[96];
                std::snprintf(text, sizeof text, "%" PRIu64 " files, %" PRIu64 " folders, %" PRIu64 " bytes",
                    counts.files, counts.folders, counts.bytes);
                progress.show(text);
            }
            if (InterruptGuard::requested()) {
                recording.requestStop();
            }
        });
        progress.clear();
        if (InterruptGuard::requested()) {
            reportError("record", "interrupted; " + file + " is unchanged");
            return ExitError;
        }
        if (recorded != KTB_OK) {
            reportRecordingFailure(source, scratchPath, recorded, recording.walkFailure());
            return ExitError;
        }
        const TransplantResult moved = recording.transplant(destination.handle(), 0);
        if (moved.failure == TransplantFailure::ScratchNotOpened) {
            reportError("record", scratchPath + ": " + describeCode(moved.code));
            return ExitError;
        }
        if (moved.failure != TransplantFailure::None) {
            reportError("record", file + ": " + describeWriteFailure(moved.code));
            return ExitError;
        }
        const std::uint32_t offset = moved.offset;
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
