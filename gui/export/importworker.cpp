#include "gui/export/importworker.h"

#include <QDir>
#include <exception>

ImportWorker::ImportWorker(TKTBHandle* destination, const QString& destinationName, const QString& source,
    ImportOptions options, QObject* parent)
    : QThread(parent)
    , m_import(std::make_unique<CatalogImport>(destination, destinationName,
          ScratchLayout { QDir::tempPath(), QStringLiteral("katalox-import-"), QStringLiteral("_temp.ktb"), true }))
    , m_source(source)
    , m_options(std::move(options))
{
    qRegisterMetaType<ImportResult>();
    m_import->onProgress = [this](std::uint64_t done, std::uint64_t total) { emit progressChanged(done, total); };
}

ImportWorker::~ImportWorker()
{
    cancel();
    wait();
}

void ImportWorker::run()
{
    // Nothing thrown may leave the thread.
    ImportResult result;
    try {
        result = m_import->importFile(m_source, m_options);
    } catch (const std::exception& error) {
        result.error = QString::fromUtf8(error.what());
    }
    emit importEnded(result);
}
