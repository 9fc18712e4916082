#include "tests/gui/dialogs/windowsfixture.h"

#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

void whenModal(std::function<void(QDialog*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(dialog);
    });
    timer->start();
}

TKTBDisc storedDisc(const QString& path, std::uint32_t offset)
{
    TKTBDisc disc {};
    TKTBHandle* handle = nullptr;
    EXPECT_EQ(ktbOpen(handle, QFile::encodeName(path).constData(), KTB_OPEN_READONLY), KTB_OK);
    EXPECT_TRUE(ktbReadDisc(handle, offset, disc));
    ktbClose(handle);
    return disc;
}

QString storedDescription(const QString& path)
{
    TKTBFile reader(path, false, true);
    return reader.GetDescription();
}

QString storedOwner(const QString& path)
{
    TKTBFile reader(path, false, true);
    return reader.GetOwner();
}

void WindowsFixture::startObjects()
{
    m_objects = std::make_unique<TProgramObjects>();
    FilesetList->AddFolder(settings().GetStr(skFilesetFolder));
    OwnerList->Rebuild();
}

TKTBFile* WindowsFixture::addFileset(const CatalogBuilder& catalog, const QString& path)
{
    EXPECT_TRUE(catalog.writeTo(QFile::encodeName(path).toStdString()));
    const int index = FilesetList->AddFile(path);
    EXPECT_GE(index, 0) << path.toStdString();
    return index >= 0 ? FilesetList->Items(index) : nullptr;
}

QStringList WindowsFixture::registeredNames()
{
    QStringList names;
    for (int i = 0; i < FilesetList->Count(); ++i) {
        names << QFileInfo(FilesetList->Items(i)->FileName).fileName();
    }
    return names;
}
