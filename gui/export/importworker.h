#pragma once
// The worker thread of an import into a fileset of the main window: it knows no window; its progress
// and its result go out as signals the dialog receives queued, and it stops at the next entry when
// cancelled.

#include "core/export/catalogimport.h"

#include <QThread>
#include <memory>

class ImportWorker : public QThread {
    Q_OBJECT
public:
    /// Imports source into the fileset behind destination (named destinationName in messages); the
    /// fileset must not be used elsewhere while the worker runs.
    ImportWorker(TKTBHandle* destination, const QString& destinationName, const QString& source, ImportOptions options,
        QObject* parent = nullptr);
    /// Cancels and waits for the end.
    ~ImportWorker() override;

    void cancel() { m_import->requestStop(); }

signals:
    /// Bytes of the source read and its size, a few times a second.
    void progressChanged(quint64 done, quint64 total);
    void importEnded(const ImportResult& result);

protected:
    void run() override;

private:
    std::unique_ptr<CatalogImport> m_import;
    QString m_source;
    ImportOptions m_options;
};
