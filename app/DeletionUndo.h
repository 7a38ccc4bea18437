#pragma once
// "撤销删除": the posts of the last deletion, a single post or a whole
// category, kept so that one slip of the list menu loses nothing. One level:
// a new deletion replaces what was kept.
#include <QByteArray>
#include <QList>

class TDateMan;

class DeletionUndo {
  public:
    struct Deleted {
        int row;
        QByteArray line;
    };

    // Remembers the posts taken out of category k, each with the row it had.
    void remember(int category, QList<Deleted> posts);
    bool available() const { return m_category >= 0; }
    int category() const { return m_category; }

    // Another writer's version replaced the records of category k (before ->
    // after): the kept posts move with the post that preceded them, found by
    // its text.
    void followReload(int category, const QList<QByteArray>& before,
                      const QList<QByteArray>& after);

    // Puts the posts back at their rows and forgets them. Returns the first
    // row restored, or -1 when nothing was kept.
    int restore(TDateMan& store);

  private:
    int m_category = -1;
    QList<Deleted> m_posts;
};
