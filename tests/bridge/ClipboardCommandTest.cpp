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
        // The keyword at the start decides, whatever follows.
        {"BBSGETCONTENT:xBBSGETIMG:y", CommandKind::Content, "xBBSGETIMG:y"},
        {"BBSGETIMG:BBSGETTITLE:t", CommandKind::Image, "BBSGETTITLE:t"},
        {"BBSGETTITLE:😀标题", CommandKind::Title, "😀标题"},
        {" \t\r\nBBSGETTITLE:t", CommandKind::Title, "t"},
        // A keyword further on is ordinary text.
        {"abBBSGETTITLE:t", CommandKind::None, ""},
        {"一二三四五六七八九十BBSGETIMG:u", CommandKind::None, ""},
        {"see BBSGETTITLE: in the notes", CommandKind::None, ""},
        {"BBSGETSOMETHING:x", CommandKind::None, ""},
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

TEST(ClipboardCommand, OnlyTextStartingWithTheKeywordIsACommand) {
    const struct {
        const char* text;
        bool command;
    } cases[] = {
        {"BBSGET", true},
        {"  BBSGETTITLE:t", true},
        {"\r\nBBSGETCONTENT:c", true},
        {"", false},
        {"a BBSGETTITLE: in a sentence", false},
        {"x\nBBSGETIMG:u$SPLIT$", false},
        {"BBSGE", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsClipboardCommand(QString::fromUtf8(c.text)), c.command) << c.text;
}

TEST(ClipboardCommand, NulCharactersAreRemoved) {
    const QString withNul =
        QStringLiteral("BBSGETCONTENT:a") + QChar(u'\0') + QStringLiteral("b") + QChar(u'\0');
    EXPECT_EQ(WithoutNul(withNul), QStringLiteral("BBSGETCONTENT:ab"));
    EXPECT_EQ(WithoutNul(QStringLiteral("论坛")), QStringLiteral("论坛"));
}
