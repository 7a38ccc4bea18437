#include "ui/WindowForms.h"

#include "ui/CaptionBand.h"
#include "ui/DockingDecisions.h"

#include <QBoxLayout>
#include <QTimer>
#include <QWidget>

namespace {
void collectVisibleWidgets(QLayout* layout, QList<QPointer<QWidget>>& out) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* w = item->widget()) {
            if (!w->isHidden())
                out << w;
        } else if (QLayout* inner = item->layout()) {
            collectVisibleWidgets(inner, out);
        }
    }
}
} // namespace

WindowForms::WindowForms(QWidget& window, QLayout* wideOnly, QBoxLayout* body, CaptionBand* band)
    : m_window(window), m_wideOnly(wideOnly), m_body(body), m_band(band),
      m_wideMargins(body->contentsMargins()) {}

void WindowForms::setForm(int width, int height) {
    const bool narrow = width < DockingDecisions::kWideThreshold;
    if (narrow == (m_window.width() == DockingDecisions::kNarrowWidth))
        return;
    // The target is set as a client rectangle before the window is shown
    // again, so the window manager does not place it anew.
    const QPoint frameTopLeft = m_window.frameGeometry().topLeft();
    QPoint clientTopLeft = frameTopLeft;
    const bool wasVisible = m_window.isVisible();
    if (narrow) {
        m_wideFrameOffset = m_window.geometry().topLeft() - frameTopLeft;
        m_hidden.clear();
        collectVisibleWidgets(m_wideOnly, m_hidden);
        for (QWidget* w : std::as_const(m_hidden))
            w->hide();
        m_body->setContentsMargins(0, 0, 0, 0);
    } else {
        clientTopLeft += m_wideFrameOffset;
        for (QWidget* w : std::as_const(m_hidden))
            if (w)
                w->show();
        m_hidden.clear();
        m_body->setContentsMargins(m_wideMargins);
    }
    m_band->setVisible(narrow);
    // The narrow form draws its own caption.
    m_window.setWindowFlag(Qt::FramelessWindowHint, narrow);
    m_window.setFixedSize(width, height);
    const QRect target(clientTopLeft, m_window.size());
    m_window.setGeometry(target);
    if (!wasVisible)
        return;
    m_window.show();
    // A window manager may place the re-created window where it likes at
    // first and move it to the requested place without telling us; asking
    // again once it is mapped keeps our idea of the position true.
    QTimer::singleShot(150, &m_window, [w = &m_window, target] {
        if (w->isVisible() && w->size() == target.size() && w->geometry() != target)
            w->setGeometry(target);
    });
}
