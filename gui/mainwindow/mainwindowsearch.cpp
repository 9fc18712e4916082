// The main window's search panel and results panel: running a search over the chosen filesets with
// its progress, the summary lines, the stored search settings, and opening a result in the tree.
#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "core/text/catalogtext.h"
#include "engine/Containers.h"
#include "gui/common/appicons.h"
#include "gui/common/errordisplay.h"
#include "gui/common/filesetchooser.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/eventhook.h"
#include "gui/mainwindow/navigationtree.h"
#include "gui/search/discresultmodel.h"
#include "gui/search/fileresultmodel.h"
#include "gui/search/searchfilterrow.h"
#include "gui/search/searchresultlists.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <memory>
#include <optional>

namespace {

/// How often the window is repainted while a search runs.
constexpr qint64 s_repaintInterval = 100; // milliseconds

QElapsedTimer s_repaintClock;

/// 100 x done / total, rounded to the nearest integer, halves to even.
int progressPercent(std::uint64_t done, std::uint64_t total)
{
    if (total == 0) {
        return 0;
    }
    done = std::min(done, total);
    const std::uint64_t scaled = done * 100;
    std::uint64_t percent = scaled / total;
    const std::uint64_t twiceRest = (scaled % total) * 2;
    if (twiceRest > total || (twiceRest == total && percent % 2 == 1)) {
        ++percent;
    }
    return static_cast<int>(percent);
}

void setColumnWidths(QTreeView* view, std::initializer_list<int> widths)
{
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    int column = 1;
    for (const int width : widths) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, width);
        ++column;
    }
}

/// While a search runs on the window thread, the window is repainted now and then but takes no
/// clicks or keys, so no command can start meanwhile; Escape asks the search to stop. Other windows
/// (a message box) work as usual.
class SearchInputGate : public QObject {
public:
    explicit SearchInputGate(QWidget* window)
        : m_window(window)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Shortcut:
            return true;
        case QEvent::ShortcutOverride:
            // Taken as the focus widget's own key, so it arrives as a key press and is dropped there.
            if (!belongsToWindow(receiver)) {
                return false;
            }
            event->accept();
            return true;
        case QEvent::KeyPress:
            if (!belongsToWindow(receiver)) {
                return false;
            }
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && g_catalogSearch != nullptr) {
                g_catalogSearch->cancel();
            }
            return true;
        case QEvent::Close:
            return event->spontaneous() && belongsToWindow(receiver);
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return belongsToWindow(receiver);
        default:
            return false;
        }
    }

private:
    bool belongsToWindow(QObject* receiver) const
    {
        if (const auto* widget = qobject_cast<QWidget*>(receiver)) {
            return widget->window() == m_window;
        }
        if (const auto* window = qobject_cast<QWindow*>(receiver)) {
            return window == m_window->windowHandle();
        }
        return false;
    }

    QWidget* m_window;
};

} // namespace

void MainWindow::connectSearch()
{
    connectGuarded(searchButton, &QPushButton::clicked, this, [this] { onSearchClicked(); });
    connectGuarded(searchEdit, &QLineEdit::returnPressed, this, [this] { onSearchClicked(); });
    connectGuarded(searchScopeChooser, &QComboBox::activated, this, [this] { onSearchScopeChanged(); });
    connectGuarded(resultsTabs, &QTabWidget::currentChanged, this, [this](int index) { onResultsTabChanged(index); });
    connectGuarded(discResultsView, &QTreeView::doubleClicked, this, [this] { onDiscResultDoubleClicked(); });
    connectGuarded(fileResultsView, &QTreeView::doubleClicked, this, [this] { onFileResultDoubleClicked(); });
    for (QTreeView* view : { discResultsView, fileResultsView }) {
        new EventHook(view, [this, view](QEvent* event) {
            if (event->type() != QEvent::KeyPress) {
                return false;
            }
            const int key = static_cast<QKeyEvent*>(event)->key();
            bool handled = false;
            runGuarded(
                [&] { handled = view == discResultsView ? handleDiscResultsKey(key) : handleFileResultsKey(key); });
            return handled;
        });
    }
    searchProgressBar->setFormat(QStringLiteral("%p%  (Esc stops the search)"));

    // View Results is disabled while there are no results, and its key then opens the search panel.
    QAction* results = action("viewResultsAction");
    auto* newSearchKey = new QShortcut(results->shortcut(), this);
    newSearchKey->setObjectName(QStringLiteral("viewResultsShortcut"));
    newSearchKey->setContext(Qt::WindowShortcut);
    newSearchKey->setEnabled(!results->isEnabled());
    connect(results, &QAction::enabledChanged, newSearchKey,
        [newSearchKey](bool enabled) { newSearchKey->setEnabled(!enabled); });
    connectGuarded(newSearchKey, &QShortcut::activated, this, [this] { viewLastResults(); });
}

