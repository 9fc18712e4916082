#include "tests/gui/dialogs/windowsfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"

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
    KtbHandlePtr handle;
    EXPECT_EQ(ktbOpenOwned(handle, QFile::encodeName(path).constData(), KTB_OPEN_READONLY), KTB_OK);
    EXPECT_TRUE(ktbReadDisc(handle.get(), offset, disc));
    return disc;
}

QString storedDescription(const QString& path)
{
    Fileset reader(path, false, true);
    return reader.description();
}

QString storedOwner(const QString& path)
{
    Fileset reader(path, false, true);
    return reader.owner();
}

void WindowsFixture::startObjects()
{
    m_objects = std::make_unique<ProgramObjects>();
    g_filesetRegistry->addFolder(settings().stringValue(FilesetFolderSetting));
    g_ownerIndex->rebuild();
}

Fileset* WindowsFixture::addFileset(const CatalogBuilder& catalog, const QString& path)
{
    EXPECT_TRUE(catalog.writeTo(QFile::encodeName(path).toStdString()));
    const int index = g_filesetRegistry->addFile(path);
    EXPECT_GE(index, 0) << path.toStdString();
    return index >= 0 ? g_filesetRegistry->at(index) : nullptr;
}

QStringList WindowsFixture::registeredNames()
{
    QStringList names;
    for (int i = 0; i < g_filesetRegistry->count(); ++i) {
        names << QFileInfo(g_filesetRegistry->at(i)->fileName).fileName();
    }
    return names;
}
