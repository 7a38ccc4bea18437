#include "bridge/ClipboardCommand.h"

#include <gtest/gtest.h>

TEST(ClipboardCommand, KeywordAndPayload) {
    const struct {
        const char* text;
        CommandKind kind;
        const char* payload;
    } cases[] = {
        {"BBSGETIMG:http://a.gif$SPLIT$x", CommandKind::Image, "http://a.gif$SPLIT$x"},
        {"BBSGETHREF:u$SPLIT$d", CommandKind::Link, "u$SPLIT$d"},
        {"BBSGETTITLE:标题", CommandKind::Title, "标题"},
        {"BBSGETCONTENT:a\nb", CommandKind::Content, "a\nb"},
        {"BBSGETALLPIC:a;1;2$$", CommandKind::AllPictures, "a;1;2$$"},
        {"BBSGET", CommandKind::None, ""},
        {"bbsgetimg:x", CommandKind::None, ""},
        // Images are tested first; the cut ignores where the keyword stands.
        {"BBSGETCONTENT:xBBSGETIMG:y", CommandKind::Image, "ENT:xBBSGETIMG:y"},
        {"BBSGETIMG:BBSGETTITLE:t", CommandKind::Image, "BBSGETTITLE:t"},
        {"abBBSGETTITLE:t", CommandKind::Title, "E:t"},
        // Cut by characters: ten Chinese characters go whole.
        {"一二三四五六七八九十BBSGETIMG:u", CommandKind::Image, "BBSGETIMG:u"},
        {"😀😀😀😀😀😀😀😀😀😀xBBSGETIMG:", CommandKind::Image, "xBBSGETIMG:"},
    };
    for (const auto& c : cases) {
        const ClipboardCommand command = ParseClipboardCommand(QString::fromUtf8(c.text));
        EXPECT_EQ(command.kind, c.kind) << c.text;
        if (c.kind != CommandKind::None) {
            EXPECT_EQ(command.payload, QString::fromUtf8(c.payload)) << c.text;
        }
    }
}

TEST(ClipboardCommand, LinkAndImagePayloads) {
    EXPECT_EQ(ImageAddress(QStringLiteral("http://a$SPLIT$b$SPLIT$c")), QStringLiteral("http://a"));
    EXPECT_EQ(ImageAddress(QStringLiteral("http://a")), QString());

    const struct {
        const char* payload;
        const char* address;
        const char* description;
    } cases[] = {
        {"http://a$SPLIT$desc", "http://a", "desc"},
        {"http://a$SPLIT$ desc ", "http://a", " desc "},
        {"http://a$SPLIT$ \t\r\n", "http://a", "http://a"},
        {"http://a$SPLIT$", "http://a", "http://a"},
        {"http://a$SPLIT$x$SPLIT$y", "http://a", "x$SPLIT$y"},
        {"abcdefghij", "", "ghij"},
        {"链接描述文字一二三", "", "一二三"},
        {"abc", "", ""},
    };
    for (const auto& c : cases) {
        const LinkParts parts = SplitLinkPayload(QString::fromUtf8(c.payload));
        EXPECT_EQ(parts.address, QString::fromUtf8(c.address)) << c.payload;
        EXPECT_EQ(parts.description, QString::fromUtf8(c.description)) << c.payload;
    }
}
