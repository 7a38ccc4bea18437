#pragma once
// Keeps a memo responsive whatever the length of its lines. Qt wraps at word
// boundaries and, inside a word longer than the line, anywhere; for that
// fallback it measures the rest of the word again for every line it makes,
// so one line of a megabyte (a captured "data:" address, a page's text
// without a break) takes minutes to lay out, and again at every later
// layout. While the memo holds a line longer than kLongLine characters it
// wraps anywhere, which costs time in proportion to the text; the text itself
// is never changed. Shaping is skipped where the script does not need it
// (Latin, Chinese), which halves the layout of a long text, and the vertical
// scroll bar stays, so its arrival does not lay the text out a second time.
#include <QStringView>

class QPlainTextEdit;

namespace LongLineWrap {
inline constexpr int kLongLine = 10000;
void install(QPlainTextEdit* memo);
// Before a text known to the caller goes in: a long line in it turns the
// memo to wrap anywhere first. Turned afterwards, the memo would lay the
// long line out twice, once in each mode.
void prepareFor(QPlainTextEdit* memo, QStringView text);
// Whether the memo currently wraps anywhere because of a long line.
bool wrapsAnywhere(const QPlainTextEdit* memo);
} // namespace LongLineWrap
