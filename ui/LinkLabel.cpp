#include "ui/LinkLabel.h"

#include "ui/ShellOpen.h"

#include <QMouseEvent>

LinkLabel::LinkLabel(const QString& text, const QUrl& address, QWidget* parent)
    : QLabel(text, parent), m_address(address) {
    setCursor(Qt::PointingHandCursor);
    setToolTip(address.toDisplayString());
    setState(State::Normal);
}

void LinkLabel::setState(State state) {
    m_state = state;
    QPalette pal = palette();
    const QColor colour = state == State::Pressed   ? QColor(Qt::red)
                          : state == State::Hovered ? QColor(Qt::blue)
                                                    : QColor(0x1f, 0x2a, 0x33);
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(state != State::Normal);
    setFont(f);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    if (m_state == State::Normal)
        setState(State::Hovered);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
    setState(State::Normal);
    QLabel::leaveEvent(event);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        setState(State::Pressed);
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_state != State::Pressed)
        return QLabel::mouseReleaseEvent(event);
    const bool inside = rect().contains(event->position().toPoint());
    setState(inside ? State::Hovered : State::Normal);
    if (inside) {
        ShellOpen::open(m_address);
        emit opened(m_address);
    }
}
