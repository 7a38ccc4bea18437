// The three-way merge of a category by posts.
#include "store/PostMerge.h"

#include <gtest/gtest.h>

namespace {
QList<QByteArray> posts(const char* letters) {
    QList<QByteArray> out;
    for (const QByteArray& p : QByteArray(letters).split(' '))
        if (!p.isEmpty())
            out << (p == "_" ? QByteArray() : p);
    return out;
}
} // namespace

TEST(PostMerge, EachSidesChangesAreTakenAndNothingIsDropped) {
    struct Case {
        const char* what;
        const char* base;
        const char* ours;
        const char* theirs;
        const char* merged;
        int conflicts;
    };
    const Case cases[] = {
        {"only theirs changed", "a b c", "a b c", "a x b", "a x b", 0},
        {"only ours changed", "a b c", "a b c x", "a b c", "a b c x", 0},
        {"both added at the end", "a b", "a b x", "a b y", "a b y x", 0},
        {"both added the same post", "a b", "a b x", "a b x", "a b x", 0},
        {"ours deleted, theirs unchanged", "a b c", "a c", "a b c", "a c", 0},
        {"theirs deleted, ours added", "a b c", "a b c x", "a c", "a c x", 0},
        {"deleted here, changed there", "a b c", "a c", "a B c", "a B c", 0},
        {"changed here, deleted there", "a b c", "a B c", "a c", "a B c", 0},
        {"the same post changed both ways", "a b c", "a b1 c", "a b2 c", "a b2 b1 c", 1},
        {"two posts changed both ways", "a b c d", "a b1 c1 d", "a b2 c2 d", "a b2 c2 b1 c1 d", 2},
        {"the same change on both sides", "a b c", "a B c", "a B c", "a B c", 0},
        {"neighbouring posts changed", "a b c", "A b c", "a b C", "A b C", 0},
        {"adjacent posts, one each", "a b c d", "a B c d", "a b C d", "a C B d", 0},
        {"theirs reordered, ours added", "a b c", "a b c x", "c a b", "c a b x", 0},
        {"our addition in the middle", "a b c d", "a b x c d", "a b c d e", "a b x c d e", 0},
        {"repeated empty posts", "_ _ a", "_ _ a x", "_ a", "_ a x", 0},
        {"from an empty base", "", "x", "y", "y x", 0},
        {"both emptied", "a b", "", "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PostMerge::Result r = PostMerge::merge(posts(c.base), posts(c.ours), posts(c.theirs));
        EXPECT_EQ(r.lines, posts(c.merged));
        EXPECT_EQ(r.conflicts, c.conflicts);
    }
}

// A large category with scattered changes on both sides: every change of
// either side is in the result, in theirs' order.
TEST(PostMerge, LargeCategoryWithScatteredChangesKeepsEveryChange) {
    QList<QByteArray> base;
    for (int i = 0; i < 20000; ++i)
        base << "post " + QByteArray::number(i) + "$TCSPLIT$text";
    QList<QByteArray> ours = base, theirs = base;
    for (int i = 0; i < 20000; i += 100) {
        ours[i] = "ours " + QByteArray::number(i);
        theirs[i + 50] = "theirs " + QByteArray::number(i + 50);
    }
    ours.removeAt(7);
    theirs.insert(3, "theirs new");
    ours.append("ours new");
    const PostMerge::Result r = PostMerge::merge(base, ours, theirs);
    QList<QByteArray> expected = theirs;
    for (int i = 0; i < 20000; i += 100)
        expected[i + (i > 3 ? 1 : 0)] = "ours " + QByteArray::number(i);
    expected.removeAt(8); // post 7, after the inserted line
    expected.append("ours new");
    EXPECT_EQ(r.conflicts, 0);
    EXPECT_EQ(r.lines, expected);
}

TEST(PostMerge, ConflictCopyAddsOnlyWhatIsMissing) {
    EXPECT_EQ(PostMerge::missingFrom(posts("a b b c"), posts("x b b b a y")), posts("x b y"));
}
