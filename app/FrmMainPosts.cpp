// The post list and editor of the main window: how the lists mirror the store
// and how a post travels between a list and the editor.
#include "app/CategoryListModel.h"
#include "app/EditorText.h"
#include "app/MessageBoxes.h"
#include "app/TFrmMain.h"
#include "app/TFrmSearchSubject.h"
#include "app/Tfrmtrans.h"
#include "platform/AnsiCodePage.h"
#include "platform/ClipboardText.h"
#include "platform/ErrorReporter.h"
#include "platform/Paths.h"
#include "platform/SharedTextBlock.h"
#include "store/PostLine.h"
#include "store/TDateMan.h"
#include "ui/LongLineWrap.h"
#include "ui/MultiRowTabHeader.h"
#include "ui/ToastPopup.h"

#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <cstdio>

int TFrmMain::activeCategory() const {
    const int index = mPage->currentIndex();
    return index < 0 ? 0 : index;
}

int TFrmMain::selectedRow(int category) const {
    const QItemSelectionModel* selection = m_lists[category]->selectionModel();
    if (!selection) // the list has no model yet, at start
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TFrmMain::selectRow(int category, int row) {
    QListView* list = m_lists[category];
    ++m_programmaticSelection;
    if (row >= 0 && row < m_models[category]->rowCount()) {
        const QModelIndex index = m_models[category]->index(row);
        list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list->scrollTo(index);
    } else {
        list->selectionModel()->clearSelection();
        list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    --m_programmaticSelection;
}

void TFrmMain::RefreshCategoryList(int k) {
    ++m_programmaticSelection;
    m_models[k]->refresh();
    --m_programmaticSelection;
    mPage->setTabToolTip(k, m_store->isLoaded(k)
                                ? QStringLiteral("共有%1个帖子").arg(m_models[k]->rowCount())
                                : QStringLiteral("正在读取帖子……"));
    m_tabHeader->sync();
    updateListCommands();
}

void TFrmMain::onListSelectionChanged(int category, const QItemSelection& deselected) {
    // Only a selection made by the user loads the post; the commands that
    // select a row themselves load it when they mean to.
    if (m_programmaticSelection > 0 || category != activeCategory())
        return;
    const int s = selectedRow(category);
    if (s < 0)
        return;
    const bool now = m_unsavedQuestion->goesOnNow(
        EditorState::Action::Load,
        [this, category, s] {
            return category == activeCategory() && s < m_models[category]->rowCount();
        },
        [this, category, s] {
            selectRow(category, s);
            LoadSelectedPost();
        });
    if (now) {
        LoadSelectedPost();
        return;
    }
    // The selection goes back until the user has answered.
    const QModelIndexList before = deselected.indexes();
    selectRow(category, before.isEmpty() ? -1 : before.first().row());
}

void TFrmMain::LoadSelectedPost() {
    const int k = activeCategory();
    const int s = selectedRow(k);
    if (s < 0)
        return;
    QByteArray line;
    m_store->GetRecord(s, k, line);
    setTitleText(AnsiCodePage::toUnicode(DecodePostPart(line, 1)));
    setContentText(AnsiCodePage::toUnicode(DecodePostPart(line, 2)));
    try {
        PublishPost(titleText(), contentText());
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
    }
    m_editor.showStored(k, s, line, edtTitle->text(), meoContent->toPlainText());
    m_editor.setCapturedTitle(false);
    updateEditorStatus();
}

void TFrmMain::NewPost() {
    if (!m_unsavedQuestion->settle(EditorState::Action::New))
        return;
    edtTitle->clear();
    meoContent->clear();
    m_editor.startNew();
    for (int k = 0; k < kCategories; ++k)
        selectRow(k, -1);
    updateEditorStatus();
}

bool TFrmMain::SavePostCommand() {
    const QString title = titleText();
    const QString content = contentText();
    if (title.isEmpty()) {
        MessageBoxes::info(this, QStringLiteral("给帖子起个名字吧！"));
        edtTitle->setFocus();
        return false;
    }
    if (content.isEmpty()) {
        MessageBoxes::info(this, QStringLiteral("帖子的内容呢?"));
        meoContent->setFocus();
        return false;
    }
    try {
        if (SavePost(title, content))
            return true;
        if (title.contains(QLatin1String(kPostSeparator)))
            edtTitle->setFocus();
    } catch (const std::exception& e) {
        ErrorReporter::report(e); // a category that cannot be changed in this run
    }
    return false;
}

std::optional<int> TFrmMain::rowOfShownPost() const {
    return m_editor.tied() ? m_editor.rowAmong(m_store->Records(m_editor.tiedCategory()))
                           : std::nullopt;
}

bool TFrmMain::SavePost(const QString& title, const QString& content) {
    // The separator in a title would split the post at the wrong place when
    // the category is read again.
    if (title.contains(QLatin1String(kPostSeparator))) {
        MessageBoxes::info(this, QStringLiteral("标题中不能含有“$TCSPLIT$”！帖子没有保存。"));
        return false;
    }
    const QByteArray line =
        EncodePost(AnsiCodePage::fromUnicode(title), AnsiCodePage::fromUnicode(content));
    const EditorState::SavePlan plan = m_editor.planSave(title, content, rowOfShownPost());
    int k = activeCategory();
    int row = 0;
    if (plan.kind == EditorState::SavePlan::Kind::Replace) {
        k = plan.category;
        row = plan.row;
        m_store->ReplaceRecord(line, row, k);
    } else {
        // Every tab is hidden: the active index names no category the user sees.
        if (!tabVisible(k)) {
            MessageBoxes::info(this, QStringLiteral("还没有帖子分类，帖子没有保存。\n"
                                                    "请先在“参数设置”的“帖子分类”页中添加分类。"));
            return false;
        }
        m_store->AddRecord(line, k);
        row = m_store->RecordCount(k) - 1;
    }
    RefreshCategoryList(k);
    selectRow(k, row);
    m_editor.showStored(k, row, line, edtTitle->text(), meoContent->toPlainText());
    updateEditorStatus();
    emit postSaved();
    return true;
}

void TFrmMain::DeletePost() {
    const int k = activeCategory();
    const int s = selectedRow(k);
    if (!m_unsavedQuestion->settle(EditorState::Action::Delete))
        return;
    if (s != -1) {
        const QByteArray post = m_store->record(k, s);
        try {
            m_store->DeleteRecord(s, k);
        } catch (const std::exception& e) {
            ErrorReporter::report(e);
            return;
        }
        m_deletionUndo.remember(k, {{s, post}});
        N_UndoDelete->setEnabled(true);
        RefreshCategoryList(k);
    }
    edtTitle->clear();
    meoContent->clear();
    m_editor.clear();
    updateEditorStatus();
}

void TFrmMain::DeleteAllPosts() {
    if (!m_unsavedQuestion->settle(EditorState::Action::Delete))
        return;
    if (!MessageBoxes::confirm(this, QStringLiteral("确认要删除全部帖子吗？"),
                               QStringLiteral("确认删除")))
        return;
    const int k = activeCategory();
    QList<DeletionUndo::Deleted> posts;
    for (int i = 0; i < m_store->RecordCount(k); ++i)
        posts.append({i, m_store->record(k, i)});
    try {
        m_store->ClearCategory(k);
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
        return;
    }
    m_deletionUndo.remember(k, std::move(posts));
    N_UndoDelete->setEnabled(m_deletionUndo.available());
    RefreshCategoryList(k);
    edtTitle->clear();
    meoContent->clear();
    m_editor.clear();
    updateEditorStatus();
}

void TFrmMain::onPageChanged(int index) {
    if (m_programmaticPage > 0 || index == m_shownPage)
        return;
    const bool now = m_unsavedQuestion->goesOnNow(
        EditorState::Action::TabSwitch,
        [this, index] { return index >= 0 && index < kCategories && tabVisible(index); },
        [this, index] {
            ++m_programmaticPage;
            mPage->setCurrentIndex(index);
            --m_programmaticPage;
            showPage(index);
        });
    if (now) {
        showPage(index);
        return;
    }
    // The tab the unsaved post belongs to stays in front while the user answers.
    ++m_programmaticPage;
    mPage->setCurrentIndex(m_shownPage);
    --m_programmaticPage;
}

void TFrmMain::showPage(int index) {
    m_shownPage = index;
    ensureCategoryLoaded(index);
    edtTitle->clear();
    meoContent->clear();
    m_editor.clear();
    LoadSelectedPost();
    updateEditorStatus();
}

void TFrmMain::FindPost() {
    if (m_frmSearchSubject->exec() != QDialog::Accepted)
        return;
    const QString text = m_frmSearchSubject->searchText();
    if (text.isEmpty())
        return;
    const int k = activeCategory();
    const int selected = selectedRow(k);
    const int start = selected < 0 ? 0 : selected;
    const int p = m_store->FindTitle(start, AnsiCodePage::fromUnicode(text), k);
    if (p < 0) {
        // The list and the editor stay as they are: a later Save still
        // stores the post shown where it belongs.
        MessageBoxes::info(this, QStringLiteral("没有找到标题包含“%1”的帖子").arg(text));
        return;
    }
    if (!m_unsavedQuestion->settle(EditorState::Action::Load))
        return;
    selectRow(k, p);
    LoadSelectedPost();
}

void TFrmMain::MovePost() {
    const int k = activeCategory();
    const int s = selectedRow(k);
    if (s < 0) {
        MessageBoxes::info(this, QStringLiteral("请选择您要移动的帖子！"));
        return;
    }
    QList<QPair<QString, int>> targets;
    for (int n = 0; n < kCategories; ++n) {
        if (n != k && tabVisible(n))
            targets.append({m_tabCaptions[n], n});
    }
    if (targets.isEmpty()) {
        MessageBoxes::info(this, QStringLiteral("没有可选择的目标分类！"));
        return;
    }
    m_frmTrans->setTargets(targets);
    if (m_frmTrans->exec() != QDialog::Accepted)
        return;
    const int t = m_frmTrans->chosenTarget();
    if (t < 0 || t >= kCategories || !ensureCategoryLoaded(t))
        return;
    // The post shown leaves this tab: edits to it are saved or dropped first.
    const bool movesShownPost = rowOfShownPost() == s && m_editor.tiedCategory() == k;
    if (movesShownPost && !m_unsavedQuestion->settle(EditorState::Action::Delete))
        return;
    try {
        // Both categories change together, so they are saved together.
        m_store->MoveRecord(s, k, t);
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
        return;
    }
    RefreshCategoryList(k);
    RefreshCategoryList(t);
    if (movesShownPost) {
        edtTitle->clear();
        meoContent->clear();
        m_editor.clear();
    }
    updateEditorStatus();
    MSNPopUp1->show(QString(), QStringLiteral("帖子已转移到“%1”").arg(m_tabCaptions[t]));
}

void TFrmMain::SelectNextPost() {
    const int k = activeCategory();
    const int s = selectedRow(k);
    if (s < 0)
        return;
    // The message comes from the browser while the user works there: it never
    // waits for an answer. Unsaved edits are stored first; where Save would
    // refuse them, the editor stays on this post and says why.
    const QString title = titleText();
    const QString content = contentText();
    if (m_editor.unsaved(edtTitle->text(), meoContent->toPlainText())) {
        const auto plan = m_editor.planSave(title, content, rowOfShownPost()).kind;
        const bool refused = plan == EditorState::SavePlan::Kind::RefuseEmptyTitle ||
                             plan == EditorState::SavePlan::Kind::RefuseEmptyContent ||
                             title.contains(QLatin1String(kPostSeparator));
        bool saved = false;
        if (!refused) {
            try {
                saved = SavePost(title, content);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "vellum: %s\n", e.what());
            }
        }
        if (!saved) {
            showNote(QStringLiteral("当前帖子尚未保存，没有转到下一个帖子。"));
            return;
        }
    }
    int next = s + 1;
    if (next > m_models[k]->rowCount() - 1)
        next = 0;
    selectRow(k, next);
    LoadSelectedPost();
}

void TFrmMain::onNextPostMessage(int wparam) {
    if (wparam == 1 && !m_settings.KeepSubject)
        SelectNextPost();
}

void TFrmMain::setEditorMode(const QString& mode) {
    m_editor.setModeName(mode);
    updateEditorStatus();
}

// The memo's text is asked at every keystroke: its length comes first, so
// a long content is copied only when the length alone does not settle it.
qsizetype TFrmMain::contentLength() const {
    return meoContent->document()->characterCount() - 1;
}

bool TFrmMain::editorUnsaved() const {
    return m_editor.contentLengthDiffers(contentLength()) ||
           m_editor.unsaved(edtTitle->text(), meoContent->toPlainText());
}

bool TFrmMain::contentUnsaved() const {
    return m_editor.contentLengthDiffers(contentLength()) ||
           m_editor.contentUnsaved(meoContent->toPlainText());
}

void TFrmMain::updateEditorStatus() {
    setStatusText(m_editor.statusLabel());
    lblUnsaved->setVisible(editorUnsaved());
}

void TFrmMain::showNote(const QString& text) {
    m_statusPanels[1]->setText(text);
    // A long file name does not fit the panel.
    m_statusPanels[1]->setToolTip(text);
}

QString TFrmMain::statusText() const {
    return m_statusPanels[0]->text();
}
void TFrmMain::setStatusText(const QString& text) {
    m_statusPanels[0]->setText(text);
}

// A title is one line: each break of any kind becomes one blank. A pasted
// title can hold breaks, so the text is also cleaned where it is taken.
QString TFrmMain::titleText() const {
    return EditorText::withBreaks(edtTitle->text(), u" ");
}

void TFrmMain::setTitleText(const QString& text) {
    edtTitle->setText(EditorText::withBreaks(text, u" "));
}

// Posts hold CR LF between lines; the memo holds LF.
QString TFrmMain::contentText() const {
    return EditorText::withBreaks(meoContent->toPlainText(), u"\r\n");
}

void TFrmMain::setContentText(const QString& text) {
    const QString memoText = EditorText::withBreaks(text, u"\n");
    LongLineWrap::prepareFor(meoContent, memoText);
    meoContent->setPlainText(memoText);
}

void TFrmMain::PublishPost(const QString& title, const QString& content) {
    publishToBlock(title, content);
    // Through the clipboard's own writer, which remembers the text as the
    // program's: a post whose content is a command is never run by the poll.
    if (m_settings.SetClipBoard)
        ClipboardText::write(content);
}

void TFrmMain::publishToBlock(const QString& title, const QString& content) {
    if (!m_sharedBlock)
        m_sharedBlock = std::make_unique<SharedTextBlock>(Paths::runtimeDir());
    // The block holds 100,000 bytes; every character takes at least one, so
    // the rest of a long content is never encoded.
    m_sharedBlock->publish(AnsiCodePage::fromUnicode(title),
                           AnsiCodePage::fromUnicode(content.left(SharedTextBlock::Size)));
}
