#pragma once
#include <QString>

class QWidget;

namespace MessageBoxes {
// A refused action: information icon, OK, the given caption.
void info(QWidget* owner, const QString& text, const QString& caption = QStringLiteral("提示"));
// A confirmation with OK and Cancel; true when OK was chosen.
bool confirm(QWidget* owner, const QString& text, const QString& caption);
// The application's standard error box.
void error(QWidget* owner, const QString& text);
} // namespace MessageBoxes
