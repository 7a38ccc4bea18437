#pragma once
// Three-way merge of a category by posts. A category file is a list of post
// lines, so two versions that grew apart from one base are merged line by
// line: a post added on either side is kept; a post deleted on one side and
// unchanged on the other is deleted; a post changed on one side only takes
// that change; the order follows theirs (the file on disk), with our
// additions where we made them. A post changed on both sides in different
// ways keeps both versions, side by side, and is counted. Nothing is dropped:
// a post deleted on one side and changed on the other stays, changed.
#include <QByteArray>
#include <QList>

#include <vector>

namespace PostMerge {

struct Result {
    QList<QByteArray> lines;
    // Posts changed on both sides in different ways (each kept twice).
    int conflicts = 0;
};

Result merge(const QList<QByteArray>& base, const QList<QByteArray>& ours,
             const QList<QByteArray>& theirs);

// A longest-common-subsequence style match of two lists: for each line of a,
// the position of the equal line of b it is paired with, or -1. Pairs never
// cross. Unique lines anchor the match (patience diff), so a large category
// with scattered changes is matched in about linear time.
std::vector<int> match(const QList<QByteArray>& a, const QList<QByteArray>& b);

// The lines of other that lines does not hold (counting duplicates), in
// other's order: what a conflict copy adds to a category.
QList<QByteArray> missingFrom(const QList<QByteArray>& lines, const QList<QByteArray>& other);

} // namespace PostMerge
