#include "markup/ReplaceNoCase.h"

#include <gtest/gtest.h>

namespace {
QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

TEST(FindNoCase, OnlyLatinLettersIgnoreCase) {
    const struct {
        const char* name;
        qsizetype start;
        const char* needle;
        const char* text;
        qsizetype expected;
    } cases[] = {
        {"latin any case", 1, "cat", "a CaT", 3},
        {"latin upper needle", 1, "CAT", "a cat", 3},
        {"from a later start", 4, "cat", "cat cat", 5},
        {"start on the match", 5, "cat", "cat cat", 5},
        {"chinese exact", 1, "论坛", "我的论坛", 3},
        {"chinese differs", 1, "论坛", "我的论谈", 0},
        {"cyrillic is not folded", 1, "Д", "д", 0},
        {"cyrillic exact", 1, "д", "ад", 2},
        // 癮 is B0 61 in the code page: its second byte is "a".
        {"no half characters", 1, "A", "癮", 0},
        {"accented letters exact", 1, "é", "É", 0},
        {"emoji", 1, "😀", "a😀b", 2},
        {"empty needle", 1, "", "abc", 0},
        {"needle longer than text", 1, "abcd", "abc", 0},
        {"start past the end", 9, "a", "abc", 0},
        {"not found", 1, "dog", "cat", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PosNoCase(c.start, u(c.needle), u(c.text)), c.expected) << c.name;
}

TEST(ReplaceAllNoCase, ReplacesEveryOccurrenceOnce) {
    const struct {
        const char* name;
        const char* text;
        const char* needle;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"latin in any case", "Cat cAT cat", "cat", "dog", "dog dog dog"},
        {"doubling does not loop", "cat and CAT", "cat", "catcat", "catcat and catcat"},
        {"chinese only exact", "论坛 论谈 论坛", "论坛", "BBS", "BBS 论谈 BBS"},
        {"cyrillic untouched", "Д д", "д", "x", "Д x"},
        {"no half characters", "癮a", "A", "b", "癮b"},
        {"emoji", "😀a😀", "😀", "☺", "☺a☺"},
        {"empty needle", "abc", "", "x", "abc"},
        {"empty replacement", "a-b-c", "-", "", "abc"},
        {"overlapping text", "aaa", "aa", "b", "ba"},
        {"across lines", "x\ny", "y", "z", "x\nz"},
        {"nothing found", "abc", "q", "z", "abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAllNoCase(u(c.text), u(c.needle), u(c.replacement)), u(c.expected))
            << c.name;
}

TEST(ReplaceAllNoCase, AMegabyteWithAHundredThousandMatchesComesOutWhole) {
    const QString text = QStringLiteral("abcdefgHiJ").repeated(100000);
    const QString result = ReplaceAllNoCase(text, QStringLiteral("hij"), QStringLiteral("<>"));
    EXPECT_EQ(result, QStringLiteral("abcdefg<>").repeated(100000));
}