void MainWindow::attachSearchLists()
{
    if (g_catalogSearch == nullptr) {
        return;
    }
    const ImageList& small = smallImageList();
    QList<QIcon> images;
    for (int i = 0; i < small.count(); ++i) {
        images.append(small.icon(i));
    }
    delete searchResults;
    searchResults = new SearchResultLists(*g_catalogSearch, this);
    searchResults->discModel()->setDiscImages(images);
    discResultsView->setModel(searchResults->discModel());
    searchResults->attachDiscView(discResultsView->selectionModel());
    fileResultsView->setModel(searchResults->fileModel());
    searchResults->attachFileView(fileResultsView->selectionModel());
    setColumnWidths(discResultsView, { 130, 80, 80, 120 });
    setColumnWidths(fileResultsView, { 120, 75, 80, 160, 120 });
    // A click on a header sorts by that column; until then the rows keep the search's order.
    for (QTreeView* view : { discResultsView, fileResultsView }) {
        view->header()->setSortIndicator(-1, Qt::AscendingOrder);
        view->setSortingEnabled(true);
    }
    // Results dropped after a delete or a move are no longer counted.
    connect(g_catalogSearch, &CatalogSearch::discResultsChanged, this, &MainWindow::updateSearchSummary,
        Qt::UniqueConnection);
    connect(g_catalogSearch, &CatalogSearch::fileResultsChanged, this, &MainWindow::updateSearchSummary,
        Qt::UniqueConnection);
}

