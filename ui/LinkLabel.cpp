#include "ui/LinkLabel.h"

#include "ui/Accessibility.h"
#include "ui/ShellOpen.h"
#include "ui/Skin.h"

#include <QKeyEvent>
#include <QMouseEvent>

LinkLabel::LinkLabel(const QString& text, const QUrl& address, QWidget* parent)
    : QLabel(text, parent), m_address(address) {
    setCursor(Qt::PointingHandCursor);
    setToolTip(address.toDisplayString());
    setFocusPolicy(Qt::StrongFocus);
    Accessibility::setRole(this, QAccessible::Link);
    setState(State::Normal);
}

void LinkLabel::setState(State state) {
    m_state = state;
    QPalette pal = palette();
    // The light skin's red and blue would vanish on a dark ground.
    const bool light = Skin::variant() == Skin::Variant::Light;
    const QPalette skin = Skin::palette();
    const QColor colour =
        state == State::Pressed   ? (light ? QColor(Qt::red) : skin.color(QPalette::BrightText))
        : state == State::Hovered ? (light ? QColor(Qt::blue) : skin.color(QPalette::Link))
                                  : skin.color(QPalette::WindowText);
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(state != State::Normal || hasFocus());
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
    if (inside)
        open();
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    setState(m_state);
}

void LinkLabel::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    setState(m_state);
}

void LinkLabel::open() {
    ShellOpen::open(m_address);
    emit opened(m_address);
}
