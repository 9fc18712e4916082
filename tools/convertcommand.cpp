// ktb convert: writes a catalog of the current format from one of the older format ("Katalox Data Set").
// The older file is only read; the new one exists only when the conversion succeeded.
#include "tools/ktbtool.h"

#include "engine/ktb_comp.h"
#include "engine/ktb_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ktbtool {

namespace {

    void showProgress(std::uint32_t, std::uint32_t oldPosition, std::uint8_t, void* userData, bool& cancel)
    {
        static_cast<Progress*>(userData)->update(oldPosition);
        cancel = InterruptGuard::requested();
    }

    /// Why the new file cannot be created, asked of the system.
    std::string whyNotCreated(const std::string& path)
    {
        const int probe = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (probe < 0) {
            return std::strerror(errno);
        }
        ::close(probe);
        ::unlink(path.c_str());
        return "failed";
    }

    /// Explains a failed conversion.
    void reportConversionFailure(const std::string& older, const std::string& converted, TKTBERROR code)
    {
        std::string where = older;
        std::string what;
        switch (code) {
        case KTB_ERR_INVALIDHEADER: {
            KtbHandlePtr current;
            const bool isCurrent = ktbOpenOwned(current, older.c_str(), KTB_OPEN_READONLY) == KTB_OK;
            what = isCurrent ? "a catalog of the current format already; nothing to convert"
                             : "not a catalog of the older format";
            break;
        }
        case KTB_ERR_BADENTITY:
            what = "damaged: a record could not be read";
            break;
        case KTB_ERR_FILENOTAVAILABLE:
            what = "cannot read the file";
            break;
        case KTB_ERR_INTERRUPTED:
            what = "interrupted";
            where = "";
            break;
        default:
            where = converted;
            what = "cannot be created: " + whyNotCreated(converted);
            break;
        }
        reportError("convert",
            (where.empty() ? "" : where + ": ") + what + " (" + ktbErrorName(code) + "); " + converted
                + " was not written");
    }

} // namespace

int runConvert(const std::vector<std::string>& arguments)
{
    const SourceAndNewFile operands
        = parseSourceAndNewFile("convert", arguments, "an older catalog and the new file's name are needed");
    if (operands.exit >= 0) {
        return operands.exit;
    }
    const std::string& older = operands.source;
    const std::string& converted = operands.created;
    struct stat status { };
    if (::stat(older.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        reportError("convert", older + ": no such file");
        return ExitError;
    }
    InterruptGuard interrupt;
    TKTBERROR code = KTB_OK;
    {
        Progress progress("convert", older, static_cast<std::uint64_t>(status.st_size));
        code = ktbConvertOlder(older.c_str(), converted.c_str(), showProgress, &progress);
    }
    if (code != KTB_OK) {
        reportConversionFailure(older, converted, code);
        return InterruptGuard::requested() ? interrupt.endBySignal() : ExitError;
    }
    std::printf("Converted %s into %s.\n", older.c_str(), converted.c_str());
    return ExitOk;
}

} // namespace ktbtool