void MainWindow::onSearchClicked()
{
    SearchFilter filter;
    if (filtersCheck->isChecked()) {
        QString error;
        if (!searchFilters->readFilter(filter, error)) {
            questions().messageBox(error, QStringLiteral("Search"), MessageIcon::Warning, OkButton);
            return;
        }
    }
    g_catalogSearch->setFilter(filter);
    auto chosen = std::make_unique<TIntegerList>();
    searchProgressBar->setRange(0, 100);
    searchProgressBar->setValue(0);
    searchProgressBar->setVisible(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The cursor and the progress bar come back also when the search fails.
    struct Restore {
        MainWindow* window;
        ~Restore()
        {
            if (g_catalogSearch != nullptr) {
                g_catalogSearch->onProgress = nullptr;
            }
            QApplication::restoreOverrideCursor();
            window->searchProgressBar->setVisible(false);
        }
    } restore { this };
    TIntegerList* list = chosen.get();
    chosenFilesets(static_cast<FilesetChooser*>(searchScopeChooser), list);
    g_catalogSearch->onProgress = [this](CatalogSearch* sender) { onSearchProgress(sender); };
    g_catalogSearch->setSearchText(searchEdit->text());
    s_repaintClock.invalidate();
    {
        const SearchInputGate gate(this);
        g_catalogSearch->search(*chosen);
    }
    showPanel(resultsPanel);
    chosen.reset();
    settings().setStringValue(SearchStringSetting, searchEdit->text());
    updateResultsCommand();
    (resultsTabs->currentIndex() != 0 ? fileResultsView : discResultsView)->setFocus();
    updateSearchSummary();
}

void MainWindow::updateSearchSummary()
{
    if (g_catalogSearch == nullptr) {
        return;
    }
    updateResultsCommand();
    discSummaryLabel->setText(QString::number(g_catalogSearch->discResultCount())
        + QStringLiteral(" Discs with matches. ") + QString::number(g_catalogSearch->fileMatches())
        + QStringLiteral(" File matches. ") + QString::number(g_catalogSearch->folderMatches())
        + QStringLiteral(" Folder matches. "));
    QString hint = QStringLiteral("To do another search, click the \"new search\" button or press F3.");
    if (g_catalogSearch->isLimited()) {
        hint.prepend(QStringLiteral("Displaying the first ") + QString::number(g_catalogSearch->resultLimit())
            + QStringLiteral(" items. "));
    }
    if (g_catalogSearch->wasCancelled()) {
        hint.prepend(QStringLiteral("The search was stopped. "));
    }
    if (!g_catalogSearch->notSearched().isEmpty()) {
        hint += QStringLiteral("\n") + QStringLiteral("Not searched: ")
            + g_catalogSearch->notSearched().join(QStringLiteral(", "));
    }
    fileSummaryLabel->setText(hint);
}

void MainWindow::onSearchProgress(CatalogSearch* sender)
{
    searchProgressBar->setValue(progressPercent(sender->doneBytes(), sender->totalBytes()));
    if (s_repaintClock.isValid() && s_repaintClock.elapsed() < s_repaintInterval) {
        return;
    }
    s_repaintClock.start();
    QCoreApplication::processEvents();
}

void MainWindow::onSearchScopeChanged()
{
    settings().setStringValue(SearchAtSetting, searchScopeChooser->currentText());
}

void MainWindow::onResultsTabChanged(int index) { settings().setIntValue(SearchPageSetting, index); }

void MainWindow::onDiscResultDoubleClicked()
{
    const EntityEntry* result = searchResults != nullptr ? searchResults->selectedDiscEntry() : nullptr;
    if (result == nullptr) {
        return;
    }
    // By identity: the result's fileset object and its disc's offset, never a path another disc with
    // the same texts could answer.
    NavigationNode* node = findNodeByPlace(navigationTree, placeOfRecord(result->fileset, { result->entity->Offset }));
    if (node != nullptr && node->item.kind == DiscItem) {
        selectAndShow(node);
    }
}

void MainWindow::onFileResultDoubleClicked()
{
    if (searchResults == nullptr) {
        return;
    }
    const int row = searchResults->selectedFileRow();
    if (row < 0) {
        return;
    }
    const EntityEntry* result = searchResults->selectedFileEntry();
    // Below the levels the walk keeps, the folders are found again; a result whose folders cannot be
    // found is not opened, rather than in another folder.
    const std::optional<std::vector<std::uint32_t>> found = CatalogSearch::fullAncestors(*result);
    if (!found || found->empty()) {
        return;
    }
    const std::vector<std::uint32_t>& ancestors = *found;
    NavigationNode* folder = findNodeByPlace(navigationTree, placeOfRecord(result->fileset, ancestors));
    // Only the result's own disc is opened; a folder that is gone leaves the tree where it was.
    if (folder == nullptr || (folder->item.kind != DiscItem && folder->item.kind != FolderItem)
        || folder->item.offset != ancestors.back()) {
        return;
    }
    selectAndShow(folder);
    // The row of the result's own record; renamed since the search, it is no longer the match.
    const int listRow = g_catalogList->findRowByOffset(result->entity->Offset);
    const QString name = searchResults->fileModel()->index(row, 0).data(Qt::DisplayRole).toString();
    if (listRow < 0 || !sameTextAscii(g_catalogList->rowCaption(listRow), name)) {
        return;
    }
    showPanel(catalogView);
    catalogView->setFocus();
    const QModelIndex index = g_catalogList->model->index(listRow, 0);
    catalogView->scrollTo(index);
    catalogView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool MainWindow::handleDiscResultsKey(int key)
{
    switch (key) {
    case Qt::Key_Right:
        resultsTabs->setCurrentIndex(1);
        fileResultsView->setFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        onDiscResultDoubleClicked();
        return true;
    default:
        return false;
    }
}

bool MainWindow::handleFileResultsKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
        resultsTabs->setCurrentIndex(0);
        discResultsView->setFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        onFileResultDoubleClicked();
        return true;
    default:
        return false;
    }
}
