#include "gui/common/errordisplay.h"

#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/settings/settings.h"

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

bool runGuarded(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& failure) {
        showException(failure);
    } catch (...) {
        showErrorText(QStringLiteral("Unknown error"));
    }
    return false;
}
