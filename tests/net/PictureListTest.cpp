#include "net/PictureList.h"

#include "platform/VellumError.h"

#include <gtest/gtest.h>

TEST(PictureList, ParsePayload) {
    const struct {
        const char* payload;
        QList<PictureEntry> expected;
    } cases[] = {
        {"a.gif;100;50$$b.gif;300;400$$", {{"a.gif", 100, 50}, {"b.gif", 300, 400}}},
        {"a.gif;1;2$$b.gif;3;4", {{"a.gif", 1, 2}}},
        {"$$$$", {{"", 0, 0}, {"", 0, 0}}},
        {"c.png;wide;80$$", {{"c.png", 0, 80}}},
        {"", {}},
        {"a.gif;1;2", {}},
        {"77$$", {{"", 0, 77}}},              // no ";": the whole entry is the height
        {"d.png;90$$", {{"d.png", 0, 90}}},   // one ";": the rest is the height
        {"e.png;1;2;3$$", {{"e.png", 1, 0}}}, // "2;3" is not an integer
        {"f.png;-5;+6$$", {{"f.png", -5, 6}}},
        {"g.png;$10;0x20$$", {{"g.png", 16, 32}}},
        {"h.png;99999999999;2147483647$$", {{"h.png", 0, 2147483647}}},
        {"i.png; 12;12 $$", {{"i.png", 12, 0}}},
        {"j.png;;$$", {{"j.png", 0, 0}}},
        {"k.png;1;2$$$", {{"k.png", 1, 2}}},
        {"l$$m.png;1;2$$", {{"", 0, 0}, {"m.png", 1, 2}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParsePicturePayload(c.payload), c.expected) << c.payload;
}

TEST(PictureList, IntegerSyntax) {
    const struct {
        const char* text;
        std::optional<qint32> expected;
    } cases[] = {
        {"0", 0},
        {"100", 100},
        {"-100", -100},
        {"+7", 7},
        {"  42", 42},
        {"007", 7},
        {"$ff", 255},
        {"0X1F", 31},
        {"x10", 16},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<qint32>::min()},
        {"2147483648", std::nullopt},
        {"$80000000", std::nullopt},
        {"99999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"12 ", std::nullopt},
        {"1e3", std::nullopt},
        {"1.5", std::nullopt},
        {"abc", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInteger(c.text), c.expected) << c.text;
}

TEST(PictureList, FilterValue) {
    EXPECT_EQ(FilterValue(QString()), 0);
    EXPECT_EQ(FilterValue(QStringLiteral("300")), 300);
    try {
        FilterValue(QStringLiteral("99999999999"));
        FAIL() << "no error";
    } catch (const VellumError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("“99999999999”不是有效的整数，请输入一个整数。"));
    }
    EXPECT_THROW(FilterValue(QStringLiteral("１２")), VellumError); // full-width digits
}

TEST(PictureList, Filter) {
    const QList<PictureEntry> entries = {
        {"http://a/a.gif", 100, 50}, {"http://b/b.gif", 300, 400}, {"http://a/c.png", 0, 100}};
    using K = PictureFilterKind;
    using O = PictureFilterOp;
    const struct {
        const char* name;
        K kind;
        O op;
        qint32 value;
        const char* search;
        QList<int> expected;
    } cases[] = {
        {"height > 100", K::Height, O::Greater, 100, "", {1}},
        {"height < 100", K::Height, O::Less, 100, "", {0}},
        {"height > 50 is strict", K::Height, O::Greater, 50, "", {1, 2}},
        {"height < 50 is strict", K::Height, O::Less, 50, "", {}},
        {"width > 0", K::Width, O::Greater, 0, "", {0, 1}},
        {"width < 300", K::Width, O::Less, 300, "", {0, 2}},
        {"contains", K::Address, O::Contains, 0, "http://a/", {0, 2}},
        {"contains is case-sensitive", K::Address, O::Contains, 0, "GIF", {}},
        {"does not contain", K::Address, O::NotContains, 0, ".gif", {2}},
        {"empty search lists nothing", K::Address, O::Contains, 0, "", {}},
        {"empty search, not contains", K::Address, O::NotContains, 0, "", {}},
        {"all", K::All, O::Greater, 0, "", {0, 1, 2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilterPictures(entries, c.kind, c.op, c.value, QString::fromUtf8(c.search)),
                  c.expected)
            << c.name;
}
