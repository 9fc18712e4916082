#pragma once
// The scratch catalog of one recording: a private folder made for it in the system's temporary folder,
// with the catalog (and whatever else the recording keeps aside) in it. The folder goes with its owner.

#include <QByteArray>
#include <QString>

/// Where the scratch folders of one kind of recording are made and how they are named.
struct ScratchLayout {
    QString temporaryFolder; ///< the system's temporary folder
    QString folderPrefix; ///< the folder is named this, then random characters ("katalox-scan-")
    QString fileName; ///< the catalog's name in the folder ("_temp.ktb")
    /// The folder name carries the process id after the prefix ("katalox-scan-4711-AbCdEf"), and the
    /// folders of processes that ended without cleaning up (a crash, a power cut) are removed first.
    bool perProcess = false;
};

class ScratchCatalog {
public:
    /// Makes the private folder; usable() tells whether that worked.
    explicit ScratchCatalog(const ScratchLayout& layout);
    /// Removes the folder with everything in it. Handles on its files must be closed by then.
    ~ScratchCatalog();
    ScratchCatalog(const ScratchCatalog&) = delete;
    ScratchCatalog& operator=(const ScratchCatalog&) = delete;

    /// False when no private folder could be made (nothing can be recorded then).
    bool usable() const { return !m_folder.isEmpty(); }
    /// The catalog's path, in the file system's encoding; empty when not usable.
    QByteArray filePath() const { return pathOf(m_fileName); }
    /// The path of another file of the folder; empty when not usable.
    QByteArray pathOf(const QByteArray& name) const;

private:
    QByteArray m_folder;
    QByteArray m_fileName;
};
