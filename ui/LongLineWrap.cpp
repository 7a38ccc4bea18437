#include "ui/LongLineWrap.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

namespace {
bool anyLongBlock(QTextBlock from, const QTextBlock& last) {
    for (QTextBlock b = from; b.isValid(); b = b.next()) {
        if (b.length() > LongLineWrap::kLongLine)
            return true;
        if (b == last)
            break;
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
                         if (wrapsAnywhere(memo)) {
                             setAnywhere(memo, anyLongBlock(doc->begin(), QTextBlock()));
                             return;
                         }
                         const QTextBlock first = doc->findBlock(position);
                         const QTextBlock last = doc->findBlock(position + added);
                         if (anyLongBlock(first, last))
                             setAnywhere(memo, true);
                     });
}

bool wrapsAnywhere(const QPlainTextEdit* memo) {
    return memo->wordWrapMode() == QTextOption::WrapAnywhere;
}

} // namespace LongLineWrap
