#include "gui/search/searchresultlists.h"

#include "core/search/catalogsearch.h"
#include "gui/search/discresultmodel.h"
#include "gui/search/fileresultmodel.h"

#include <QItemSelectionModel>

namespace {

int firstSelectedRow(const QPointer<QItemSelectionModel>& selection, const QAbstractItemModel* model)
{
    if (selection.isNull() || selection->model() != model) {
        return -1;
    }
    int first = -1;
    for (const QModelIndex& index : selection->selectedIndexes()) {
        if (index.isValid() && (first < 0 || index.row() < first)) {
            first = index.row();
        }
    }
    return first < model->rowCount() ? first : -1;
}

} // namespace

SearchResultLists::SearchResultLists(const CatalogSearch& search, QObject* parent)
    : QObject(parent)
    , m_search(search)
    , m_discModel(new DiscResultModel(search, this))
    , m_fileModel(new FileResultModel(search, this))
{
}

SearchResultLists::~SearchResultLists() = default;

bool SearchResultLists::attachDiscView(QItemSelectionModel* selection)
{
    if (selection != nullptr && selection->model() != m_discModel) {
        return false;
    }
    m_discSelection = selection;
    return true;
}

bool SearchResultLists::attachFileView(QItemSelectionModel* selection)
{
    if (selection != nullptr && selection->model() != m_fileModel) {
        return false;
    }
    m_fileSelection = selection;
    return true;
}

int SearchResultLists::selectedDiscRow() const { return firstSelectedRow(m_discSelection, m_discModel); }

int SearchResultLists::selectedFileRow() const { return firstSelectedRow(m_fileSelection, m_fileModel); }

const EntityEntry* SearchResultLists::selectedDiscEntry() const { return m_discModel->entryAt(selectedDiscRow()); }

const EntityEntry* SearchResultLists::selectedFileEntry() const { return m_fileModel->entryAt(selectedFileRow()); }

QString SearchResultLists::selectedDiscPath() const
{
    const EntityEntry* entry = selectedDiscEntry();
    return entry == nullptr ? QString() : CatalogSearch::discPath(*entry);
}

QString SearchResultLists::selectedFilePath() const
{
    const EntityEntry* entry = selectedFileEntry();
    return entry == nullptr ? QString() : CatalogSearch::resultPath(*entry);
}
