#include "app/UnsavedQuestion.h"

#include "app/MessageBoxes.h"

#include <QTimer>
#include <QWidget>

UnsavedQuestion::UnsavedQuestion(QWidget* owner, const EditorState& editor,
                                 std::function<Texts()> texts, std::function<bool()> save)
    : QObject(owner), m_owner(owner), m_editor(editor), m_texts(std::move(texts)),
      m_save(std::move(save)) {}

bool UnsavedQuestion::settle(EditorState::Action action) {
    const Texts now = m_texts();
    if (!m_editor.mustAsk(action, now.title, now.content))
        return true;
    switch (MessageBoxes::askToSave(m_owner)) {
    case EditorState::Answer::Save:
        return m_save();
    case EditorState::Answer::Discard:
        return true;
    case EditorState::Answer::Cancel:
        break;
    }
    return false;
}

bool UnsavedQuestion::goesOnNow(EditorState::Action action, std::function<bool()> stillWanted,
                                std::function<void()> carryOut) {
    if (m_pending)
        return false;
    const Texts now = m_texts();
    if (!m_editor.mustAsk(action, now.title, now.content))
        return true;
    m_pending = true;
    QTimer::singleShot(
        0, this,
        [this, action, stillWanted = std::move(stillWanted), carryOut = std::move(carryOut)] {
            m_pending = false;
            // The text may have been saved meanwhile: settle asks only if it must.
            if (stillWanted() && settle(action))
                carryOut();
        });
    return false;
}
