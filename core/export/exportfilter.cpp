#include "core/export/exportfilter.h"

#include "engine/ktbdef.h"

ExportFilter::ExportFilter(const ExportSelection& selection)
    : m_selection(selection)
{
}

void ExportFilter::beginDisc()
{
    m_depth = 0;
    m_scopeBase = -1;
    m_shown.clear();
}

ExportFilter::Step ExportFilter::step(std::uint8_t kind, std::uint32_t offset)
{
    switch (kind) {
    case KTB_TAG_FOLDER: {
        if (offset == m_selection.folder && m_scopeBase < 0) {
            m_scopeBase = m_depth;
        }
        const bool shown = inScope() && (m_selection.depth <= 0 || level() < m_selection.depth);
        m_shown.push_back(shown);
        ++m_depth;
        return shown ? Step::Folder : Step::Skip;
    }
    case KTB_TAG_FILE: {
        const bool shown
            = !m_selection.foldersOnly && inScope() && (m_selection.depth <= 0 || level() < m_selection.depth);
        return shown ? Step::File : Step::Skip;
    }
    case KTB_TAG_ENDFOLDER: {
        if (m_shown.empty()) {
            return Step::Skip;
        }
        const bool shown = m_shown.back();
        m_shown.pop_back();
        --m_depth;
        if (m_depth == m_scopeBase) {
            m_scopeBase = -1;
        }
        return shown ? Step::EndFolder : Step::Skip;
    }
    default:
        return Step::Skip;
    }
}
