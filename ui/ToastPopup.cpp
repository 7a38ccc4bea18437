#include "ui/ToastPopup.h"

#include "ui/Accessibility.h"
#include "ui/Icons.h"
#include "ui/Skin.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>

namespace {
constexpr int kWidth = 232;
constexpr int kHeight = 84;
constexpr int kMargin = 8; // gap to the edges of the available area
constexpr int kIconSize = 32;
} // namespace

ToastPopup::ToastPopup(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint) {
    setObjectName(QStringLiteral("MSNPopUp1"));
    // A notice must never take the keyboard from the editor.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
    setFocusPolicy(Qt::NoFocus);
    // Painted, not built of labels: a screen reader learns its text from the
    // notification role and the name, which it speaks as the notice appears.
    Accessibility::setRole(this, QAccessible::Notification);
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    m_icon = Icons::get(QString::fromLatin1(Icons::Program));

    m_holdTimer.setSingleShot(true);
    connect(&m_holdTimer, &QTimer::timeout, this, &ToastPopup::onTimeout);

    m_slide = new QPropertyAnimation(this, "pos", this);
    m_slide->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_slide, &QPropertyAnimation::finished, this, &ToastPopup::onSlideFinished);
}

ToastPopup::~ToastPopup() = default;

QSize ToastPopup::sizeHint() const {
    return QSize(kWidth, kHeight);
}

void ToastPopup::setTimeout(int ms) {
    m_timeout = qMax(0, ms);
}

void ToastPopup::setSlideDuration(int ms) {
    m_slideDuration = qMax(0, ms);
}

QRect ToastPopup::availableArea() const {
    QScreen* screen = nullptr;
    if (parentWidget() && parentWidget()->window())
        screen = parentWidget()->window()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QPoint ToastPopup::restingPosition() const {
    const QRect area = availableArea();
    return QPoint(area.right() + 1 - kWidth - kMargin, area.bottom() + 1 - kHeight - kMargin);
}

QPoint ToastPopup::hiddenPosition() const {
    const QRect area = availableArea();
    // Just below the bottom edge, so it rises from the panel like a card.
    return QPoint(restingPosition().x(), area.bottom() + 1);
}

void ToastPopup::show(const QString& title, const QString& text) {
    m_title = title;
    m_text = text;
    ++m_shownCount;
    setToolTip(text);
    update();
    const QString spoken = title.isEmpty() ? text : title + QLatin1Char(' ') + text;
    if (isVisible())
        Accessibility::announce(this, spoken);
    else
        setAccessibleName(spoken); // announced by its appearing

    switch (m_phase) {
    case Phase::Showing:
        m_holdTimer.start(m_timeout);
        return;
    case Phase::SlidingIn:
        return; // the hold starts when it arrives
    case Phase::SlidingOut:
        slideTo(restingPosition(), Phase::SlidingIn);
        return;
    case Phase::Hidden:
        move(hiddenPosition());
        QWidget::show();
        raise();
        {
            // Qt keeps quiet about tool-tip windows appearing; a notice must
            // be heard, so it says so itself.
            QAccessibleEvent shown(this, QAccessible::ObjectShow);
            QAccessible::updateAccessibility(&shown);
        }
        slideTo(restingPosition(), Phase::SlidingIn);
        return;
    }
}

void ToastPopup::slideTo(const QPoint& target, Phase phase) {
    m_holdTimer.stop();
    m_slide->stop();
    m_phase = phase;
    if (m_slideDuration == 0 || !isVisible()) {
        move(target);
        onSlideFinished();
        return;
    }
    m_slide->setDuration(m_slideDuration);
    m_slide->setStartValue(pos());
    m_slide->setEndValue(target);
    m_slide->start();
}

void ToastPopup::onSlideFinished() {
    if (m_phase == Phase::SlidingIn) {
        m_phase = Phase::Showing;
        if (!m_hovered)
            m_holdTimer.start(m_timeout);
    } else if (m_phase == Phase::SlidingOut) {
        dismiss();
    }
}

void ToastPopup::onTimeout() {
    if (m_phase == Phase::Showing)
        slideTo(hiddenPosition(), Phase::SlidingOut);
}

void ToastPopup::dismiss() {
    m_holdTimer.stop();
    m_slide->stop();
    const bool wasShown = m_phase != Phase::Hidden;
    m_phase = Phase::Hidden;
    m_hovered = false;
    hide();
    if (wasShown)
        emit closed();
}

void ToastPopup::mousePressEvent(QMouseEvent* event) {
    event->accept();
    dismiss();
}

void ToastPopup::enterEvent(QEnterEvent* event) {
    // A notice under the pointer is being read: hold it until the pointer leaves.
    m_hovered = true;
    if (m_phase == Phase::Showing)
        m_holdTimer.stop();
    QWidget::enterEvent(event);
}

void ToastPopup::leaveEvent(QEvent* event) {
    m_hovered = false;
    if (m_phase == Phase::Showing)
        m_holdTimer.start(qMin(m_timeout, 1500));
    QWidget::leaveEvent(event);
}

void ToastPopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0.0, Skin::toastTop());
    fill.setColorAt(1.0, Skin::toastBottom());
    p.setPen(QPen(Skin::borderColor(), 1));
    p.setBrush(fill);
    p.drawRect(box);

    // Accent strip along the top edge.
    p.setPen(Qt::NoPen);
    p.setBrush(Skin::accent());
    p.drawRect(QRectF(1, 1, width() - 2, 3));

    const QRect iconRect(12, (height() - kIconSize) / 2 + 1, kIconSize, kIconSize);
    m_icon.paint(&p, iconRect);

    const int textLeft = iconRect.right() + 12;
    QRect textRect(textLeft, 8, width() - textLeft - 10, height() - 14);
    QFont font = this->font();
    if (!m_title.isEmpty()) {
        QFont bold = font;
        bold.setBold(true);
        p.setFont(bold);
        p.setPen(Skin::accentDark());
        const int lineHeight = QFontMetrics(bold).height();
        p.drawText(QRect(textRect.left(), textRect.top(), textRect.width(), lineHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(bold).elidedText(m_title, Qt::ElideRight, textRect.width()));
        textRect.setTop(textRect.top() + lineHeight + 2);
    }
    p.setFont(font);
    p.setPen(Skin::toastText());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, m_text);
}
