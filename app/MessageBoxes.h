#pragma once
#include "app/EditorState.h"

#include <QString>

class QWidget;

namespace MessageBoxes {
// A refused action: information icon, OK, the given caption.
void info(QWidget* owner, const QString& text, const QString& caption = QStringLiteral("提示"));
// A confirmation with OK and Cancel; true when OK was chosen.
bool confirm(QWidget* owner, const QString& text, const QString& caption);
// The application's standard error box.
void error(QWidget* owner, const QString& text);
// "当前帖子尚未保存。要保存吗？" with 保存, 不保存 and 取消 (Escape and the
// close box are 取消).
EditorState::Answer askToSave(QWidget* owner);
} // namespace MessageBoxes
