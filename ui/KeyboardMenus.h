#pragma once
// Every pop-up menu a right click opens also opens from the keyboard: the
// Menu key (which X delivers as a context-menu request) and Shift+F10, at the
// current row or the caret rather than where the mouse happens to be.
class QMenu;
class QWidget;

namespace KeyboardMenus {

// Makes Shift+F10 ask the focused widget for its context menu. Once per
// application; later calls do nothing.
void install();

// A context-menu request that no control under window answers (a tool
// button, the status bar, the window's background) opens menu.
void offerWindowMenu(QWidget* window, QMenu* menu);

} // namespace KeyboardMenus
