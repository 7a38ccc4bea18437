#pragma once
// The question asked when the close cannot save every category: the user
// may try again (after freeing room), keep the program running with every
// change still in memory, or quit and lose the changes that were not saved.
#include <QStringList>

class QWidget;

namespace SaveFailureBox {
// SessionEnded: the box was closed by endSession(), not by the user.
enum class Choice { Retry, KeepRunning, Quit, SessionEnded };
Choice ask(QWidget* owner, const QStringList& errors);
// The session ends (a signal, the log-out) while the box is open: nobody is
// left to answer, so the open box returns SessionEnded. False when no box is
// open.
bool endSession();
} // namespace SaveFailureBox
