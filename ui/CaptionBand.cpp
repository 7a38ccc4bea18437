#include "ui/CaptionBand.h"

#include "ui/Skin.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

namespace {
QToolButton* captionButton(QWidget* parent, const char* name, const QString& glyph,
                           const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(glyph);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setFixedSize(18, 16);
    button->setStyleSheet(QStringLiteral("QToolButton { color: white; border: none; padding: 0; }"
                                         "QToolButton:hover { background-color: #5f87aa; }"
                                         "QToolButton:pressed { background-color: #2f4a60; }"
                                         "QToolButton:focus { border: 1px dotted white; }"));
    return button;
}
} // namespace

CaptionBand::CaptionBand(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CaptionBand"));
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 2, 2);
    layout->setSpacing(1);
    layout->addStretch(1);
    m_minimise = captionButton(this, "btnCaptionMinimise", QStringLiteral("\u2013"),
                               QStringLiteral("最小化"));
    m_close =
        captionButton(this, "btnCaptionClose", QStringLiteral("\u00d7"), QStringLiteral("关闭"));
    layout->addWidget(m_minimise);
    layout->addWidget(m_close);
    connect(m_minimise, &QToolButton::clicked, this, &CaptionBand::minimiseClicked);
    connect(m_close, &QToolButton::clicked, this, &CaptionBand::closeClicked);
}

void CaptionBand::setTitle(const QString& title) {
    m_title = title;
    update();
}

void CaptionBand::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Skin::accent());
    if (!m_title.isEmpty()) {
        painter.setPen(Qt::white);
        const QRect text = rect().adjusted(4, 0, -(m_minimise->width() * 2 + 6), 0);
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(m_title, Qt::ElideRight, text.width()));
    }
}

void CaptionBand::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint global = event->globalPosition().toPoint();
    if (m_snapRule && m_snapRule(global.x())) {
        m_drag = Drag::Snap;
        emit snapPressed(global);
        return;
    }
    // The window manager moves the window where it can; without one the band
    // moves it itself.
    QWindow* handle = window()->windowHandle();
    if (handle && handle->startSystemMove()) {
        m_drag = Drag::None;
        return;
    }
    m_drag = Drag::Plain;
    m_grab = global - window()->frameGeometry().topLeft();
}

void CaptionBand::mouseMoveEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (m_drag == Drag::Snap)
        emit snapMoved(global);
    else if (m_drag == Drag::Plain)
        window()->move(global - m_grab);
}

void CaptionBand::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    if (m_drag == Drag::Snap)
        emit snapReleased();
    m_drag = Drag::None;
}
