#include "ui/MagneticDock.h"

#include "ui/DockingDecisions.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

MagneticDock::MagneticDock(QWidget* window) : QObject(window), m_window(window) {
    setObjectName(QStringLiteral("Magnetic1"));
    window->installEventFilter(this);
}

void MagneticDock::setActive(bool on) {
    m_active = on;
    if (!on)
        m_dragging = false;
}

void MagneticDock::press(const QPoint& globalPos) {
    if (!m_active)
        return;
    m_grab = globalPos - m_window->frameGeometry().topLeft();
    m_dragging = true;
}

void MagneticDock::drag(const QPoint& globalPos) {
    if (!m_active || !m_dragging)
        return;
    // Panels and edges of the screen under the cursor, so the window can be
    // dragged onto another monitor and snaps there.
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (!screen)
        screen = m_window->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QPoint target =
        DockingDecisions::snap(globalPos - m_grab, m_window->frameGeometry().size(), area,
                               DockingDecisions::panelStrips(area, screen->availableGeometry()));
    if (target != m_window->frameGeometry().topLeft())
        m_window->move(target);
}

void MagneticDock::release() {
    m_dragging = false;
}

bool MagneticDock::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window || !m_active)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            press(mouse->globalPosition().toPoint());
        break;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons() & Qt::LeftButton)
            drag(mouse->globalPosition().toPoint());
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            release();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
