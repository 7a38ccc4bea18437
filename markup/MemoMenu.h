#pragma once
// The content editor's own context menu, PopupMenuMemo: word wrap, undo and
// redo, the clipboard commands, find and replace-all, select all and clear, in
// Chinese like the rest of the window. Every edit it makes is one step of the
// editor's undo.
#include "settings/SettingsMirror.h"

#include <QMenu>
#include <QString>

class QAction;
class QPlainTextEdit;
class TfrmSearchReplace;

// Word wrap on: long lines wrap and only the vertical scroll bar shows. Off:
// no wrapping, both scroll bars.
void ApplyWordWrap(QPlainTextEdit* memo, bool wrap);

class MemoMenu : public QMenu {
    Q_OBJECT
  public:
    // Becomes the memo's context menu. The word-wrap item reads and writes
    // settings.MemoAutoline and stores it in the config.ini at iniPath.
    MemoMenu(QPlainTextEdit* memo, TfrmSearchReplace* searchReplace, TSettingsMirror& settings,
             QString iniPath);

    // The handlers of the items, callable without opening the menu.
    void AutolineClick(bool on);
    void SearchReplaceClick();
    void ClearClick();

  signals:
    // A replace-all ran: how many occurrences of needle it replaced.
    void replaced(int count, const QString& needle);

  private:
    void updateItems();

    QPlainTextEdit* m_memo;
    TfrmSearchReplace* m_searchReplace;
    TSettingsMirror& m_settings;
    QString m_iniPath;

    QAction* NAutoline = nullptr;
    QAction* NUndo = nullptr;
    QAction* NRedo = nullptr;
    QAction* NCut = nullptr;
    QAction* NCopy = nullptr;
    QAction* NPaste = nullptr;
    QAction* NSearchReplace = nullptr;
    QAction* NSelectAll = nullptr;
    QAction* NClear = nullptr;
    QAction* NDownloadImages = nullptr;
};
