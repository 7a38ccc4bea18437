#pragma once
// Draws a post row: the list glyph at the row's corner, the title 15 pixels
// right and 2 pixels down, rows 16 pixels high.
#include <QIcon>
#include <QStyledItemDelegate>

class PostRowDelegate : public QStyledItemDelegate {
  public:
    PostRowDelegate(const QIcon& glyph, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    QPixmap m_glyph;
};
