#include "store/PostMerge.h"

#include <QHash>

#include <algorithm>
#include <future>

namespace PostMerge {

namespace {
// Gives every distinct line one small number, so that the diff compares
// integers instead of posts. An open-addressing table of line numbers: no
// allocation per line, which matters for 300,000 lines.
class Interner {
  public:
    explicit Interner(qsizetype expected) {
        size_t size = 16;
        while (size < size_t(expected) * 2)
            size <<= 1;
        m_slots.assign(size, -1);
        m_hashes.assign(size, 0);
        m_lines.reserve(size_t(expected));
    }
    std::vector<int> ids(const QList<QByteArray>& lines) {
        std::vector<int> out;
        out.reserve(size_t(lines.size()));
        const size_t mask = m_slots.size() - 1;
        for (const QByteArray& line : lines) {
            const QByteArrayView view(line);
            const size_t hash = qHash(view, 0);
            size_t at = hash & mask;
            for (;; at = (at + 1) & mask) {
                const int id = m_slots[at];
                if (id < 0) {
                    m_slots[at] = int(m_lines.size());
                    m_hashes[at] = hash;
                    m_lines.push_back(view);
                    out.push_back(m_slots[at]);
                    break;
                }
                if (m_hashes[at] == hash && m_lines[size_t(id)] == view) {
                    out.push_back(id);
                    break;
                }
            }
        }
        return out;
    }
    int count() const { return int(m_lines.size()); }

  private:
    std::vector<int> m_slots;
    std::vector<size_t> m_hashes;
    std::vector<QByteArrayView> m_lines;
};

// Patience diff on interned lines. Scratch arrays indexed by line number are
// shared by the whole recursion and reset after each use.
class Differ {
  public:
    Differ(const std::vector<int>& a, const std::vector<int>& b, int idCount)
        : m_a(a), m_b(b), m_countA(size_t(idCount)), m_countB(size_t(idCount)),
          m_posA(size_t(idCount)), m_posB(size_t(idCount)), m_match(a.size(), -1) {}

    std::vector<int> run() {
        diff(0, int(m_a.size()), 0, int(m_b.size()));
        return std::move(m_match);
    }

  private:
    void diff(int aLo, int aHi, int bLo, int bHi) {
        while (aLo < aHi && bLo < bHi && m_a[size_t(aLo)] == m_b[size_t(bLo)])
            m_match[size_t(aLo++)] = bLo++;
        while (aLo < aHi && bLo < bHi && m_a[size_t(aHi - 1)] == m_b[size_t(bHi - 1)])
            m_match[size_t(--aHi)] = --bHi;
        if (aLo == aHi || bLo == bHi)
            return;

        // Lines that occur once on each side, in a's order.
        for (int i = aLo; i < aHi; ++i) {
            const size_t id = size_t(m_a[size_t(i)]);
            ++m_countA[id];
            m_posA[id] = i;
        }
        for (int j = bLo; j < bHi; ++j) {
            const size_t id = size_t(m_b[size_t(j)]);
            ++m_countB[id];
            m_posB[id] = j;
        }
        std::vector<std::pair<int, int>> unique;
        for (int i = aLo; i < aHi; ++i) {
            const size_t id = size_t(m_a[size_t(i)]);
            if (m_countA[id] == 1 && m_countB[id] == 1)
                unique.emplace_back(i, m_posB[id]);
        }
        for (int i = aLo; i < aHi; ++i)
            m_countA[size_t(m_a[size_t(i)])] = 0;
        for (int j = bLo; j < bHi; ++j)
            m_countB[size_t(m_b[size_t(j)])] = 0;

        if (unique.empty()) {
            smallLcs(aLo, aHi, bLo, bHi);
            return;
        }
        // The longest run of unique pairs increasing in b anchors the match.
        const std::vector<std::pair<int, int>> anchors = longestIncreasing(unique);
        int a0 = aLo, b0 = bLo;
        for (const auto& [i, j] : anchors) {
            diff(a0, i, b0, j);
            m_match[size_t(i)] = j;
            a0 = i + 1;
            b0 = j + 1;
        }
        diff(a0, aHi, b0, bHi);
    }

