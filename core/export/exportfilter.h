#pragma once
// What an export shows of a disc's records: every folder and file, or folders only, down to a depth,
// of the whole disc or of one folder's subtree. Fed the records of a disc in order, it answers for each
// what the export writes.

#include <cstdint>
#include <vector>

/// What an export includes.
struct ExportSelection {
    int depth = 0; ///< levels of entries shown (1: the top entries only); 0: no limit
    bool foldersOnly = false;
    /// A folder's offset: only it and what it holds are shown, depth counted from it; 0: the whole disc.
    std::uint32_t folder = 0;

    bool partial() const { return depth > 0 || foldersOnly || folder != 0; }
};

class ExportFilter {
public:
    enum class Step { Skip, Folder, File, EndFolder };

    explicit ExportFilter(const ExportSelection& selection);

    /// A new disc starts.
    void beginDisc();
    /// The step for the next record of the disc (a folder, a file or a folder's end mark).
    Step step(std::uint8_t kind, std::uint32_t offset);

private:
    bool inScope() const { return m_selection.folder == 0 || m_scopeBase >= 0; }
    int level() const { return m_scopeBase >= 0 ? m_depth - m_scopeBase : m_depth; }

    ExportSelection m_selection;
    int m_depth = 0; ///< folders open in the catalog
    int m_scopeBase = -1; ///< m_depth outside the chosen folder while inside it; -1 outside it
    std::vector<bool> m_shown; ///< per open folder: it is shown
};
