#include "ui/KeyboardMenus.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

namespace KeyboardMenus {
namespace {

// Where a keyboard menu opens: at the current row, the caret, or the middle.
QPoint anchorIn(QWidget* widget) {
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        const QRect row = view->visualRect(view->currentIndex());
        if (row.isValid())
            return view->viewport()->mapTo(view, row.bottomLeft() + QPoint(16, 0));
    }
    const QRect caret = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    if (caret.isValid() && widget->rect().contains(caret.center()))
        return caret.bottomLeft();
    return widget->rect().center();
}

class ShiftF10 : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
            return false;
        QWidget* target = QApplication::focusWidget();
        if (!target || watched != target)
            return false;
        const QPoint pos = anchorIn(target);
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos),
                               key->modifiers());
        QApplication::sendEvent(target, &menu);
        return true;
    }
};

} // namespace

void install() {
    static ShiftF10* filter = nullptr;
    if (filter)
        return;
    filter = new ShiftF10;
    filter->setParent(qApp);
    qApp->installEventFilter(filter);
}

void offerWindowMenu(QWidget* window, QMenu* menu) {
    window->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(window, &QWidget::customContextMenuRequested, menu,
                     [window, menu](const QPoint& pos) { menu->popup(window->mapToGlobal(pos)); });
}

} // namespace KeyboardMenus
