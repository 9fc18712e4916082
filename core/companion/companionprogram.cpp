#include "core/companion/companionprogram.h"

#include "core/settings/settings.h"
#include "core/settings/shell.h"

#include <QFileInfo>

QString companionProgramPath(const CompanionProgram& program)
{
    const QString usersOwn = companionProgram(QString::fromLatin1(program.originName));
    if (QFileInfo::exists(usersOwn)) {
        return usersOwn;
    }
    return programFolder() + QString::fromLatin1(program.ownName);
}
