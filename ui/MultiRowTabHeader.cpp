#include "ui/MultiRowTabHeader.h"

#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace {
constexpr int kRowHeight = 22;
constexpr int kPadding = 14;
} // namespace

MultiRowTabHeader::MultiRowTabHeader(QTabWidget* tabs, QWidget* parent)
    : QWidget(parent), m_tabs(tabs) {
    setObjectName(QStringLiteral("mPageTabs"));
    m_tabs->tabBar()->hide();
    setStyleSheet(QStringLiteral(
        "QToolButton { border: 1px solid #b9c6d3; border-bottom: none; border-top-left-radius: 4px;"
        " border-top-right-radius: 4px; background: #e6edf4; padding: 1px 4px; color: #2b3a48; }"
        "QToolButton:hover { background: #f2f6fa; }"
        "QToolButton:checked { background: #ffffff; font-weight: bold; color: #1c4f7c; }"));
    connect(m_tabs, &QTabWidget::currentChanged, this, &MultiRowTabHeader::sync);
    sync();
}

void MultiRowTabHeader::sync() {
    while (m_buttons.size() < m_tabs->count()) {
        const int index = int(m_buttons.size());
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, index] {
            m_tabs->setCurrentIndex(index);
            sync();
        });
        m_buttons.append(button);
    }
    for (int i = 0; i < m_buttons.size(); ++i) {
        QToolButton* button = m_buttons[i];
        const bool exists = i < m_tabs->count();
        button->setText(exists ? m_tabs->tabText(i) : QString());
        button->setToolTip(exists ? m_tabs->tabToolTip(i) : QString());
        button->setChecked(exists && i == m_tabs->currentIndex());
        button->setVisible(exists && m_tabs->isTabVisible(i));
    }
    relayout();
}

void MultiRowTabHeader::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void MultiRowTabHeader::relayout() {
    const int width = qMax(this->width(), 40);
    int x = 0;
    int row = 0;
    for (QToolButton* button : m_buttons) {
        if (!button->isVisibleTo(this))
            continue;
        const int w =
            qMin(width, button->fontMetrics().horizontalAdvance(button->text()) + kPadding);
        if (x > 0 && x + w > width) {
            x = 0;
            ++row;
        }
        button->setGeometry(x, row * kRowHeight, w, kRowHeight);
        x += w;
    }
    setFixedHeight((row + 1) * kRowHeight);
}
