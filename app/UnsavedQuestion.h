#pragma once
// The question "当前帖子尚未保存。要保存吗？" before a command replaces the
// editor's unsaved text: nothing typed is dropped without the user's word.
// 保存 stores the post first (a refused save stops the command), 不保存 goes
// on, 取消 keeps the editor as it is. A change the user makes on the lists or
// the tabs is put back and asked about from the event loop, never in the
// middle of a mouse press; while that question is on its way, further changes
// are put back and dropped.
#include "app/EditorState.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

class UnsavedQuestion : public QObject {
  public:
    struct Texts {
        QString title;   // as the title field holds it
        QString content; // as the memo holds it
    };

    // texts gives the editor's text at the time of asking; save stores the
    // editor's post and is true when it was stored (a refusal has been shown).
    UnsavedQuestion(QWidget* owner, const EditorState& editor, std::function<Texts()> texts,
                    std::function<bool()> save);

    // Asks now where the action would replace unsaved text; true when the
    // action may go on.
    bool settle(EditorState::Action action);

    // For a change the user has just made: true when nothing needs asking and
    // the change goes on now. Otherwise the caller puts the change back; the
    // question opens from the event loop where stillWanted() holds then, and
    // carryOut runs once the user has agreed.
    bool goesOnNow(EditorState::Action action, std::function<bool()> stillWanted,
                   std::function<void()> carryOut);

  private:
    QWidget* m_owner;
    const EditorState& m_editor;
    std::function<Texts()> m_texts;
    std::function<bool()> m_save;
    bool m_pending = false;
};
