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
constexpr int kSettleMs = 150;

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
    // Our own idea of the frame decides where the window goes: what the X
    // server says can lag behind a show or a move by a moment.
    const QRect frame = m_window.frameGeometry();
    const QPoint cursor = QCursor::pos();
    if (DockingDecisions::cursorInside(frame, cursor)) {
        m_cursorWasInside = true;
        return;
    }
    if (!m_cursorWasInside || (m_settled.isValid() && m_settled.elapsed() < kSettleMs))
        return;
    // A window manager held an earlier slide part of the way.
    const QRect placed = WindowPlatform::placedFrame(m_window);
    if (placed.y() < s->geometry().y() && !DockingDecisions::isSlidUp(placed, s->geometry())) {
        standIn();
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
    if (WindowPlatform::placedFrame(m_window).y() != m_slidTop &&
        !DockingDecisions::cursorInside(m_window.frameGeometry(), QCursor::pos()))
        standIn();
}

void TopEdgeSlide::standIn() {
    if (const QScreen* s = m_window.screen())
        m_strip->showAbove(m_window.frameGeometry(), s->geometry().y());
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
    // A window manager that takes the shown window anew may first put it
    // where it last had it, and Qt may believe it is where it was asked to
    // be: until it has settled, the window is put back where it belongs and
    // does not slide.
    m_settled.start();
    QTimer::singleShot(kSettleMs, this, [this, place] {
        if (!m_window.isVisible() || (m_window.frameGeometry().topLeft() == place &&
                                      WindowPlatform::placedFrame(m_window).topLeft() == place))
            return;
        // Moved away and back, so that the request reaches the X server
        // even where Qt thinks the window is there already.
        m_window.move(place + QPoint(0, 1));
        m_window.move(place);
    });
}

QPoint TopEdgeSlide::restingPlace() const {
    return DockingDecisions::placeOnScreen(m_window.frameGeometry(), screenRects());
}
