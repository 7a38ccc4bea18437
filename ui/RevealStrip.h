#pragma once
// The 6-pixel strip at the top edge of the screen that stands in for a
// slid-up window when the window manager will not let the window itself go
// that far up. The cursor on it asks for the window back.
#include <QWidget>

class RevealStrip : public QWidget {
    Q_OBJECT
  public:
    explicit RevealStrip(QWidget* parent = nullptr);
    // Shows the strip over the top edge of a window with this frame.
    void showAbove(const QRect& windowFrame, int screenTop);

  signals:
    void revealRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};
