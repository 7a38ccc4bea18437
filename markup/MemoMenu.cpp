#include "markup/MemoMenu.h"

#include "markup/TfrmSearchReplace.h"
#include "platform/ErrorReporter.h"
#include "platform/VellumError.h"
#include "settings/IniFile.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>

void ApplyWordWrap(QPlainTextEdit* memo, bool wrap) {
    memo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

MemoMenu::MemoMenu(QPlainTextEdit* memo, TfrmSearchReplace* searchReplace,
                   TSettingsMirror& settings, QString iniPath)
    : QMenu(memo), m_memo(memo), m_searchReplace(searchReplace), m_settings(settings),
      m_iniPath(std::move(iniPath)) {
    setObjectName(QStringLiteral("PopupMenuMemo"));
    auto item = [this](const char* name, const char* caption) {
        QAction* action = addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    NAutoline = item("NAutoline", "自动换行");
    NAutoline->setCheckable(true);
    addSeparator();
    NUndo = item("NUndo", "撤销");
    NRedo = item("NRedo", "重做");
    addSeparator();
    NCut = item("NCut", "剪切");
    NCopy = item("NCopy", "复制");
    NPaste = item("NPaste", "粘贴");
    addSeparator();
    NSearchReplace = item("NSearchReplace", "查找替换");
    addSeparator();
    NSelectAll = item("NSelectAll", "全选");
    NClear = item("NClear", "清空");
    addSeparator();
    // Disabled until the image download connects it.
    NDownloadImages = item("NDownloadImages", "下载所有图片");
    NDownloadImages->setEnabled(false);

    connect(NAutoline, &QAction::triggered, this, &MemoMenu::AutolineClick);
    connect(NUndo, &QAction::triggered, m_memo, &QPlainTextEdit::undo);
    connect(NRedo, &QAction::triggered, m_memo, &QPlainTextEdit::redo);
    connect(NCut, &QAction::triggered, m_memo, &QPlainTextEdit::cut);
    connect(NCopy, &QAction::triggered, m_memo, &QPlainTextEdit::copy);
    connect(NPaste, &QAction::triggered, m_memo, &QPlainTextEdit::paste);
    connect(NSearchReplace, &QAction::triggered, this, &MemoMenu::SearchReplaceClick);
    connect(NSelectAll, &QAction::triggered, m_memo, &QPlainTextEdit::selectAll);
    connect(NClear, &QAction::triggered, this, &MemoMenu::ClearClick);
    connect(this, &QMenu::aboutToShow, this, &MemoMenu::updateItems);
    updateItems();

    m_memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup(m_memo->viewport()->mapToGlobal(pos)); });
}

void MemoMenu::updateItems() {
    {
        const QSignalBlocker blocker(NAutoline);
        NAutoline->setChecked(m_settings.MemoAutoline);
    }
    QTextDocument* doc = m_memo->document();
    const bool selection = m_memo->textCursor().hasSelection();
    NUndo->setEnabled(doc->isUndoAvailable());
    NRedo->setEnabled(doc->isRedoAvailable());
    NCut->setEnabled(selection && !m_memo->isReadOnly());
    NCopy->setEnabled(selection);
    NPaste->setEnabled(m_memo->canPaste());
    NSelectAll->setEnabled(!doc->isEmpty());
    NClear->setEnabled(!doc->isEmpty() && !m_memo->isReadOnly());
}

void MemoMenu::AutolineClick(bool on) {
    m_settings.MemoAutoline = on;
    ApplyWordWrap(m_memo, on);
    try {
        IniFile(m_iniPath).writeBool("Common", "MemoAutoline", on);
    } catch (const VellumError& e) {
        ErrorReporter::report(e);
    }
}

void MemoMenu::SearchReplaceClick() {
    // The text is taken when the replace button is pressed, not now: a capture
    // may still arrive while the dialog is open.
    m_searchReplace->setWorkingText(m_memo->toPlainText());
    m_searchReplace->setWorkingTextSource([this] { return m_memo->toPlainText(); });
    const bool accepted = m_searchReplace->exec() == QDialog::Accepted;
    m_searchReplace->setWorkingTextSource({});
    if (!accepted)
        return;
    emit replaced(int(m_searchReplace->replacedCount()), m_searchReplace->searchText());
    if (m_searchReplace->workingText() == m_memo->toPlainText())
        return;
    QTextCursor cursor(m_memo->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(m_searchReplace->workingText());
    cursor.endEditBlock();
    cursor.movePosition(QTextCursor::Start);
    m_memo->setTextCursor(cursor);
}

void MemoMenu::ClearClick() {
    QTextCursor cursor(m_memo->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
}
