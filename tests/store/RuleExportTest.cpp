#include "store/RuleExport.h"

#include <gtest/gtest.h>

namespace {
QByteArray expand(const QList<QByteArray>& lines, const QByteArray& rule, bool sql,
                  int* written = nullptr) {
    QByteArray out;
    const int n = ExpandRule(lines, rule, sql, out);
    if (written)
        *written = n;
    return out;
}
} // namespace

TEST(RuleExport, PlainRulesPutTitleAndContentWhereTheRuleSays) {
    struct Case {
        const char* what;
        QByteArray line;
        QByteArray rule;
        QByteArray expected;
    } cases[] = {
        {"title only", "T$TCSPLIT$C", "$title", "T\r\n"},
        {"content before title", "T$TCSPLIT$C", "$content=$title", "C=T\r\n"},
        {"several lines", "T$TCSPLIT$a$1310$b", "A$title\r\nB\r\n$content",
         "AT\r\nB\r\na\r\nb\r\n"},
        {"each occurrence", "T$TCSPLIT$C", "$title$title/$content$content", "TT/CC\r\n"},
        {"title that reads $content", "$content$TCSPLIT$X", "$title/$content", "X/X\r\n"},
        {"rule and title meet to form $content", "ent$TCSPLIT$X", "$cont$title", "X\r\n"},
        {"content keeps its own $title", "T$TCSPLIT$$title", "$content", "$title\r\n"},
        {"empty content", "T$TCSPLIT$", "[$title|$content]", "[T|]\r\n"},
        {"half a break token stays", "T$TCSPLIT$a$1310b$", "$content", "a$1310b$\r\n"},
        {"quotes untouched", "it's$TCSPLIT$'\\", "$title $content", "it's '\\\r\n"},
        {"no variables", "T$TCSPLIT$C", "same", "same\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expand({c.line}, c.rule, false), c.expected) << c.what;
}

TEST(RuleExport, SqlModeKeepsBothFieldsInsideTheirQuotes) {
    // GBK "乗" is 81 5C: its second byte is a backslash that must stay one.
    const QByteArray gbkWithBackslashByte = "\x81\x5c";
    struct Case {
        const char* what;
        QByteArray line;
        QByteArray expected;
    } cases[] = {
        {"quote in the title", "Tom's$TCSPLIT$ok", "V('Tom''s','ok');"},
        {"quote in the content", "T$TCSPLIT$it's$1310$ok", "V('T','it''s\\r\\nok');"},
        {"injection stays text", "x'); DROP TABLE t;--$TCSPLIT$c",
         "V('x''); DROP TABLE t;--','c');"},
        {"backslash before the closing quote", "a\\$TCSPLIT$b\\", "V('a\\\\','b\\\\');"},
        {"backslash does not start an escape", "T$TCSPLIT$c:\\new$1310$x",
         "V('T','c:\\\\new\\r\\nx');"},
        {"GBK second byte 0x5C untouched",
         gbkWithBackslashByte + "$TCSPLIT$" + gbkWithBackslashByte + "\\",
         "V('" + gbkWithBackslashByte + "','" + gbkWithBackslashByte + "\\\\');"},
        {"break token in the title stays", "a$1310$b$TCSPLIT$c", "V('a$1310$b','c');"},
        {"every break kind", "T$TCSPLIT$$1310$$1310$", "V('T','\\r\\n\\r\\n');"},
        // A lone lead byte would take the escape's backslash as its second byte.
        {"lone lead byte before a break", "T$TCSPLIT$a\x98$1310$b", "V('T','a?\\r\\nb');"},
        {"whole character before a break", "T$TCSPLIT$\xb0\xa1$1310$", "V('T','\xb0\xa1\\r\\n');"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(expand({c.line}, "V('$title','$content');", true), c.expected + "\r\n") << c.what;
}

TEST(RuleExport, CountsAndStepsOnlyPostsWritten) {
    struct Progress : ProgressIndicator {
        int min = -1, max = -1;
        QList<int> steps;
        void setMinimum(int v) override { min = v; }
        void setMaximum(int v) override { max = v; }
        void setPosition(int v) override { steps << v; }
    };
    struct Case {
        QList<QByteArray> lines;
        int written;
        QByteArray expected;
    } cases[] = {
        {{}, 0, ""},
        {{"", "no separator"}, 0, ""},
        {{"a$TCSPLIT$1", "", "b$TCSPLIT$2", "junk"}, 2, "a\r\nb\r\n"},
    };
    for (const Case& c : cases) {
        Progress progress;
        QByteArray out;
        EXPECT_EQ(ExpandRule(c.lines, "$title", false, out, &progress), c.written);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(progress.min, 0);
        EXPECT_EQ(progress.max, c.lines.size());
        QList<int> expectedSteps;
        for (int i = 1; i <= c.written; ++i)
            expectedSteps << i;
        EXPECT_EQ(progress.steps, expectedSteps);
    }
}

// A large category is expanded in runs on several threads and handed over
// in order; the runs, one after another, are the expansion, the count and
// the progress's end too.
TEST(RuleExport, ExpansionInRunsEqualsTheWholeExpansion) {
    QList<QByteArray> lines;
    for (int i = 0; i < 30000; ++i) {
        QByteArray line = "T" + QByteArray::number(i) + "\x81\x5c'$TCSPLIT$";
        line += QByteArray(i % 700, 'x') + "\\$1310$it's\x95\x32\x82\x36";
        lines << (i % 97 == 0 ? QByteArray("no separator") : line);
    }
    struct Progress : ProgressIndicator {
        int max = -1, last = -1;
        void setMinimum(int) override {}
        void setMaximum(int v) override { max = v; }
        void setPosition(int v) override { last = v; }
    };
    for (const bool sql : {false, true}) {
        const QByteArray rule = "A('$title')\r\n$content|$content";
        int whole = 0;
        const QByteArray expected = expand(lines, rule, sql, &whole);
        ASSERT_GT(expected.size(), 12 << 20); // several runs
        QList<QByteArray> pieces;
        Progress progress;
        EXPECT_EQ(ExpandRuleStreamed(
                      lines, rule, sql,
                      [&](QByteArrayView piece) {
                          pieces << piece.toByteArray();
                          return true;
                      },
                      &progress),
                  whole);
        EXPECT_GT(pieces.size(), 2);
        EXPECT_EQ(pieces.join(), expected) << sql;
        EXPECT_EQ(progress.max, lines.size());
        EXPECT_EQ(progress.last, whole);
        // A writer that fails stops the expansion: nothing more is handed
        // over, and the helpers end.
        int calls = 0;
        EXPECT_LT(ExpandRuleStreamed(lines, rule, sql, [&](QByteArrayView) { return ++calls < 2; }),
                  whole);
        EXPECT_EQ(calls, 2);
    }
}
