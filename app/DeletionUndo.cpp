#include "app/DeletionUndo.h"

#include "store/TDateMan.h"

#include <algorithm>

void DeletionUndo::remember(int category, QList<Deleted> posts) {
    // In ascending rows, so that inserting them in turn rebuilds the order.
    std::sort(posts.begin(), posts.end(),
              [](const Deleted& a, const Deleted& b) { return a.row < b.row; });
    m_category = posts.isEmpty() ? -1 : category;
    m_posts = std::move(posts);
}

int DeletionUndo::restore(TDateMan& store) {
    if (m_category < 0)
        return -1;
    const int first = qBound(0, m_posts.first().row, store.RecordCount(m_category));
    for (const Deleted& post : m_posts)
        store.InsertRecord(post.line, post.row, m_category);
    m_category = -1;
    m_posts.clear();
    return first;
}

void DeletionUndo::followReload(int category, const QList<QByteArray>& before,
                                const QList<QByteArray>& after) {
    if (category != m_category)
        return;
    for (qsizetype d = 0; d < m_posts.size(); ++d) {
        // Rows count the deleted posts before this one; the rest survived.
        const int survivorsBefore = m_posts[d].row - int(d);
        if (survivorsBefore <= 0 || survivorsBefore > before.size())
            continue;
        const QByteArray& anchor = before[survivorsBefore - 1];
        int best = -1;
        for (int i = 0; i < after.size(); ++i)
            if (after[i] == anchor &&
                (best < 0 || qAbs(i - survivorsBefore) < qAbs(best - survivorsBefore)))
                best = i;
        if (best >= 0)
            m_posts[d].row = best + 1 + int(d);
    }
}
