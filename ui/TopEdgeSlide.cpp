#include "ui/TopEdgeSlide.h"

#include "ui/DockingDecisions.h"
#include "ui/RevealStrip.h"

#include <QCursor>
#include <QScreen>
#include <QTimer>
#include <QWidget>

TopEdgeSlide::TopEdgeSlide(QWidget& window)
    : QObject(&window), m_window(window), m_strip(new RevealStrip(&window)) {
    connect(m_strip, &RevealStrip::revealRequested, this, [this] {
        m_strip->hide();
        if (const QScreen* s = m_window.screen())
            m_window.move(m_window.x(), s->geometry().y());
        m_window.show();
    });
}

void TopEdgeSlide::tick() {
    const QScreen* s = m_window.screen();
    if (!m_window.isVisible() || !s)
        return;
    const QRect frame = m_window.frameGeometry();
    const std::optional<int> top =
        DockingDecisions::slideUpTop(frame, QCursor::pos(), s->geometry());
    if (!top)
        return;
    m_window.move(frame.x(), *top);
    QTimer::singleShot(300, this, [this, expected = *top] {
        const QScreen* now = m_window.screen();
        if (!m_window.isVisible() || !now || m_window.frameGeometry().y() == expected ||
            m_window.frameGeometry().contains(QCursor::pos()))
            return;
        m_strip->showAbove(m_window.frameGeometry(), now->geometry().y());
        m_window.hide();
    });
}

void TopEdgeSlide::reveal() {
    const QScreen* s = m_window.screen();
    if (!s)
        return;
    if (const std::optional<int> top =
            DockingDecisions::revealTop(m_window.frameGeometry(), s->geometry()))
        m_window.move(m_window.x(), *top);
}

void TopEdgeSlide::hideStrip() {
    m_strip->hide();
}
