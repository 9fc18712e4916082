// The main window's search panel and results panel: running a search over the chosen filesets with
// its progress, the summary lines, the stored search settings, and opening a result in the tree.
#include "gui/mainwindow/mainwindow.h"

#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "engine/Containers.h"
#include "gui/common/appicons.h"
#include "gui/common/filesetchooser.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/eventhook.h"
#include "gui/mainwindow/navigationtree.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
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
class TSearchInputGate : public QObject {
public:
    explicit TSearchInputGate(QWidget* window)
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
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && SearchHelper != nullptr) {
                SearchHelper->Cancel();
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

void TForm1::connectSearch()
{
    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(Edit_Search, &QLineEdit::returnPressed, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(ComboBoxEx1, &QComboBox::activated, this, [this] { RunGuarded([this] { ComboBoxEx1Change(); }); });
    connect(PageControl1, &QTabWidget::currentChanged, this,
        [this](int index) { RunGuarded([this, index] { PageControl1Change(index); }); });
    connect(ListView1, &QTreeView::doubleClicked, this, [this] { RunGuarded([this] { ListView1DblClick(); }); });
    connect(ListView2, &QTreeView::doubleClicked, this, [this] { RunGuarded([this] { ListView2DblClick(); }); });
    for (QTreeView* view : { ListView1, ListView2 }) {
        new TEventHook(view, [this, view](QEvent* event) {
            if (event->type() != QEvent::KeyPress) {
                return false;
            }
            const int key = static_cast<QKeyEvent*>(event)->key();
            bool handled = false;
            RunGuarded([&] { handled = view == ListView1 ? ListView1KeyDown(key) : ListView2KeyDown(key); });
            return handled;
        });
    }
    ProgressBar1->setFormat(QStringLiteral("%p%  (Esc stops the search)"));

    // View Results is disabled while there are no results, and its key then opens the search panel.
    QAction* results = action("act_results");
    auto* newSearchKey = new QShortcut(results->shortcut(), this);
    newSearchKey->setObjectName(QStringLiteral("act_resultsWhileDisabled"));
    newSearchKey->setContext(Qt::WindowShortcut);
    newSearchKey->setEnabled(!results->isEnabled());
    connect(results, &QAction::enabledChanged, newSearchKey,
        [newSearchKey](bool enabled) { newSearchKey->setEnabled(!enabled); });
    connect(newSearchKey, &QShortcut::activated, this, [this] { RunGuarded([this] { act_resultsExecute(); }); });
}

void TForm1::AttachSearchLists()
{
    if (SearchHelper == nullptr) {
        return;
    }
    const TImageList& small = SmallImages();
    QList<QIcon> images;
    for (int i = 0; i < small.Count(); ++i) {
        images.append(small.Icon(i));
    }
    SearchHelper->SetDiscImages(images);
    ListView1->setModel(SearchHelper->DiscModel());
    SearchHelper->AttachDiscView(ListView1->selectionModel());
    ListView2->setModel(SearchHelper->FileModel());
    SearchHelper->AttachFileView(ListView2->selectionModel());
    setColumnWidths(ListView1, { 130, 80, 80 });
    setColumnWidths(ListView2, { 120, 75, 80 });
}

void TForm1::Button1Click()
{
    auto chosen = std::make_unique<TIntegerList>();
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The cursor and the progress bar come back also when the search fails.
    struct Restore {
        TForm1* window;
        ~Restore()
        {
            if (SearchHelper != nullptr) {
                SearchHelper->OnProgress = nullptr;
            }
            QApplication::restoreOverrideCursor();
            window->ProgressBar1->setVisible(false);
        }
    } restore { this };
    TIntegerList* list = chosen.get();
    GetChosenFilesets(static_cast<TImageComboBox*>(ComboBoxEx1), list);
    SearchHelper->OnProgress = [this](TSearchHelper* sender) { SearchProgress(sender); };
    SearchHelper->SetSearchText(Edit_Search->text());
    s_repaintClock.invalidate();
    {
        const TSearchInputGate gate(this);
        SearchHelper->Search(*chosen);
    }
    ShowPanel(P_SearchResults);
    chosen.reset();
    settings().SetStr(skSearchString, Edit_Search->text());
    updateResultsCommand();
    (PageControl1->currentIndex() != 0 ? ListView2 : ListView1)->setFocus();
    lab_result1->setText(QString::number(SearchHelper->DiscResultCount()) + QStringLiteral(" Discs with matches. ")
        + QString::number(SearchHelper->FileMatches()) + QStringLiteral(" File matches. ")
        + QString::number(SearchHelper->FolderMatches()) + QStringLiteral(" Folder matches. "));
    QString hint = QStringLiteral("To do another search, click the \"new search\" button or press F3.");
    if (SearchHelper->Limited()) {
        hint.prepend(QStringLiteral("Displaying the first ") + QString::number(SearchHelper->ResultLimit())
            + QStringLiteral(" items. "));
    }
    if (SearchHelper->Cancelled()) {
        hint.prepend(QStringLiteral("The search was stopped. "));
    }
    Lab_result2->setText(hint);
}

void TForm1::SearchProgress(TSearchHelper* sender)
{
    ProgressBar1->setValue(progressPercent(sender->DoneBytes(), sender->TotalBytes()));
    if (s_repaintClock.isValid() && s_repaintClock.elapsed() < s_repaintInterval) {
        return;
    }
    s_repaintClock.start();
    QCoreApplication::processEvents();
}

void TForm1::ComboBoxEx1Change() { settings().SetStr(skSearchAt, ComboBoxEx1->currentText()); }

void TForm1::PageControl1Change(int index) { settings().SetInt(skSearchPage, index); }

void TForm1::ListView1DblClick()
{
    if (SearchHelper == nullptr || SearchHelper->SelectedDiscRow() < 0) {
        return;
    }
    selectAndShow(FindNodeByPath(TreeView1, SearchHelper->SelectedDiscPath()));
}

void TForm1::ListView2DblClick()
{
    if (SearchHelper == nullptr) {
        return;
    }
    const int result = SearchHelper->SelectedFileRow();
    if (result < 0) {
        return;
    }
    TTreeNode* folder = FindNodeByPath(TreeView1, SearchHelper->SelectedFilePath());
    if (folder == nullptr) {
        return;
    }
    selectAndShow(folder);
    const QString name = SearchHelper->FileModel()->index(result, 0).data(Qt::DisplayRole).toString();
    const int row = ListHelper->FindRow(name);
    if (row < 0) {
        return;
    }
    ShowPanel(lv);
    lv->setFocus();
    const QModelIndex index = ListHelper->Model->index(row, 0);
    lv->scrollTo(index);
    lv->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool TForm1::ListView1KeyDown(int key)
{
    switch (key) {
    case Qt::Key_Right:
        PageControl1->setCurrentIndex(1);
        ListView2->setFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ListView1DblClick();
        return true;
    default:
        return false;
    }
}

bool TForm1::ListView2KeyDown(int key)
{
    switch (key) {
    case Qt::Key_Left:
        PageControl1->setCurrentIndex(0);
        ListView1->setFocus();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ListView2DblClick();
        return true;
    default:
        return false;
    }
}
