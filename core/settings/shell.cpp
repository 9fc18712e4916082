#include "core/settings/shell.h"

#include "core/settings/settings.h"

#include <QFileInfo>
#include <QProcess>
#include <sys/resource.h>

bool runProgram(const QString& program, const QString& folder, const QStringList& parameters)
{
    if (program.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(program, parameters, folder.isEmpty() ? programFolder() : folder);
}

QString companionProgram(const QString& fileName)
{
    const QString path = programFolder() + fileName;
    if (QFileInfo::exists(path)) {
        return path;
    }
    if (path.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive)) {
        const QString withoutExtension = path.chopped(4);
        if (QFileInfo::exists(withoutExtension)) {
            return withoutExtension;
        }
    }
    return path;
}

void raiseOpenFilesLimit()
{
    struct rlimit limit { };
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}
