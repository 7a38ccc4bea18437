#include "ui/RevealStrip.h"

#include "ui/DockingDecisions.h"
#include "ui/Skin.h"

#include <QPainter>

RevealStrip::RevealStrip(QWidget* parent)
    // Past the window manager, like a tooltip: it must sit exactly where the
    // window manager would not let the window itself go.
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::NoDropShadowWindowHint) {
    setObjectName(QStringLiteral("RevealStrip"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
}

void RevealStrip::showAbove(const QRect& windowFrame, int screenTop) {
    setGeometry(windowFrame.x(), screenTop, windowFrame.width(), DockingDecisions::kVisibleStrip);
    show();
    raise();
}

void RevealStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Skin::accent());
}

void RevealStrip::enterEvent(QEnterEvent* event) {
    emit revealRequested();
    QWidget::enterEvent(event);
}

void RevealStrip::mouseMoveEvent(QMouseEvent* event) {
    emit revealRequested();
    QWidget::mouseMoveEvent(event);
}
