// How the editor and the lists behave as a finished desktop program's do: Tab
// moves the focus through the window in reading order, a list keeps its
// selection, and a deletion can be taken back.
#include "app/CategoryListModel.h"
#include "app/TFrmMain.h"
#include "markup/MemoMenu.h"
#include "platform/Paths.h"
#include "platform/ShowWindowChannel.h"
#include "platform/SingleLineEdit.h"
#include "platform/VellumError.h"
#include "store/TDateMan.h"
#include "ui/LongLineWrap.h"
#include "ui/MultiRowTabHeader.h"

#include <QAction>
#include <QItemSelection>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>

#include <cstdio>

void TFrmMain::setupEditorBehaviour() {
    // The content is a memo that does not want tabs: Tab moves on, as in the
    // rest of the window.
    meoContent->setTabChangesFocus(true);
    LongLineWrap::install(meoContent);

    // Reading order: the toolbar, the title, the content's buttons and the
    // memo, the form switch, the current category tab, then its list.
    QList<QWidget*> chain{btnNew,   btnSave, btnDel,      btnConfig,
                          btnAbout, btnHelp, btnPostData, edtTitle};
    for (const char* name : {"btnUrl", "btnImg", "btnFlash", "btnRm", "btnMp", "SpeedButton1"})
        if (auto* button = findChild<QToolButton*>(QString::fromLatin1(name)))
            chain << button;
    chain << meoContent << BitBtn1;
    for (QWidget* w : chain)
        if (qobject_cast<QToolButton*>(w))
            w->setFocusPolicy(Qt::TabFocus);
    // The tab header makes only the current tab a stop of its own.
    for (QToolButton* tab : m_tabHeader->findChildren<QToolButton*>())
        chain << tab;
    for (QListView* list : m_lists)
        chain << list;
    // The page control's own tab bar is hidden behind the tab header; as a
    // stop of its own it would swallow the focus.
    mPage->setFocusPolicy(Qt::NoFocus);
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);

    for (int k = 0; k < kCategories; ++k)
        connect(m_lists[k]->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, k](const QItemSelection&, const QItemSelection& deselected) {
                    keepListSelection(k, deselected);
                });

    N_UndoDelete = new QAction(QStringLiteral("撤销删除"), this);
    N_UndoDelete->setObjectName(QStringLiteral("N_UndoDelete"));
    N_UndoDelete->setShortcut(QKeySequence::Undo);
    N_UndoDelete->setShortcutContext(Qt::WidgetShortcut);
    N_UndoDelete->setEnabled(false);
    const QList<QAction*> items = PopMenuList->actions();
    // Beside the two deletions it takes back.
    PopMenuList->insertAction(items.size() > 2 ? items[2] : nullptr, N_UndoDelete);
    for (QListView* list : m_lists)
        list->addAction(N_UndoDelete);
    connect(N_UndoDelete, &QAction::triggered, this, &TFrmMain::UndoDeletion);
}

// A click on the blank area under the rows, or a Ctrl+click, would empty the
// selection while the editor still says "EDIT"; Save would then do nothing and
// the edit would be lost. Only the program itself clears a selection.
void TFrmMain::keepListSelection(int category, const QItemSelection& deselected) {
    if (m_programmaticSelection > 0 || deselected.isEmpty() || selectedRow(category) >= 0)
        return;
    const int row = deselected.indexes().first().row();
    if (row < m_models[category]->rowCount())
        selectRow(category, row);
}

void TFrmMain::UndoDeletion() {
    if (!m_deletionUndo.available() || !m_unsavedQuestion->settle(EditorState::Action::Load))
        return;
    const int k = m_deletionUndo.category();
    const int row = m_deletionUndo.restore(*m_store);
    N_UndoDelete->setEnabled(false);
    RefreshCategoryList(k);
    if (k != activeCategory()) {
        ++m_programmaticPage;
        mPage->setCurrentIndex(k);
        --m_programmaticPage;
        m_shownPage = k;
    }
    selectRow(k, row);
    LoadSelectedPost();
}

void TFrmMain::installShortcuts() {
    const auto shortcut = [this](const char* keys, auto slot) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    shortcut("Ctrl+N", [this] { NewPost(); });
    shortcut("Ctrl+S", [this] { SavePostCommand(); });
    shortcut("Ctrl+F", [this] { FindPost(); });
    shortcut("Ctrl+H", [this] {
        if (PopupMenuMemo)
            PopupMenuMemo->SearchReplaceClick();
    });
    // Delete in a list is the menu's "删除此贴...", and like it needs a row.
    QAction* deletePost = findChild<QAction*>(QStringLiteral("N_DeletePost"));
    deletePost->setShortcut(QKeySequence::Delete);
    deletePost->setShortcutContext(Qt::WidgetShortcut);
    for (QListView* list : m_lists)
        list->addAction(deletePost);
    for (int k = 0; k < kCategories; ++k)
        connect(m_lists[k]->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &TFrmMain::updateListCommands);
    connect(mPage, &QTabWidget::currentChanged, this, &TFrmMain::updateListCommands);
    updateListCommands();
}

void TFrmMain::updateListCommands() {
    const int k = activeCategory();
    const bool selected = selectedRow(k) >= 0;
    const bool rows = m_store && m_store->RecordCount(k) > 0;
    const struct {
        const char* name;
        bool enabled;
    } items[] = {{"N_DeletePost", selected},
                 {"N_MovePost", selected},
                 {"N_DeleteAll", rows},
                 {"N_FindPost", rows}};
    for (const auto& item : items)
        if (auto* action = findChild<QAction*>(QString::fromLatin1(item.name)))
            action->setEnabled(item.enabled);
}

void TFrmMain::keepFieldsSingleLine() {
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit != edtTitle)
            KeepSingleLine(edit);
}

void TFrmMain::listenForShowRequests() {
    auto* channel = new ShowWindowChannel(this);
    connect(channel, &ShowWindowChannel::showRequested, this, &TFrmMain::bringToFront);
    try {
        channel->listen(Paths::runtimeDir());
    } catch (const VellumError& e) {
        // Not worth a message box: only a second start misses it.
        std::fprintf(stderr, "vellum: %s\n", e.message().toLocal8Bit().constData());
    }
}
