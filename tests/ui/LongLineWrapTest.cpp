#include "ui/LongLineWrap.h"

#include "tests/support/TestEnv.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <functional>

namespace {
QString longLine(int n) {
    QString s = QStringLiteral("data:image/png;base64,");
    while (s.size() < n)
        s += QStringLiteral("iVBORw0KGgoAAAANSUhEUgAA");
    return s.left(n);
}

void append(QPlainTextEdit& memo, const QString& text) {
    QTextCursor c(memo.document());
    c.movePosition(QTextCursor::End);
    c.insertText(text);
}
} // namespace

// The wrap mode follows the longest line; the text is never touched.
TEST(LongLineWrap, LongLinesWrapAnywhereAndTheTextStaysExact) {
    TestEnv env;
    const int limit = LongLineWrap::kLongLine;
    const struct {
        const char* name;
        std::function<void(QPlainTextEdit&)> edit;
        bool anywhere;
    } cases[] = {
        {"short lines", [](QPlainTextEdit& m) { m.setPlainText("a\nb c d"); }, false},
        {"a line just at the limit",
         [&](QPlainTextEdit& m) { m.setPlainText(longLine(limit - 1)); }, false},
        {"a long line appended",
         [&](QPlainTextEdit& m) {
             m.setPlainText("first line");
             append(m, "\n" + longLine(limit + 5));
         },
         true},
        {"a long line set and removed again",
         [&](QPlainTextEdit& m) {
             m.setPlainText(longLine(limit * 3));
             m.setPlainText("short again");
         },
         false},
        {"many short lines, far more text than the limit",
         [&](QPlainTextEdit& m) { m.setPlainText(QString("0123456789\n").repeated(limit)); },
         false},
        {"a long line behind thousands of short ones",
         [&](QPlainTextEdit& m) {
             append(m, QString("short\n").repeated(5000) + longLine(limit + 1) + "\nend");
         },
         true},
        {"a line typed past the limit",
         [&](QPlainTextEdit& m) {
             m.setPlainText("a\n" + longLine(limit - 1) + "\nb");
             QTextCursor c(m.document()->findBlockByNumber(1));
             c.movePosition(QTextCursor::EndOfBlock);
             c.insertText("zz");
         },
         true},
        {"prepared for a long line",
         [&](QPlainTextEdit& m) {
             const QString text = "a\r\n" + longLine(limit) + "\rb";
             LongLineWrap::prepareFor(&m, text);
             append(m, text);
         },
         true},
        {"prepared for many short lines",
         [&](QPlainTextEdit& m) {
             const QString text = QString("0123456789\r\n").repeated(limit);
             LongLineWrap::prepareFor(&m, text);
             EXPECT_FALSE(LongLineWrap::wrapsAnywhere(&m));
             append(m, text);
         },
         false},
        {"a long line among many",
         [&](QPlainTextEdit& m) {
             m.setPlainText(longLine(limit * 2) + "\nx");
             append(m, "\ny");
         },
         true},
    };
    for (const auto& c : cases) {
        QPlainTextEdit memo;
        LongLineWrap::install(&memo);
        const QString before = memo.toPlainText();
        c.edit(memo);
        EXPECT_EQ(LongLineWrap::wrapsAnywhere(&memo), c.anywhere) << c.name;
        EXPECT_NE(memo.toPlainText(), before) << c.name;
    }
    QPlainTextEdit memo;
    LongLineWrap::install(&memo);
    const QString text = "x\n" + longLine(limit * 4) + "\ny";
    memo.setPlainText(text);
    EXPECT_EQ(memo.toPlainText(), text);
}