    static std::vector<std::pair<int, int>>
    longestIncreasing(const std::vector<std::pair<int, int>>& pairs) {
        std::vector<int> tails; // index into pairs of the smallest tail per length
        std::vector<int> previous(pairs.size(), -1);
        for (size_t k = 0; k < pairs.size(); ++k) {
            const int j = pairs[k].second;
            const auto at = std::lower_bound(tails.begin(), tails.end(), j, [&](int t, int value) {
                return pairs[size_t(t)].second < value;
            });
            if (at != tails.begin())
                previous[k] = *(at - 1);
            if (at == tails.end())
                tails.push_back(int(k));
            else
                *at = int(k);
        }
        std::vector<std::pair<int, int>> out(tails.size());
        for (int k = tails.empty() ? -1 : tails.back(), n = int(out.size()); k >= 0;
             k = previous[size_t(k)])
            out[size_t(--n)] = pairs[size_t(k)];
        return out;
    }

    // Ranges without a unique line (repeated or empty posts) are matched
    // exactly while they are small; a large one is left unmatched, which the
    // merge treats as a change and so keeps every post of both sides.
    void smallLcs(int aLo, int aHi, int bLo, int bHi) {
        const int n = aHi - aLo, m = bHi - bLo;
        if (qint64(n) * m > 4'000'000)
            return;
        std::vector<int> table(size_t(n + 1) * size_t(m + 1), 0);
        const auto at = [&](int i, int j) -> int& {
            return table[size_t(i) * size_t(m + 1) + size_t(j)];
        };
        for (int i = n - 1; i >= 0; --i)
            for (int j = m - 1; j >= 0; --j)
                at(i, j) = m_a[size_t(aLo + i)] == m_b[size_t(bLo + j)]
                               ? at(i + 1, j + 1) + 1
                               : std::max(at(i + 1, j), at(i, j + 1));
        for (int i = 0, j = 0; i < n && j < m;) {
            if (m_a[size_t(aLo + i)] == m_b[size_t(bLo + j)]) {
                m_match[size_t(aLo + i)] = bLo + j;
                ++i;
                ++j;
            } else if (at(i + 1, j) >= at(i, j + 1)) {
                ++i;
            } else {
                ++j;
            }
        }
    }

