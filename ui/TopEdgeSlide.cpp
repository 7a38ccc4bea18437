#include "ui/TopEdgeSlide.h"

#include "ui/DockingDecisions.h"
#include "ui/RevealStrip.h"
#include "ui/WindowPlatform.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {
QList<QRect> screenRects() {
    QList<QRect> rects;
    // The primary first: a window on no screen comes back there.
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        rects << primary->geometry();
    for (const QScreen* s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen())
            rects << s->geometry();
    return rects;
}
} // namespace

TopEdgeSlide::TopEdgeSlide(QWidget& window)
    : QObject(&window), m_window(window), m_strip(new RevealStrip(&window)),
      m_check(new QTimer(this)) {
    m_window.installEventFilter(this);
    // A moment for the window manager to place the slid window.
    m_check->setSingleShot(true);
    m_check->setInterval(300);
    connect(m_check, &QTimer::timeout, this, &TopEdgeSlide::checkSlide);
    connect(m_strip, &RevealStrip::revealRequested, this, [this] {
        bringOnScreen();
        m_window.show();
    });
}

bool TopEdgeSlide::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::Enter)
        m_cursorWasInside = true;
    return QObject::eventFilter(watched, event);
}

void TopEdgeSlide::tick() {
    const QScreen* s = m_window.screen();
    if (!m_window.isVisible() || !s)
        return;
    const QRect frame = WindowPlatform::placedFrame(m_window);
    const QPoint cursor = QCursor::pos();
    if (DockingDecisions::cursorInside(frame, cursor)) {
        m_cursorWasInside = true;
        return;
    }
    if (!m_cursorWasInside)
        return;
    // A window manager held an earlier slide part of the way.
    if (frame.y() < s->geometry().y() && !DockingDecisions::isSlidUp(frame, s->geometry())) {
        standIn(frame);
        return;
    }
    const std::optional<int> top = DockingDecisions::slideUpTop(frame, cursor, s->geometry());
    if (!top)
        return;
    m_window.move(frame.x(), *top);
    m_slidTop = *top;
    m_check->start();
}

void TopEdgeSlide::checkSlide() {
    if (!m_window.isVisible())
        return;
    const QRect placed = WindowPlatform::placedFrame(m_window);
    if (placed.y() != m_slidTop && !DockingDecisions::cursorInside(placed, QCursor::pos()))
        standIn(placed);
}

void TopEdgeSlide::standIn(const QRect& frame) {
    if (const QScreen* s = m_window.screen())
        m_strip->showAbove(frame, s->geometry().y());
    m_window.hide();
}

void TopEdgeSlide::reveal() {
    const QScreen* s = m_window.screen();
    if (!s)
        return;
    if (const std::optional<int> top =
            DockingDecisions::revealTop(m_window.frameGeometry(), s->geometry())) {
        m_check->stop();
        m_window.move(m_window.x(), *top);
    }
}

void TopEdgeSlide::bringOnScreen() {
    m_check->stop();
    m_strip->hide();
    m_cursorWasInside = false;
    const QPoint place = restingPlace();
    if (place != m_window.frameGeometry().topLeft())
        m_window.move(place);
}

QPoint TopEdgeSlide::restingPlace() const {
    return DockingDecisions::placeOnScreen(m_window.frameGeometry(), screenRects());
}
