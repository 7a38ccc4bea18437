#include "store/PostLine.h"

#include <gtest/gtest.h>

TEST(PostLine, DecodeSplitsAtTheFirstSeparatorOnly) {
    struct Case {
        QByteArray line, title, content;
    } cases[] = {
        {"a$TCSPLIT$b$TCSPLIT$c", "a", "b$TCSPLIT$c"},
        {"abc", "", ""},
        {"", "", ""},
        {"$TCSPLIT$", "", ""},
        {"t$TCSPLIT$x$1310$y$1310$", "t", "x\r\ny\r\n"},
        {"t$TCSPLIT$$1310$$1310", "t", "\r\n$1310"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodePostPart(c.line, 1), c.title) << c.line.constData();
        EXPECT_EQ(DecodePostPart(c.line, 2), c.content) << c.line.constData();
        EXPECT_EQ(DecodePostPart(c.line, 7), c.content) << c.line.constData();
    }
}

TEST(PostLine, EveryBreakKindBecomesOneToken) {
    struct Case {
        QByteArray content, encoded, decoded;
    } cases[] = {
        {"x\ry\nz\r\nw", "x$1310$y$1310$z$1310$w", "x\r\ny\r\nz\r\nw"},
        {"\r\n\r\n", "$1310$$1310$", "\r\n\r\n"},
        {"\n\r", "$1310$$1310$", "\r\n\r\n"}, // LF then CR: two breaks, not one
        {"typed $1310$ token", "typed $1310$ token", "typed \r\n token"},
        {"\xd6\xd0\xce\xc4\r\n", "\xd6\xd0\xce\xc4$1310$", "\xd6\xd0\xce\xc4\r\n"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const QByteArray line = EncodePost("T", c.content);
        EXPECT_EQ(line, "T$TCSPLIT$" + c.encoded) << c.content.toHex().constData();
        EXPECT_EQ(DecodePostPart(line, 2), c.decoded) << c.content.toHex().constData();
    }
}