    const std::vector<int>& m_a;
    const std::vector<int>& m_b;
    std::vector<int> m_countA, m_countB, m_posA, m_posB;
    std::vector<int> m_match;
};

bool sameRange(const std::vector<int>& x, int x0, int x1, const std::vector<int>& y, int y0,
               int y1) {
    return x1 - x0 == y1 - y0 && std::equal(x.begin() + x0, x.begin() + x1, y.begin() + y0);
}

// Counts of ids in a range, for the multiset tests of a chunk that both sides
// changed (chunks are small, so a map is enough).
using Bag = QHash<int, int>;
Bag bagOf(const std::vector<int>& ids, int lo, int hi) {
    Bag bag;
    for (int i = lo; i < hi; ++i)
        ++bag[ids[size_t(i)]];
    return bag;
}
bool take(Bag& bag, int id) {
    const auto it = bag.find(id);
    if (it == bag.end() || *it == 0)
        return false;
    --*it;
    return true;
}
} // namespace

std::vector<int> match(const QList<QByteArray>& a, const QList<QByteArray>& b) {
    Interner interner(a.size() + b.size());
    const std::vector<int> ia = interner.ids(a);
    const std::vector<int> ib = interner.ids(b);
    return Differ(ia, ib, interner.count()).run();
}

Result merge(const QList<QByteArray>& base, const QList<QByteArray>& ours,
             const QList<QByteArray>& theirs) {
    Result result;
    if (ours == base) {
        result.lines = theirs;
        return result;
    }
    if (theirs == base || theirs == ours) {
        result.lines = ours;
        return result;
    }
    Interner interner(base.size() + ours.size() + theirs.size());
    const std::vector<int> b = interner.ids(base);
    const std::vector<int> o = interner.ids(ours);
    const std::vector<int> t = interner.ids(theirs);
    // The two matches are independent; the cores share them.
    auto oursJob =
        std::async(std::launch::async, [&] { return Differ(b, o, interner.count()).run(); });
    const std::vector<int> toTheirs = Differ(b, t, interner.count()).run();
    const std::vector<int> toOurs = oursJob.get();

    QList<QByteArray>& out = result.lines;
    out.reserve(qMax(ours.size(), theirs.size()));
    const auto emitRange = [&out](const QList<QByteArray>& from, int lo, int hi) {
        for (int k = lo; k < hi; ++k)
            out.append(from[k]);
    };
    const int nb = int(b.size());
    int i = 0, oi = 0, ti = 0;
    for (;;) {
        // The next base line that both sides kept closes the chunk.
        int k = i;
        while (k < nb && (toOurs[size_t(k)] < 0 || toTheirs[size_t(k)] < 0))
            ++k;
        const int oEnd = k < nb ? toOurs[size_t(k)] : int(o.size());
        const int tEnd = k < nb ? toTheirs[size_t(k)] : int(t.size());
        if (sameRange(b, i, k, o, oi, oEnd) || sameRange(o, oi, oEnd, t, ti, tEnd)) {
            emitRange(theirs, ti, tEnd);
        } else if (sameRange(b, i, k, t, ti, tEnd)) {
            emitRange(ours, oi, oEnd);
        } else {
            // Both sides changed this stretch. Theirs first, less what we
            // deleted of the base; then what only we added.
            Bag inBase = bagOf(b, i, k);
            Bag inOurs = bagOf(o, oi, oEnd);
            Bag baseForOurs = inBase;
            Bag inTheirs = bagOf(t, ti, tEnd);
            int theirsNew = 0, oursNew = 0;
            for (int x = ti; x < tEnd; ++x) {
                const int id = t[size_t(x)];
                if (!take(inBase, id)) {
                    out.append(theirs[x]);
                    ++theirsNew;
                    take(inOurs, id); // the same post added on both sides comes once
                } else if (take(inOurs, id)) {
                    out.append(theirs[x]);
                }
            }
            for (int x = oi; x < oEnd; ++x) {
                const int id = o[size_t(x)];
                if (take(baseForOurs, id))
                    continue;
                ++oursNew;
                if (!take(inTheirs, id))
                    out.append(ours[x]);
            }
            // Base posts that neither side kept, each replaced on both sides.
            Bag keptSomewhere = bagOf(o, oi, oEnd);
            for (int x = ti; x < tEnd; ++x)
                ++keptSomewhere[t[size_t(x)]];
            int removedByBoth = 0;
            for (int x = i; x < k; ++x)
                if (!take(keptSomewhere, b[size_t(x)]))
                    ++removedByBoth;
            result.conflicts += std::min({removedByBoth, oursNew, theirsNew});
        }
        if (k == nb)
            break;
        out.append(theirs[tEnd]);
        i = k + 1;
        oi = oEnd + 1;
        ti = tEnd + 1;
    }
    return result;
}

QList<QByteArray> missingFrom(const QList<QByteArray>& lines, const QList<QByteArray>& other) {
    QHash<QByteArrayView, int> have;
    have.reserve(lines.size());
    for (const QByteArray& line : lines)
        ++have[QByteArrayView(line)];
    QList<QByteArray> out;
    for (const QByteArray& line : other) {
        const auto it = have.find(QByteArrayView(line));
        if (it != have.end() && *it > 0)
            --*it;
        else
            out.append(line);
    }
    return out;
}

} // namespace PostMerge
