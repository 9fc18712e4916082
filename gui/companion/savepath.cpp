#include "gui/companion/savepath.h"

#include "core/common/questions.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

QString askSavePath(
    const QString& caption, const QString& title, const QString& name, const QString& filter, const QString& suffix)
{
    QString path = questions().saveFileName(title, QDir::home().filePath(name + suffix), filter);
    if (path.isEmpty()) {
        return {};
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += suffix;
    }
    if (QFileInfo::exists(path)
        && questions().messageBox(QStringLiteral("%1 exists already.\nDo you want to replace it?").arg(path), caption,
               MessageIcon::Question, YesButton | NoButton)
            != YesButton) {
        return {};
    }
    return path;
}

bool writeTextFile(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
}

void reportUnwritable(const QString& caption, const QString& path)
{
    questions().messageBox(QStringLiteral("Unable to write to ") + path, caption, MessageIcon::Error, OkButton);
}
