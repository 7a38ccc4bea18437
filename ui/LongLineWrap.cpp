#include "ui/LongLineWrap.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

namespace {
// Whether a block longer than kLongLine starts between the positions. Each
// step looks kLongLine characters ahead: the blocks it passes over are
// shorter than that, so a text of many short lines costs one lookup per
// kLongLine characters, not one per line.
bool anyLongBlock(const QTextDocument* doc, int from, int to) {
    const int end = doc->characterCount();
    for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() <= to;) {
        const int ahead = b.position() + LongLineWrap::kLongLine;
        if (ahead >= end)
            return false;
        const QTextBlock next = doc->findBlock(ahead);
        if (next == b)
            return true;
        b = next;
    }
    return false;
}

void setAnywhere(QPlainTextEdit* memo, bool anywhere) {
    const QTextOption::WrapMode mode =
        anywhere ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (memo->wordWrapMode() != mode)
        memo->setWordWrapMode(mode);
}
} // namespace

namespace LongLineWrap {

void install(QPlainTextEdit* memo) {
    // A scroll bar that comes and goes changes the width and lays the whole
    // text out again; a memo's bar stays, as on the desktop it always has.
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = memo->font();
    font.setStyleStrategy(QFont::PreferNoShaping);
    memo->setFont(font);
    QTextDocument* doc = memo->document();
    // Emitted before the document is laid out again, so the slow wrap never
    // sees the long line.
    QObject::connect(doc, &QTextDocument::contentsChange, memo,
                     [memo, doc](int position, int, int added) {
                         if (wrapsAnywhere(memo))
                             setAnywhere(memo, anyLongBlock(doc, 0, doc->characterCount()));
                         else if (anyLongBlock(doc, position, position + added))
                             setAnywhere(memo, true);
                     });
}

void prepareFor(QPlainTextEdit* memo, QStringView text) {
    if (text.size() <= kLongLine || wrapsAnywhere(memo))
        return;
    // A line of the text that meets the memo's last line may be shorter than
    // the limit and still make it long; the change itself catches that one.
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        if (end - start >= kLongLine) {
            setAnywhere(memo, true);
            return;
        }
        start = end + 1;
    }
}

bool wrapsAnywhere(const QPlainTextEdit* memo) {
    return memo->wordWrapMode() == QTextOption::WrapAnywhere;
}

} // namespace LongLineWrap
