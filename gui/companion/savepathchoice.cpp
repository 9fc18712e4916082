#include "gui/companion/savepathchoice.h"

#include "core/common/questions.h"

#include <QDir>
#include <QFileInfo>

QString chooseSavePath(
    const QString& caption, const QString& question, const QString& name, const QString& filter, const QString& suffix)
{
    QString path = questions().saveFileName(caption, QDir::home().filePath(name + suffix), filter);
    if (path.isEmpty()) {
        return {};
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += suffix;
    }
    if (QFileInfo::exists(path)
        && questions().messageBox(QStringLiteral("%1 exists already.\nDo you want to replace it?").arg(path), question,
               MessageIcon::Question, YesButton | NoButton)
            != YesButton) {
        return {};
    }
    return path;
}
