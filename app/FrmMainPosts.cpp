// The post list and editor of the main window: how the lists mirror the store
// and how a post travels between a list and the editor.
#include "app/CategoryListModel.h"
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
#include "ui/MultiRowTabHeader.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTabWidget>

namespace {
// Every line break of any kind (CR LF, lone CR, lone LF) becomes lineBreak.
QString withBreaks(QString text, const QString& lineBreak) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (lineBreak != QLatin1String("\n"))
        text.replace(QLatin1Char('\n'), lineBreak);
    return text;
}
} // namespace

int TFrmMain::activeCategory() const {
    const int index = mPage->currentIndex();
    return index < 0 ? 0 : index;
}

int TFrmMain::selectedRow(int category) const {
    const QModelIndexList rows = m_lists[category]->selectionModel()->selectedRows();
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
}

void TFrmMain::onListSelectionChanged(int category) {
    // Only a selection made by the user loads the post; the commands that
    // select a row themselves load it when they mean to.
    if (m_programmaticSelection > 0 || category != activeCategory())
        return;
    if (selectedRow(category) >= 0)
        LoadSelectedPost();
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
    m_editorMode = QStringLiteral("EDIT");
    m_capturedTitle = false;
    setStatusText(QStringLiteral("编辑"));
}

void TFrmMain::NewPost() {
    edtTitle->clear();
    meoContent->clear();
    m_editorMode = QStringLiteral("ADD");
    for (int k = 0; k < kCategories; ++k)
        selectRow(k, -1);
    setStatusText(QStringLiteral("新建"));
}

void TFrmMain::SavePostCommand() {
    if (m_editorMode.isEmpty())
        return;
    if (m_editorMode == QLatin1String("EDIT") && selectedRow(activeCategory()) < 0)
        return;
    const QString title = titleText();
    const QString content = contentText();
    if (title.isEmpty()) {
        MessageBoxes::info(this, QStringLiteral("给帖子起个名字吧！"));
        edtTitle->setFocus();
        return;
    }
    if (content.isEmpty()) {
        MessageBoxes::info(this, QStringLiteral("帖子的内容呢?"));
        meoContent->setFocus();
        return;
    }
    try {
        if (!SavePost(title, content) && title.contains(QLatin1String(kPostSeparator)))
            edtTitle->setFocus();
    } catch (const std::exception& e) {
        ErrorReporter::report(e); // a category that cannot be changed in this run
    }
}

bool TFrmMain::SavePost(const QString& title, const QString& content) {
    // The separator in a title would split the post at the wrong place when
    // the category is read again.
    if (title.contains(QLatin1String(kPostSeparator))) {
        MessageBoxes::info(this, QStringLiteral("标题中不能含有“$TCSPLIT$”！"));
        return false;
    }
    // Every tab is hidden: the active index names no category the user sees.
    if (!tabVisible(activeCategory())) {
        MessageBoxes::info(this, QStringLiteral("还没有帖子分类，帖子没有保存。\n"
                                                "请先在“参数设置”的“帖子分类”页中添加分类，"
                                                "然后重新运行程序。"));
        return false;
    }
    const QByteArray line =
        EncodePost(AnsiCodePage::fromUnicode(title), AnsiCodePage::fromUnicode(content));
    const int k = activeCategory();
    int s = selectedRow(k);
    if (m_editorMode == QLatin1String("ADD")) {
        m_store->AddRecord(line, k);
        m_editorMode.clear();
    } else if (m_editorMode == QLatin1String("EDIT") && s != -1) {
        m_store->ReplaceRecord(line, s, k);
        s = m_models[k]->rowCount();
    }
    RefreshCategoryList(k);
    selectRow(k, s);
    setStatusText(QString());
    emit postSaved();
    return true;
}

void TFrmMain::DeletePost() {
    const int k = activeCategory();
    const int s = selectedRow(k);
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
        m_editorMode.clear();
    }
    edtTitle->clear();
    meoContent->clear();
}

void TFrmMain::DeleteAllPosts() {
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
    m_editorMode.clear();
    edtTitle->clear();
    meoContent->clear();
}

void TFrmMain::onPageChanged(int) {
    ensureCategoryLoaded(activeCategory());
    edtTitle->clear();
    meoContent->clear();
    LoadSelectedPost();
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
    try {
        // Both categories change together, so they are saved together.
        m_store->MoveRecord(s, k, t);
    } catch (const std::exception& e) {
        ErrorReporter::report(e);
        return;
    }
    RefreshCategoryList(k);
    RefreshCategoryList(t);
}

void TFrmMain::SelectNextPost() {
    const int k = activeCategory();
    const int s = selectedRow(k);
    if (s < 0)
        return;
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

QString TFrmMain::statusText() const {
    return m_statusPanels[0]->text();
}
void TFrmMain::setStatusText(const QString& text) {
    m_statusPanels[0]->setText(text);
}

// A title is one line: each break of any kind becomes one blank. A pasted
// title can hold breaks, so the text is also cleaned where it is taken.
QString TFrmMain::titleText() const {
    return withBreaks(edtTitle->text(), QStringLiteral(" "));
}

void TFrmMain::setTitleText(const QString& text) {
    edtTitle->setText(withBreaks(text, QStringLiteral(" ")));
}

// Posts hold CR LF between lines; the memo holds LF.
QString TFrmMain::contentText() const {
    return withBreaks(meoContent->toPlainText(), QStringLiteral("\r\n"));
}

void TFrmMain::setContentText(const QString& text) {
    meoContent->setPlainText(withBreaks(text, QStringLiteral("\n")));
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
