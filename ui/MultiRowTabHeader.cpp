#include "ui/MultiRowTabHeader.h"

#include "ui/Accessibility.h"
#include "ui/Skin.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QShortcut>
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
    setStyleSheet(Skin::tabHeaderStyleSheet());
    Accessibility::setRole(this, QAccessible::PageTabList);
    setAccessibleName(QStringLiteral("帖子分类"));
    connect(m_tabs, &QTabWidget::currentChanged, this, &MultiRowTabHeader::sync);
    const struct {
        QKeySequence keys;
        int step;
    } switches[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                    {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                    {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                    {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
                    {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& s : switches) {
        auto* shortcut = new QShortcut(s.keys, this);
        const int by = s.step;
        connect(shortcut, &QShortcut::activated, this, [this, by] { step(by); });
    }
    sync();
}

void MultiRowTabHeader::step(int by) {
    const int count = m_tabs->count();
    for (int i = 1; i <= count; ++i) {
        const int index = ((m_tabs->currentIndex() + by * i) % count + count) % count;
        if (m_tabs->isTabVisible(index)) {
            const bool focused = hasFocus() || isAncestorOf(focusWidget());
            m_tabs->setCurrentIndex(index);
            sync();
            if (focused && index < m_buttons.size())
                m_buttons[index]->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool MultiRowTabHeader::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && m_buttons.contains(watched)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Right || key == Qt::Key_Down) {
            step(1);
            return true;
        }
        if (key == Qt::Key_Left || key == Qt::Key_Up) {
            step(-1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MultiRowTabHeader::sync() {
    while (m_buttons.size() < m_tabs->count()) {
        const int index = int(m_buttons.size());
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->installEventFilter(this);
        Accessibility::setRole(button, QAccessible::PageTab);
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
        // Only the current tab is a Tab stop; the arrows reach the others.
        button->setFocusPolicy(button->isChecked() ? Qt::TabFocus : Qt::NoFocus);
        if (!exists)
            continue;
        if (auto* view = m_tabs->widget(i)->findChild<QAbstractItemView*>()) {
            if (view->accessibleName() != m_tabs->tabText(i))
                view->setAccessibleName(m_tabs->tabText(i));
            if (view->accessibleDescription() != m_tabs->tabToolTip(i))
                view->setAccessibleDescription(m_tabs->tabToolTip(i));
        }
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
