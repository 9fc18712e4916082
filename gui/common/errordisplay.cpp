#include "gui/common/errordisplay.h"

#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/settings/settings.h"
#include "engine/ktb_journal.h"

#include <QFile>

void showErrorText(const QString& text)
{
    questions().messageBox(text, QStringLiteral("Katalox"), MessageIcon::Error, OkButton, true);
}

void showException(const std::exception& failure)
{
    if (const auto* catalog = dynamic_cast<const CatalogError*>(&failure)) {
        showErrorText(catalog->message());
        return;
    }
    if (const auto* io = dynamic_cast<const FileError*>(&failure)) {
        showErrorText(io->message());
        return;
    }
    if (const auto* write = dynamic_cast<const SettingsWriteError*>(&failure)) {
        showErrorText(write->message());
        return;
    }
    showErrorText(QString::fromUtf8(failure.what()));
}

void reportUnsyncedChanges()
{
    const std::vector<std::string> unsynced = ktbTakeUnsyncedChanges();
    if (unsynced.empty()) {
        return;
    }
    const QString lineEnd = QStringLiteral("\r\n");
    QString text = QStringLiteral("The change is ") + unsyncedChangeText() + QLatin1Char('.');
    for (const std::string& path : unsynced) {
        text += lineEnd + QFile::decodeName(QByteArray::fromStdString(path));
    }
    questions().messageBox(text, QStringLiteral("Katalox"), MessageIcon::Warning, OkButton, true);
}

bool runGuarded(const std::function<void()>& handler)
{
    bool ended = false;
    try {
        handler();
        ended = true;
    } catch (const std::exception& failure) {
        showException(failure);
    } catch (...) {
        showErrorText(QStringLiteral("Unknown error"));
    }
    reportUnsyncedChanges();
    return ended;
}
