#include "app/PostRowDelegate.h"

#include <QApplication>
#include <QPainter>

PostRowDelegate::PostRowDelegate(const QIcon& glyph, QObject* parent)
    : QStyledItemDelegate(parent), m_glyph(glyph.pixmap(16, 16)) {}

void PostRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    painter->save();
    painter->fillRect(option.rect,
                      selected ? pal.brush(QPalette::Highlight) : pal.brush(QPalette::Base));
    if (!m_glyph.isNull())
        painter->drawPixmap(option.rect.topLeft(), m_glyph);
    painter->setFont(option.font);
    painter->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    const QRect textRect = option.rect.adjusted(15, 2, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.rect = option.rect;
        focus.state = option.state;
        focus.backgroundColor = pal.color(selected ? QPalette::Highlight : QPalette::Base);
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter,
                                             option.widget);
    }
    painter->restore();
}

QSize PostRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {100, 16};
}
