#pragma once
// Slides a docked window up at the top edge of its screen once the cursor has
// left it, leaving a few pixels showing, and brings it down again when the
// cursor comes onto them. "Left" means the cursor was over the window since
// it was last shown: a window that comes up (at a start, from the tray) stays
// in view until the user has been to it. A window manager may keep the window
// partly on screen; then a strip of our own stands in for the slid-up window
// until the cursor reaches it, and wherever the window comes back it comes
// back wholly on the screen where it was docked.
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

class QWidget;
class QTimer;
class RevealStrip;

class TopEdgeSlide : public QObject {
    Q_OBJECT
  public:
    explicit TopEdgeSlide(QWidget& window);

    // One tick of the auto-hide timer.
    void tick();
    // The cursor is over the window's lowest strip.
    void reveal();
    // Before the window is shown by other means (the tray, a second start):
    // hides the stand-in strip and puts the window wholly on its screen.
    void bringOnScreen();
    // Where the window rests when it is in view: its own place, or for a
    // slid-up window the place it was docked at.
    QPoint restingPlace() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Hides the window and shows the strip in its place.
    void standIn();
    // After a slide: where the window manager held the window elsewhere,
    // the strip stands in for it.
    void checkSlide();

    QWidget& m_window;
    RevealStrip* m_strip;
    QTimer* m_check;
    int m_slidTop = 0;
    QElapsedTimer m_settled; // since the window was last brought on screen
    bool m_cursorWasInside = false;
};
