#pragma once
// The question asked when the close cannot save every category: the user
// may try again (after freeing room), keep the program running with every
// change still in memory, or quit and lose the changes that were not saved.
#include <QStringList>

class QWidget;

namespace SaveFailureBox {
enum class Choice { Retry, KeepRunning, Quit };
Choice ask(QWidget* owner, const QStringList& errors);
} // namespace SaveFailureBox
