#pragma once
// Slides a docked window up at the top edge of its screen once the cursor has
// left it, leaving a few pixels showing, and brings it down again when the
// cursor comes onto them. A window manager may keep the window on screen;
// then a strip of our own stands in for the slid-up window until the cursor
// reaches it.
#include <QObject>

class QWidget;
class RevealStrip;

class TopEdgeSlide : public QObject {
    Q_OBJECT
  public:
    explicit TopEdgeSlide(QWidget& window);

    // One tick of the auto-hide timer.
    void tick();
    // The cursor is over the window's lowest strip.
    void reveal();
    // Hides the stand-in strip, when the window is shown by other means.
    void hideStrip();

  private:
    QWidget& m_window;
    RevealStrip* m_strip;
};
