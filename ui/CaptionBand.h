#pragma once
// The caption of the narrow form. A window manager's title bar never tells
// the program where it was pressed, so the narrow window is frameless and
// draws this band itself: a press on its left part can go to the docking
// component, anywhere else it moves the window the ordinary way. Its two
// buttons minimise and close the window.
#include <QWidget>

#include <functional>

class QToolButton;

class CaptionBand : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 20;

    explicit CaptionBand(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const { return m_title; }

    // Asked at each press, with the press's screen x: true hands the drag to
    // snapHandler instead of an ordinary move.
    void setSnapRule(std::function<bool(int globalX)> rule) { m_snapRule = std::move(rule); }

  signals:
    void minimiseClicked();
    void closeClicked();
    // A press that the snap rule claimed, then its moves and its release.
    void snapPressed(const QPoint& globalPos);
    void snapMoved(const QPoint& globalPos);
    void snapReleased();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    enum class Drag { None, Snap, Plain };
    QString m_title;
    std::function<bool(int)> m_snapRule;
    Drag m_drag = Drag::None;
    QPoint m_grab;
    QToolButton* m_minimise;
    QToolButton* m_close;
};
