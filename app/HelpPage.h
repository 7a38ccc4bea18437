#pragma once
// The help page in the program folder, opened in the browser; a missing page
// is said, not silently ignored.
class QWidget;

namespace HelpPage {
// section: an anchor of the page, or nullptr for its top.
void open(QWidget* owner, const char* section = nullptr);
} // namespace HelpPage
