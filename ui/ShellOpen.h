#pragma once
// Opening a web address or a new mail with the desktop's default action, as
// the tray menu, the toolbar and the about box do. The result is not looked
// at: a page that cannot be opened is only noted on standard error. Tests
// install a handler so that no browser starts.
#include <QUrl>

#include <functional>

namespace ShellOpen {
void open(const QUrl& address);

using Handler = std::function<void(const QUrl&)>;
// Replaces the desktop's opener; an empty handler restores it.
void setHandler(Handler handler);
} // namespace ShellOpen
