#pragma once
// The small notice that slides in at the bottom-right corner of the screen
// ("帖子已保存!"), stays a few seconds and slides out again. It never takes
// the focus from the window the user is typing in; a click closes it.
#include <QIcon>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

class QPropertyAnimation;

class ToastPopup : public QWidget {
    Q_OBJECT
  public:
    enum class Phase { Hidden, SlidingIn, Showing, SlidingOut };

    // Object name "MSNPopUp1". The parent only chooses the screen; the notice
    // is a window of its own.
    explicit ToastPopup(QWidget* parent = nullptr);
    ~ToastPopup() override;

    // Shows the notice (again) with these texts; an empty title shows the
    // text alone. A notice already on screen takes the new texts and starts
    // its time-out anew.
    void show(const QString& title, const QString& text);
    // Closes at once, without sliding.
    void dismiss();

    // How long the notice stays after it has slid in (default 3000 ms).
    void setTimeout(int ms);
    int timeout() const { return m_timeout; }
    // Length of each slide (default 250 ms; 0 shows and hides at once).
    void setSlideDuration(int ms);
    int slideDuration() const { return m_slideDuration; }

    QString lastTitle() const { return m_title; }
    QString lastText() const { return m_text; }
    // How many notices show() was asked for since creation.
    int shownCount() const { return m_shownCount; }
    Phase phase() const { return m_phase; }

    // Where the notice rests, and where it slides from, on the screen that
    // holds the parent window (or the primary screen).
    QPoint restingPosition() const;
    QPoint hiddenPosition() const;

    QSize sizeHint() const override;

  signals:
    // Emitted once the notice has left the screen (time-out, click, dismiss).
    void closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void slideTo(const QPoint& target, Phase phase);
    void onSlideFinished();
    void onTimeout();
    QRect availableArea() const;

    QString m_title;
    QString m_text;
    int m_timeout = 3000;
    int m_slideDuration = 250;
    int m_shownCount = 0;
    bool m_hovered = false;
    Phase m_phase = Phase::Hidden;
    QTimer m_holdTimer;
    QPropertyAnimation* m_slide = nullptr;
    QIcon m_icon;
};
