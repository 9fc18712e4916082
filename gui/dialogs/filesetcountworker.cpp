#include "gui/dialogs/filesetcountworker.h"

#include "core/filesets/fileset.h"
#include "engine/ktb_owners.h"

#include <QFile>

FilesetCountWorker::FilesetCountWorker(const std::vector<Fileset*>& filesets, QObject* parent)
    : QThread(parent)
{
    m_paths.reserve(filesets.size());
    for (const Fileset* fileset : filesets) {
        m_paths.push_back(QFile::encodeName(fileset->fileName).toStdString());
    }
}

FilesetCountWorker::~FilesetCountWorker()
{
    requestStop();
    wait();
}

void FilesetCountWorker::run()
{
    try {
        for (const std::string& path : m_paths) {
            if (stopRequested()) {
                return;
            }
            walk(path);
        }
        emit totalsChanged(m_discs, m_files, m_folders, m_bytes);
    } catch (...) {
        // Counting is only shown, never needed: a failure leaves the totals as far as they came.
    }
}

void FilesetCountWorker::walk(const std::string& path)
{
    KtbHandlePtr handle;
    if (ktbOpenOwned(handle, path.c_str(), KTB_OPEN_READONLY) != KTB_OK) {
        return;
    }
    const auto countRecord = [this] {
        ++m_records;
        if (m_records % RecordsPerReport == 0) {
            emit walkProgress(m_records);
        }
    };
    const KtbCursorPtr cursor(ktbFindFirstAll(handle.get(), KTB_FIND_ENDMARKS));
    if (cursor == nullptr) {
        return;
    }
    countRecord();
    while (!stopRequested() && ktbFindNext(cursor.get()) == KTB_OK) {
        countRecord();
    }
    m_discs += cursor->Discs;
    m_files += cursor->Files;
    m_folders += cursor->Folders;
    m_bytes += cursor->Bytes;
    emit totalsChanged(m_discs, m_files, m_folders, m_bytes);
}
