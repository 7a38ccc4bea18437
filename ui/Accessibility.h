#pragma once
// What a screen reader needs of our windows beyond what Qt gives by itself:
// a name for every control (icon-only buttons take their hint), the roles Qt
// cannot guess (the category tabs drawn as buttons, the toast), and a way to
// tell assistive technology about an outcome that only appears on screen.
// Each window keeps its own few lines (a label's buddy, a list's name); this
// pass does the rest once the windows exist.
#include <QAccessible>
#include <QString>

class QWidget;

namespace Accessibility {

// Installs the interfaces for widgets that declared a role. Call once, right
// after the application object exists and before any window is built.
void install();

// Declares the role a widget plays for assistive technology, where its class
// says something else (a checkable button that is a tab, a painted notice).
void setRole(QWidget* widget, QAccessible::Role role);

// Names every control under root (root included) that has no name yet: a
// button without a caption, or whose caption is a single glyph, by its hint;
// a field without a label by its hint, its placeholder or its group's title.
// Lists and memos also get the frame that shows the keyboard focus.
void nameControls(QWidget* root);

// Tells assistive technology that source now says text: the name follows
// the text, and an alert goes out, so a screen reader speaks it without the
// focus moving.
void announce(QWidget* source, const QString& text);

} // namespace Accessibility
