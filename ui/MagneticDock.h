#pragma once
// The docking component: while it is on, a left-button drag that starts on
// the window itself (not on one of its controls) or that the caption hands
// over moves the window and snaps it to the panels and edges of the screen
// under the cursor. While it is off it does nothing. It never resizes.
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>

class QWidget;

class MagneticDock : public QObject {
    Q_OBJECT
  public:
    // Object name "Magnetic1"; watches window's own mouse events.
    explicit MagneticDock(QWidget* window);

    void setActive(bool on);
    bool isActive() const { return m_active; }

    // A press at a screen position: records the grab point. Ignored while off.
    void press(const QPoint& globalPos);
    // A move with the button held: moves the window there, snapped.
    void drag(const QPoint& globalPos);
    void release();
    bool isDragging() const { return m_dragging; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* m_window;
    bool m_active = false;
    bool m_dragging = false;
    QPoint m_grab; // in the window's frame coordinates
};
