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
